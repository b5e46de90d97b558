// Splitting a text file into lines, buffered, for LE #n.
#include "commands/line_reader.h"

#include <cstring>

namespace parlendo {

namespace {

constexpr char kEndOfFileByte = 26;

}  // namespace

LineReader::LineReader(ByteSource& source, size_t bufferSize)
    : source_(source), buffer_(bufferSize == 0 ? 1 : bufferSize) {}

bool LineReader::fill(int& error) {
    error = 0;
    if (ended_) return false;
    IoResult r = source_.readSome(buffer_.data(), buffer_.size());
    if (r.error != 0) {
        error = r.error;
        return false;
    }
    // The end of the data is not remembered: a file that grows is read on, as its end is
    // asked for again at every line.
    if (r.count == 0) return false;
    begin_ = 0;
    end_ = r.count;
    return true;
}

bool LineReader::take(std::string& line, size_t from, size_t to, size_t maxLength) {
    size_t room = maxLength + 1 > line.size() ? maxLength + 1 - line.size() : 0;
    size_t n = to - from;
    line.append(buffer_.data() + from, n < room ? n : room);
    return n > room;
}

int LineReader::readLine(std::string& line, size_t maxLength) {
    line.clear();
    int error = 0;
    if (begin_ == end_ && !fill(error)) return error != 0 ? error : kEndOfFile;
    if (buffer_[begin_] == kEndOfFileByte) {
        ended_ = true;
        begin_ = end_;
        return kEndOfFile;
    }
    bool cut = false;
    for (;;) {
        const char* start = buffer_.data() + begin_;
        size_t avail = end_ - begin_;
        const void* lf = std::memchr(start, '\n', avail);
        size_t scan = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) : avail;
        if (const void* eof = std::memchr(start, kEndOfFileByte, scan)) {
            size_t at = begin_ + static_cast<size_t>(static_cast<const char*>(eof) - start);
            take(line, begin_, at, maxLength);
            ended_ = true;
            begin_ = end_ = 0;
            return kLineRead;
        }
        if (lf) {
            size_t at = begin_ + scan;
            if (take(line, begin_, at, maxLength)) cut = true;
            begin_ = at + 1;
            // The CR of a CR LF may have come with the previous buffer; either way it is the
            // last byte taken, unless the line was cut short before it.
            if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
            return kLineRead;
        }
        if (take(line, begin_, end_, maxLength)) cut = true;
        begin_ = end_;
        if (!fill(error)) {
            if (error == 0) return kLineRead;
            // Part of a line is no line: nothing of it is given.
            line.clear();
            return error;
        }
    }
}

}  // namespace parlendo
