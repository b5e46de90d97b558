// Fuzz target for what a server sends: arbitrary bytes read as lines (or bytes) by the
// connection layer over a local socket pair, and taken as the head of an answer byte by byte,
// both checked against a plain reading of the rules; every line is given to the status-line,
// header, URL and Location parsers of the download.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/settings_file.h"
#include "fuzz_scratch.h"
#include "net/connection.h"
#include "net/download.h"
#include "text/percent_encoding.h"

namespace {

[[noreturn]] void fail(const char* what, size_t index) {
    std::fprintf(stderr, "fuzz_http_head: %s at line %zu\n", what, index);
    std::abort();
}

// Lines end at LF; one CR before it goes unless the line is past the limit, which cuts it to
// limit + 1 bytes; text after the last LF is a line when there is any.
std::vector<std::string> expectedLines(const std::string& bytes, size_t maxLength) {
    std::vector<std::string> lines;
    size_t p = 0;
    while (p < bytes.size()) {
        size_t lf = bytes.find('\n', p);
        size_t end = lf == std::string::npos ? bytes.size() : lf;
        std::string raw = bytes.substr(p, end - p);
        if (raw.size() > maxLength)
            raw.resize(maxLength + 1);
        else if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        lines.push_back(raw);
        if (lf == std::string::npos) break;
        p = lf + 1;
    }
    return lines;
}

// The head's lines up to the first one longer than the line limit or past the head limit (line
// ends aside), which sets `tooLarge`; one CR before each LF goes, and so does one at the end of
// the text after the last LF, a line when there is any.
std::vector<std::string> expectedHead(const std::string& bytes, size_t lineLimit, size_t headLimit,
                                      bool& tooLarge) {
    std::vector<std::string> lines;
    tooLarge = false;
    size_t used = 0;
    size_t p = 0;
    while (p < bytes.size()) {
        size_t lf = bytes.find('\n', p);
        size_t end = lf == std::string::npos ? bytes.size() : lf;
        size_t length = end - p;
        if (length > lineLimit || used + length > headLimit) {
            tooLarge = true;
            break;
        }
        used += length;
        std::string raw = bytes.substr(p, length);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        lines.push_back(raw);
        if (lf == std::string::npos) break;
        p = lf + 1;
    }
    return lines;
}

parlendo::SettingsFile& settings() {
    static parlendo::SettingsFile* file = [] {
        const std::string& folder = parlendo::fuzzScratchFolder("parlendo-fuzz-http");
        return new parlendo::SettingsFile(parlendo::fuzzScratchSettings(folder, folder + "/oralix.ini"));
    }();
    return *file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    size_t maxLength = fdp.ConsumeIntegralInRange<size_t>(0, 300);
    size_t headLimit = fdp.ConsumeIntegralInRange<size_t>(0, 3000);
    bool byBytes = fdp.ConsumeBool();
    double amount = fdp.ConsumeFloatingPoint<double>();
    std::string bytes = fdp.ConsumeRemainingBytesAsString();
    if (bytes.size() > 60000) return 0;

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair) != 0) std::abort();
    int buffer = 1 << 20;
    ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    if (!bytes.empty() &&
        ::send(pair[1], bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(pair[1]);

    bool tooLarge = false;
    std::vector<std::string> wantHead = expectedHead(bytes, maxLength, headLimit, tooLarge);
    parlendo::HeadLines head(maxLength, headLimit);
    std::vector<std::string> gotHead;
    bool stopped = false;
    for (char c : bytes) {
        parlendo::HeadLines::Step step = head.add(static_cast<uint8_t>(c));
        if (step == parlendo::HeadLines::Step::Line) gotHead.push_back(head.line());
        if (step == parlendo::HeadLines::Step::TooLarge) {
            stopped = true;
            break;
        }
    }
    if (!stopped && head.end()) gotHead.push_back(head.line());
    if (!stopped && head.end()) fail("a second end of the head", gotHead.size());
    if (stopped != tooLarge) fail("the head's limit", gotHead.size());
    if (gotHead != wantHead) fail("a line of the head differs", gotHead.size());

    parlendo::Network net(settings(), nullptr);
    // The connection owns its end of the pair and closes it when the run ends.
    parlendo::NetConnection conn(parlendo::NetSocket(net, parlendo::UniqueFd(pair[0])));
    if (byBytes) {
        // readByte gives every byte once, in order, then the end.
        uint8_t b = 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (net.readByte(conn, b) != parlendo::NetRead::Ok || b != static_cast<uint8_t>(bytes[i]))
                fail("a byte differs", i);
        if (net.readByte(conn, b) != parlendo::NetRead::Closed) fail("a byte past the end", bytes.size());
        return 0;
    }
    std::vector<std::string> want = expectedLines(bytes, maxLength);
    std::string line;
    for (size_t i = 0; i < want.size(); ++i) {
        if (net.readLine(conn, line, maxLength) != parlendo::NetRead::Ok) fail("a line is missing", i);
        if (line != want[i]) fail("a line differs", i);
        parlendo::parseStatusCode(line);
        parlendo::HeaderField h = parlendo::parseHeader(line);
        if (h.kind == parlendo::HeaderField::Kind::ContentLength && h.number < 0)
            fail("a negative length", i);
        parlendo::UrlParts u = parlendo::splitUrl(line);
        if (u.path.empty() || u.port.empty()) fail("a URL without path or port", i);
        parlendo::resolveLocation("http://host:81/a/b", line);
        parlendo::resolveLocation(line, "x/y");
    }
    if (net.readLine(conn, line, maxLength) != parlendo::NetRead::Closed)
        fail("more than the data", want.size());
    std::string shown = parlendo::formatGeneral3(amount, ',');
    if (shown.empty() || shown.size() > 10) fail("a number too long", 0);
    parlendo::text::percentEncode(bytes);
    return 0;
}
