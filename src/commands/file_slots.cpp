// Text files on channels: reading lines, appending lines with CR LF, closing.
#include "commands/file_slots.h"

#include <cerrno>

namespace parlendo {

namespace {

constexpr char kEndOfFileByte = 26;

// A file that ends in a byte 26 would hide every line appended after it from every reader,
// so the byte goes before anything is appended.
SysError dropTrailingEndOfFileByte(std::string_view name, FileHandle& appendHandle) {
    SysError error = 0;
    std::optional<uint64_t> size = appendHandle.size(error);
    if (!size || *size == 0) return error;
    FileHandle reader = FileHandle::open(name, FileHandle::Mode::Read, error);
    // A file that can be appended to but not read (a device, or write-only rights) is left
    // as it is.
    if (!reader.isOpen()) return 0;
    char last = 0;
    if (reader.seek(*size - 1) != 0 || reader.read(&last, 1).count != 1) return 0;
    if (last != kEndOfFileByte) return 0;
    return appendHandle.truncate(*size - 1);
}

}  // namespace

std::unique_ptr<TextFileChannel> TextFileChannel::open(std::string_view name, Mode mode, SysError& error) {
    FileHandle file =
        FileHandle::open(name, mode == Mode::Read ? FileHandle::Mode::Read : FileHandle::Mode::Append, error);
    if (!file.isOpen()) return nullptr;
    if (mode == Mode::Append) {
        error = dropTrailingEndOfFileByte(name, file);
        if (error != 0) return nullptr;
    }
    return std::unique_ptr<TextFileChannel>(new TextFileChannel(std::move(file), mode));
}

TextFileChannel::TextFileChannel(FileHandle file, Mode mode) : file_(std::move(file)), mode_(mode) {}

IoResult TextFileChannel::readSome(char* buffer, size_t size) { return file_.read(buffer, size); }

int TextFileChannel::readLine(std::string& line, size_t maxLength) {
    line.clear();
    if (mode_ != Mode::Read) return EBADF;
    if (!reader_) {
        ByteSource& source = *this;
        reader_ = std::make_unique<LineReader>(source);
    }
    return reader_->readLine(line, maxLength);
}

int TextFileChannel::writeText(std::string_view text, bool endLine) {
    if (mode_ != Mode::Append) return EBADF;
    std::string_view out = text;
    if (endLine) {
        pending_.assign(text);
        pending_ += "\r\n";
        out = pending_;
    }
    IoResult r = file_.write(out);
    if (r.error != 0 && r.count > 0) {
        // A write cut short (a full disk) would leave half a line in the file: take it back,
        // so the file holds whole writes only.
        SysError ignored = 0;
        if (std::optional<uint64_t> size = file_.size(ignored); size && *size >= r.count)
            file_.truncate(*size - r.count);
    }
    if (pending_.capacity() > (size_t{1} << 20)) std::string().swap(pending_);
    return r.error;
}

SysError TextFileChannel::close() { return file_.close(); }

SysError FileSlotTable::close(int slot) {
    std::unique_ptr<Channel> channel = std::move(channels_[slot]);
    return channel ? channel->close() : 0;
}

void FileSlotTable::closeAll() {
    for (int slot = 0; slot < kSlots; ++slot) close(slot);
}

}  // namespace parlendo
