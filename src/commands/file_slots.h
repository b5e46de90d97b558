// The ten numbered channels #0 to #9 that scripts open with ABRE and close with FECHA, and the
// text files they hold.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands/line_reader.h"
#include "platform/file_system.h"

namespace parlendo {

// What a channel holds: a text file, or (with the network commands) a connection. Statuses
// are those of IoStatus: 0 success, 1 the end of the data, anything else an error number.
class Channel {
public:
    virtual ~Channel() = default;
    virtual bool isConnection() const = 0;
    // The next line without its line end (see LineReader for lines past maxLength).
    virtual int readLine(std::string& line, size_t maxLength) = 0;
    // The text, then CR LF when endLine.
    virtual int writeText(std::string_view text, bool endLine) = 0;
    // Ends the channel; an error number when what was written may not have reached its end.
    virtual SysError close() = 0;
};

// A text file opened for reading, or for appending. Lines written go to the system at once,
// so a full disk is reported by the very write that met it, and nothing waits in the program
// to be lost.
class TextFileChannel final : public Channel, private ByteSource {
public:
    enum class Mode { Read, Append };

    // Nothing, with the error, when the file cannot be opened.
    static std::unique_ptr<TextFileChannel> open(std::string_view name, Mode mode, SysError& error);

    bool isConnection() const override { return false; }
    int readLine(std::string& line, size_t maxLength) override;
    int writeText(std::string_view text, bool endLine) override;
    SysError close() override;

private:
    TextFileChannel(FileHandle file, Mode mode);
    IoResult readSome(char* buffer, size_t size) override;

    FileHandle file_;
    Mode mode_;
    std::unique_ptr<LineReader> reader_;  // made at the first read
    std::string pending_;                 // the text and its line end, written in one call
};

class FileSlotTable {
public:
    static constexpr int kSlots = 10;

    bool isOpen(int slot) const { return channels_[slot] != nullptr; }
    // Puts a channel in a slot; whatever the slot held must have been closed first.
    void bind(int slot, std::unique_ptr<Channel> channel) { channels_[slot] = std::move(channel); }
    Channel* channel(int slot) { return channels_[slot].get(); }
    // Closes what the slot holds and marks it closed; the error of the close, 0 when it was
    // not open.
    SysError close(int slot);
    // Every slot closed, errors ignored: the start of a run.
    void closeAll();

private:
    std::array<std::unique_ptr<Channel>, kSlots> channels_;
};

}  // namespace parlendo
