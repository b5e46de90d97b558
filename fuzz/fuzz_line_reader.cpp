// Fuzz target for the text-file line reader: arbitrary bytes, buffer sizes, read sizes, line
// limits and a read error, checked line by line against a plain reading of the same rules.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands/line_reader.h"

namespace {

constexpr parlendo::SysError kInjected = 5;

class MemorySource final : public parlendo::ByteSource {
public:
    MemorySource(const std::string& bytes, size_t chunk, size_t failAt)
        : bytes_(bytes), chunk_(chunk), failAt_(failAt) {}
    parlendo::IoResult readSome(char* buffer, size_t size) override {
        if (at_ >= failAt_) return {0, kInjected};
        size_t n = std::min({size, chunk_, bytes_.size() - at_, failAt_ - at_});
        bytes_.copy(buffer, n, at_);
        at_ += n;
        return {n, 0};
    }

private:
    const std::string& bytes_;
    size_t chunk_;
    size_t failAt_;
    size_t at_ = 0;
};

struct Expected {
    std::vector<std::string> lines;
    int finalStatus;
};

// The rules read plainly: the data ends at the first byte 26; lines end at LF, and a CR
// before the LF goes with the line end; a line past the limit is cut to limit + 1 bytes; a
// line comes out only if every byte up to its end could be read.
Expected expectedLines(const std::string& bytes, size_t maxLength, size_t failAt) {
    Expected e;
    size_t z = bytes.find('\x1a');
    size_t end = z == std::string::npos ? bytes.size() : z;
    size_t p = 0;
    while (p < end) {
        size_t lf = bytes.find('\n', p);
        bool byLf = lf != std::string::npos && lf < end;
        size_t t = byLf ? lf : end;
        if (t >= failAt) break;
        std::string raw = bytes.substr(p, t - p);
        if (raw.size() > maxLength + 1)
            raw.resize(maxLength + 1);
        else if (byLf && !raw.empty() && raw.back() == '\r')
            raw.pop_back();
        e.lines.push_back(raw);
        p = t + 1;
    }
    bool unreadAtEnd = p < end;  // a line was left because the error came first
    e.finalStatus = !unreadAtEnd && end < failAt ? parlendo::LineReader::kEndOfFile : kInjected;
    return e;
}

[[noreturn]] void fail(const char* what, size_t index) {
    std::fprintf(stderr, "fuzz_line_reader: %s at line %zu\n", what, index);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    size_t bufferSize = fdp.ConsumeIntegralInRange<size_t>(1, 300);
    size_t chunk = fdp.ConsumeIntegralInRange<size_t>(1, 400);
    size_t maxLength = fdp.ConsumeIntegralInRange<size_t>(0, 200);
    bool injectError = fdp.ConsumeBool();
    size_t failAt = fdp.ConsumeIntegralInRange<size_t>(0, 5000);
    std::string bytes = fdp.ConsumeRemainingBytesAsString();
    if (!injectError) failAt = SIZE_MAX;

    Expected want = expectedLines(bytes, maxLength, failAt);
    MemorySource source(bytes, chunk, failAt);
    parlendo::LineReader reader(source, bufferSize);
    std::string line;
    for (size_t i = 0; i < want.lines.size(); ++i) {
        if (reader.readLine(line, maxLength) != parlendo::LineReader::kLineRead) fail("a line is missing", i);
        if (line != want.lines[i]) fail("a line differs", i);
    }
    for (int again = 0; again < 2; ++again) {
        int status = reader.readLine(line, maxLength);
        if (status != want.finalStatus) fail("wrong status after the last line", want.lines.size());
        if (!line.empty()) fail("text with the final status", want.lines.size());
    }
    return 0;
}
