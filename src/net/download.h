// TRAZDAREDE: an HTTP/HTTPS download into a file, with resume, redirects, audio streams,
// spoken progress and cancelling from the keyboard; and the pieces of it that tests and the
// fuzz targets reach on their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class Interpreter;
class Network;

struct DownloadRequest {
    std::string url;
    std::string file;
    bool clicks = false;
    std::string userAgent;
    std::string cookie;
};

// Runs one download; true when the file holds what was asked for (the result "0").
[[nodiscard]] bool download(Interpreter& in, Network& net, const DownloadRequest& request);

// A URL cut into its parts: "HTTPS" at the start (any case) means TLS; the port is the text
// after the first ":" (of the text after "://") up to the next "/", 80 or 443 when empty.
struct UrlParts {
    bool https = false;
    std::string host;
    std::string port;
    std::string path;
};
UrlParts splitUrl(std::string_view url);

// A Location value that is not an absolute URL, made one against the URL it came from.
std::string resolveLocation(std::string_view base, std::string_view location);

// The status code of a status line: the three characters after the first blank, as a number.
std::optional<int> parseStatusCode(std::string_view line);

// One header line of an answer, as the download sees it.
struct HeaderField {
    enum class Kind { Location, ContentType, ContentLength, ContentRange, Other, Malformed };
    Kind kind = Kind::Other;
    std::string value;   // the text after the colon, trimmed
    int64_t number = 0;  // Content-Length, and the first byte of a Content-Range (-1: "*")
    int64_t total = -1;  // the complete length after the "/" of a Content-Range
};
HeaderField parseHeader(std::string_view line);

// The head of an answer (its status line and headers), taken byte by byte: lines end at LF,
// one CR before it dropped; no line may be longer than the line limit, and all of them
// together (line ends aside) no larger than the head limit.
class HeadLines {
public:
    enum class Step { More, Line, TooLarge };
    HeadLines(size_t lineLimit, size_t headLimit) : lineLimit_(lineLimit), left_(headLimit) {}
    // Line: the byte ended a line, now in line(); the next byte starts another.
    Step add(uint8_t byte);
    const std::string& line() const { return line_; }
    // At the end of the data: true when text of a line not yet ended was left, which is then
    // the last line (as if an LF had come).
    bool end();

private:
    size_t lineLimit_;
    size_t left_;
    std::string line_;
    bool complete_ = false;
};

// The three significant digits of the progress report ("general" format with any exponent
// cut off), with the given decimal separator.
std::string formatGeneral3(double value, char separator);

// What Enter says during a download: the texts in the order they are spoken. `size` is what
// the file holds, `total` the announced length plus the resume offset.
std::vector<std::string> progressReport(uint64_t size, bool streamMode, uint64_t total,
                                        std::string_view fileName, char separator);

}  // namespace parlendo
