// Splitting text files into lines: line ends, byte 26, buffer boundaries, long lines, errors.
#include "commands/line_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace parlendo {
namespace {

// Bytes from memory, handed out at most `chunk` at a time, failing with `error` after
// `failAfter` bytes when asked to.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes, size_t chunk = SIZE_MAX)
        : bytes_(std::move(bytes)), chunk_(chunk) {}
    void failAfter(size_t at, SysError error) {
        failAt_ = at;
        error_ = error;
    }
    IoResult readSome(char* buffer, size_t size) override {
        if (at_ >= failAt_) return {0, error_};
        size_t n = std::min({size, chunk_, bytes_.size() - at_, failAt_ - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return {n, 0};
    }

private:
    std::string bytes_;
    size_t chunk_;
    size_t at_ = 0;
    size_t failAt_ = SIZE_MAX;
    SysError error_ = 0;
};

struct Read {
    int status;
    std::string line;
    bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Read& r) {
    return os << "{" << r.status << ", \"" << r.line << "\"}";
}

// Every line up to and including the first end-of-file status.
std::vector<Read> readAll(const std::string& bytes, size_t bufferSize, size_t chunk = SIZE_MAX,
                          size_t maxLength = 1000) {
    MemorySource source(bytes, chunk);
    LineReader reader(source, bufferSize);
    std::vector<Read> out;
    for (int i = 0; i < 100; ++i) {
        Read r;
        r.status = reader.readLine(r.line, maxLength);
        out.push_back(r);
        if (r.status != LineReader::kLineRead) break;
    }
    return out;
}

TEST(LineReader, LineEndsAndTheEndOfTheFileAtEveryBufferSize) {
    struct Case {
        std::string bytes;
        std::vector<Read> want;
    };
    const std::vector<Case> cases = {
        {"", {{1, ""}}},
        {"um\r\ndois\r\n", {{0, "um"}, {0, "dois"}, {1, ""}}},
        {"um\ndois", {{0, "um"}, {0, "dois"}, {1, ""}}},
        {"\r\n\n", {{0, ""}, {0, ""}, {1, ""}}},
        // A lone CR is text; only CR LF and LF end lines.
        {"a\rb\r\r\nc\r", {{0, "a\rb\r"}, {0, "c\r"}, {1, ""}}},
        // Byte 26 ends the file wherever it stands; what follows it is never read.
        {"um\r\n\x1a"
         "dois\r\n",
         {{0, "um"}, {1, ""}}},
        {"um\x1a"
         "dois\n",
         {{0, "um"}, {1, ""}}},
        {"\x1a", {{1, ""}}},
        // Windows-1252 letters and zero bytes pass through unchanged.
        {std::string("Ra\xE7\xE3o\0x\r\n", 9), {{0, std::string("Ra\xE7\xE3o\0x", 7)}, {1, ""}}},
    };
    for (const Case& c : cases)
        for (size_t buffer : {1, 2, 3, 5, 64 * 1024})
            for (size_t chunk : {size_t{1}, SIZE_MAX})
                EXPECT_EQ(readAll(c.bytes, buffer, chunk), c.want)
                    << "bytes \"" << c.bytes << "\" buffer " << buffer << " chunk " << chunk;
}

TEST(LineReader, TheEndStaysTheEnd) {
    MemorySource source("x\n");
    LineReader reader(source);
    std::string line;
    EXPECT_EQ(reader.readLine(line, 100), 0);
    for (int i = 0; i < 3; ++i) {
        line = "left over";
        EXPECT_EQ(reader.readLine(line, 100), LineReader::kEndOfFile);
        EXPECT_EQ(line, "");
    }
}

TEST(LineReader, LongLinesAreCutOneBytePastTheLimitAndSkipped) {
    for (size_t buffer : {1, 4, 64}) {
        // Exactly at the limit, with CR LF, the line is whole.
        EXPECT_EQ(readAll("abcd\r\nz\n", buffer, SIZE_MAX, 4),
                  (std::vector<Read>{{0, "abcd"}, {0, "z"}, {1, ""}}))
            << buffer;
        // Past it, the caller gets limit + 1 bytes and the next line starts after the line end.
        EXPECT_EQ(readAll("abcdefgh\r\nz\n", buffer, SIZE_MAX, 4),
                  (std::vector<Read>{{0, "abcde"}, {0, "z"}, {1, ""}}))
            << buffer;
        // A CR that is the byte past the limit still makes the line too long.
        EXPECT_EQ(readAll("abcde\r\n", buffer, SIZE_MAX, 4), (std::vector<Read>{{0, "abcde"}, {1, ""}}))
            << buffer;
    }
}

TEST(LineReader, ErrorsGiveNoPartOfALine) {
    MemorySource source("um\r\ndois\r\ntres\r\n", 3);
    source.failAfter(7, EIO);  // in the middle of "dois"
    LineReader reader(source, 4);
    std::string line;
    EXPECT_EQ(reader.readLine(line, 100), 0);
    EXPECT_EQ(line, "um");
    EXPECT_EQ(reader.readLine(line, 100), EIO);
    EXPECT_EQ(line, "");
    EXPECT_EQ(reader.readLine(line, 100), EIO) << "the error is not taken for the end of the file";
}

}  // namespace
}  // namespace parlendo
