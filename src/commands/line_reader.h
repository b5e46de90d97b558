// Lines of a text file: a line ends at CR LF or LF, and a byte 26 (Ctrl+Z) ends the file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace parlendo {

// Where the reader's bytes come from: a file, or memory in tests and fuzzing.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes; a count of 0 without an error is the end.
    virtual IoResult readSome(char* buffer, size_t size) = 0;
};

class LineReader {
public:
    // The status of a line read: 0 a line was read, 1 the end of the file was reached,
    // anything else the error number of the read that failed.
    static constexpr int kLineRead = 0;
    static constexpr int kEndOfFile = 1;

    explicit LineReader(ByteSource& source, size_t bufferSize = 64 * 1024);

    // The next line, without its line end. A line longer than `maxLength` is given cut to
    // maxLength + 1 bytes, so the caller can tell, and the rest of it is skipped. A line that
    // the end of the file or byte 26 ends without a line end is a line all the same; a lone CR
    // is part of the line's text. At the end, and on an error, the line is empty.
    int readLine(std::string& line, size_t maxLength);

private:
    // Refills the buffer; false at the end of the data or on an error (then `error` is set).
    bool fill(int& error);
    // Appends buffer bytes to the line up to maxLength + 1 bytes; true when some were dropped.
    bool take(std::string& line, size_t from, size_t to, size_t maxLength);

    ByteSource& source_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool ended_ = false;  // a byte 26 was met: nothing more is read
};

}  // namespace parlendo
