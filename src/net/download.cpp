// TRAZDAREDE's download: the request, the status and headers, resume, redirects, the body in
// blocks of 4096 bytes, audio streams, the line-copy fetch of answers without a length, and the
// keys a user presses while it runs.
#include "net/download.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "console/key_queue.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/interpreter.h"
#include "net/connection.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

constexpr size_t kBlock = 4096;
// A status or header line longer than this, or a head (status line and headers) larger than
// that, is no answer of a web server.
constexpr size_t kHeaderLineLimit = 16 * 1024;
constexpr size_t kHeadLimit = 64 * 1024;
constexpr int kRedirectLimit = 20;
// The count a stream never uses up.
constexpr int64_t kStreamRemaining = 999999999;
// Bytes gathered before they go to the file in one write.
constexpr size_t kOutputBuffer = 64 * 1024;
// How often the keys are looked at while the answer is awaited or arrives, whatever the server
// does.
constexpr auto kKeyLook = std::chrono::milliseconds(250);
// Bytes of the body received at most in one go.
constexpr size_t kStage = 16 * kBlock;

constexpr std::string_view kResuming = "Retomando download";
constexpr std::string_view kBadRequest = "Erro http400:Requisição http não foi bem formulada."_cp;
constexpr std::string_view kNotFound = "Erro http404: Página não encontrada."_cp;
constexpr std::string_view kAskStop = "Deseja parar o download?";
constexpr std::string_view kStopped = "O download foi interrompido.";
constexpr std::string_view kTooManyRedirects = "Erro http: redirecionamentos demais.";
constexpr std::string_view kSilent = "Erro de conexao: o servidor não respondeu a tempo."_cp;
constexpr std::string_view kTlsSilent = "Erro de conexao segura: o servidor não respondeu a tempo."_cp;
constexpr std::string_view kBroken = "Erro de conexao: a conexão foi interrompida."_cp;
constexpr std::string_view kIncomplete = "Erro de conexao: o arquivo chegou incompleto.";
constexpr std::string_view kHeadTooLarge = "Erro http: cabeçalho da resposta grande demais."_cp;
constexpr std::string_view kBadResume = "Erro http206: o servidor não retomou de onde o arquivo parou."_cp;
constexpr std::string_view kWriteFailed = "Erro na escrita de arquivo ";

using text::startsWithUpper;

std::optional<int64_t> parseCount(std::string_view text) {
    text = text::trim(text);
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        if (value > (INT64_MAX - (c - '0')) / 10) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The target file, written through a buffer so that a block costs no system call of its own.
class OutputFile {
public:
    bool isOpen() const { return file_.isOpen(); }
    bool open(const std::string& name, FileHandle::Mode mode) {
        SysError error = 0;
        file_ = FileHandle::open(name, mode, error);
        buffer_.clear();
        return file_.isOpen();
    }
    std::optional<uint64_t> size() {
        if (!flush()) return std::nullopt;
        SysError error = 0;
        return file_.size(error);
    }
    bool truncate() { return flush() && file_.truncate(0) == 0; }
    bool write(const char* data, size_t size) {
        if (buffer_.size() + size > kOutputBuffer && !flush()) return false;
        buffer_.append(data, size);
        return true;
    }
    bool flush() {
        if (buffer_.empty()) return !failed_;
        IoResult r = file_.write(buffer_);
        buffer_.clear();
        if (r.error != 0) failed_ = true;
        return !failed_;
    }
    // Flushes and closes; false when anything written did not reach the file.
    bool close() {
        if (!file_.isOpen()) return !failed_;
        bool ok = flush();
        if (file_.close() != 0) ok = false;
        failed_ = false;
        return ok;
    }

private:
    FileHandle file_;
    std::string buffer_;
    bool failed_ = false;
};

class Downloader {
public:
    Downloader(Interpreter& in, Network& net, const DownloadRequest& request)
        : in_(in), net_(net), request_(request), clicks_(request.clicks) {}
    ~Downloader() {
        closeConnection();
        out_.close();
    }

    bool run();

private:
    enum class Outcome { Done, Failed, Redirect, LineCopy };
    Outcome fetch();
    Outcome readHead(int& status);
    // How reading one line of a head ended.
    enum class HeadRead { Ok, Closed, Broken, TimedOut, TooLarge, Stopped };
    // The next line of a head (in head.line()), by the head's deadline; the keys are looked
    // at while it comes.
    HeadRead headLine(HeadLines& head, NetDeadline deadline);
    // Says what ended a head that did not arrive whole (a time-out, its size, a broken
    // connection).
    void tellHeadFailure(HeadRead r);
    Outcome body();
    bool lineCopy();
    // Looks at the keys when the time for it has come; true when the user chose to stop.
    bool keysInTime();
    // Takes one waiting key; true when the user chose to stop.
    bool keyDuringBody();
    void report(std::string_view text) { in_.showMessage(text); }
    bool connect(const UrlParts& url);
    // The connection's socket closes with it.
    void closeConnection() { conn_.reset(); }

    Interpreter& in_;
    Network& net_;
    const DownloadRequest& request_;
    std::string current_;
    OutputFile out_;
    std::unique_ptr<NetConnection> conn_;
    bool clicks_;
    int64_t resumeOffset_ = 0;
    int64_t announced_ = 0;
    int64_t contentRangeStart_ = -1;
    int64_t contentRangeTotal_ = -1;
    std::string contentType_;
    bool stream_ = false;
    NetDeadline nextKeyLook_ = std::chrono::steady_clock::now() + kKeyLook;
};

bool Downloader::run() {
    if (request_.url.empty() || request_.file.empty()) return false;
    current_ = request_.url;
    for (int redirects = 0;; ++redirects) {
        if (redirects > kRedirectLimit) {
            report(kTooManyRedirects);
            return false;
        }
        Outcome o = fetch();
        if (o == Outcome::Redirect) continue;
        closeConnection();
        bool closed = out_.close();
        net_.stop();
        if (o == Outcome::LineCopy) return lineCopy();
        return o == Outcome::Done && closed;
    }
}

bool Downloader::connect(const UrlParts& url) {
    std::optional<int32_t> port = toInteger(url.port);
    net_.start();
    if (!port) return false;
    bool handshakeTimedOut = false;
    NetSocket socket =
        url.https ? net_.connectTls(url.host, *port, &handshakeTimedOut) : net_.connect(url.host, *port);
    if (handshakeTimedOut) report(kTlsSilent);
    if (!socket.valid()) return false;
    conn_ = std::make_unique<NetConnection>(std::move(socket));
    return true;
}

Downloader::Outcome Downloader::fetch() {
    UrlParts url = splitUrl(current_);
    resumeOffset_ = 0;
    announced_ = 0;
    contentRangeStart_ = -1;
    contentRangeTotal_ = -1;
    contentType_.clear();
    stream_ = false;
    if (!connect(url)) return Outcome::Failed;
    std::string head = "GET " + url.path + " HTTP/1.1\r\n";
    head += "User-Agent: " + request_.userAgent + "\r\n";
    head += "Accept: */*\r\n";
    head += "Accept-Encoding: identity\r\n";
    head += "Host: " + url.host + "\r\n";
    head += "Connection: Close\r\n";
    if (pathExists(request_.file)) {
        // The bytes already there are kept; only the rest is asked for.
        if (!out_.open(request_.file, FileHandle::Mode::Append)) return Outcome::Failed;
        std::optional<uint64_t> size = out_.size();
        if (!size) return Outcome::Failed;
        resumeOffset_ = static_cast<int64_t>(*size);
        head += "Range: bytes=" + std::to_string(resumeOffset_) + "-\r\n";
    }
    if (!request_.cookie.empty()) head += "Cookie: " + request_.cookie + "\r\n";
    head += "\r\n";
    if (!net_.sendText(conn_->socket.get(), head)) return Outcome::Failed;

    int status = 0;
    Outcome o = readHead(status);
    if (o != Outcome::Done) return o;
    // Asking for the rest of a file that is already whole: nothing is left to fetch.
    if (status == 416 && resumeOffset_ > 0 && contentRangeTotal_ == resumeOffset_) return Outcome::Done;
    if (status != 200 && status != 206) {
        report("Erro http" + std::to_string(status) + ": resposta inesperada do servidor.");
        return Outcome::Failed;
    }
    if (status == 206) {
        // A partial answer is appended only when it says it starts where the file ends;
        // anything else would corrupt the file, which is left as it is.
        if (contentRangeStart_ != resumeOffset_) {
            report(kBadResume);
            return Outcome::Failed;
        }
        report(kResuming);
        if (!out_.isOpen() && !out_.open(request_.file, FileHandle::Mode::Append)) return Outcome::Failed;
    }
    if (announced_ == 0) {
        if (!startsWithUpper(contentType_, "AUDIO")) return Outcome::LineCopy;
        stream_ = true;
    }
    return body();
}

bool Downloader::keysInTime() {
    auto now = std::chrono::steady_clock::now();
    if (now < nextKeyLook_) return false;
    nextKeyLook_ = now + kKeyLook;
    return in_.services.keys.keyPressed() && keyDuringBody();
}

Downloader::HeadRead Downloader::headLine(HeadLines& head, NetDeadline deadline) {
    for (;;) {
        if (keysInTime()) return HeadRead::Stopped;
        if (std::chrono::steady_clock::now() >= deadline) return HeadRead::TimedOut;
        uint8_t byte = 0;
        NetRead r = net_.readByte(*conn_, byte, std::min(deadline, nextKeyLook_));
        if (r == NetRead::TimedOut) continue;
        // The last text before the server's close counts as a line.
        if (r == NetRead::Closed) return head.end() ? HeadRead::Ok : HeadRead::Closed;
        if (r != NetRead::Ok) return HeadRead::Broken;
        HeadLines::Step step = head.add(byte);
        if (step == HeadLines::Step::Line) return HeadRead::Ok;
        if (step == HeadLines::Step::TooLarge) return HeadRead::TooLarge;
    }
}

void Downloader::tellHeadFailure(HeadRead r) {
    if (r == HeadRead::TimedOut) report(kSilent);
    if (r == HeadRead::TooLarge) report(kHeadTooLarge);
    if (r == HeadRead::Broken) report(kBroken);
}

Downloader::Outcome Downloader::readHead(int& status) {
    // The whole head, however it is cut into lines, has one time limit and one size limit.
    NetDeadline deadline = net_.silenceDeadline();
    HeadLines head(kHeaderLineLimit, kHeadLimit);
    const std::string& line = head.line();
    HeadRead r = headLine(head, deadline);
    if (r != HeadRead::Ok) {
        tellHeadFailure(r);
        return Outcome::Failed;
    }
    std::optional<int> code = parseStatusCode(line);
    if (!code) return Outcome::Failed;
    status = *code;
    if (status == 200) {
        // The whole content comes again: the file starts from empty.
        bool ready = out_.isOpen() ? out_.truncate() : out_.open(request_.file, FileHandle::Mode::Truncate);
        if (!ready) return Outcome::Failed;
        resumeOffset_ = 0;
    } else if (status == 400) {
        report(kBadRequest);
        return Outcome::Failed;
    } else if (status == 404) {
        report(kNotFound);
        return Outcome::Failed;
    }
    for (;;) {
        r = headLine(head, deadline);
        if (r != HeadRead::Ok) {
            tellHeadFailure(r);
            return Outcome::Failed;
        }
        if (line.empty()) return Outcome::Done;
        HeaderField h = parseHeader(line);
        switch (h.kind) {
            case HeaderField::Kind::Location:
                current_ = resolveLocation(current_, h.value);
                closeConnection();
                out_.close();
                net_.stop();
                return Outcome::Redirect;
            case HeaderField::Kind::ContentType:
                contentType_ = h.value;
                break;
            case HeaderField::Kind::ContentLength:
                announced_ = h.number;
                break;
            case HeaderField::Kind::ContentRange:
                contentRangeStart_ = h.number;
                contentRangeTotal_ = h.total;
                break;
            case HeaderField::Kind::Malformed:
                return Outcome::Failed;
            case HeaderField::Kind::Other:
                break;
        }
    }
}

Downloader::Outcome Downloader::body() {
    int64_t remaining = stream_ ? kStreamRemaining : announced_;
    // Bytes are received as they come into a staging area several blocks long; each complete
    // block of 4096 bytes (or the last, shorter one) is then written, clicked and followed by
    // the look at the keys, as if the blocks had been read one by one. Bytes of a block that
    // never completes are not written.
    std::unique_ptr<char[]> stage(new char[kStage]);
    size_t have = 0;
    // Each block must come within the time limit of the one before, however the server dribbles
    // its bytes; a stream may pause as long as the station likes.
    auto nextProgress = [&] { return stream_ ? kNoDeadline : net_.silenceDeadline(); };
    NetDeadline progress = nextProgress();
    bool silent = false;
    bool broken = false;
    bool writeFailed = false;
    bool stopped = false;
    while (!stopped) {
        size_t n = static_cast<size_t>(std::min<int64_t>(remaining, kBlock));
        if (n == 0) break;
        if (have < n) {
            // Meanwhile the keys are looked at now and then, so that Esc can always stop it.
            if (keysInTime()) {
                stopped = true;
                break;
            }
            if (std::chrono::steady_clock::now() >= progress) {
                silent = true;
                break;
            }
            // Ask for no more than the announced length still missing.
            size_t room = kStage - have;
            if (!stream_)
                room = static_cast<size_t>(
                    std::min<int64_t>(static_cast<int64_t>(room), remaining - static_cast<int64_t>(have)));
            size_t got = 0;
            NetRead r =
                net_.readSome(*conn_, stage.get() + have, room, got, std::min(progress, nextKeyLook_));
            if (r == NetRead::TimedOut) continue;
            if (r == NetRead::Failed) broken = true;
            if (r != NetRead::Ok) break;
            have += got;
            continue;
        }
        size_t at = 0;
        while (have - at >= n && n > 0) {
            if (!out_.write(stage.get() + at, n)) {
                writeFailed = true;
                break;
            }
            at += n;
            progress = nextProgress();
            if (!stream_) remaining -= static_cast<int64_t>(n);
            if (clicks_) in_.services.speech.click();
            if (in_.services.keys.keyPressed() && keyDuringBody()) {
                stopped = true;
                break;
            }
            n = static_cast<size_t>(std::min<int64_t>(remaining, kBlock));
        }
        if (writeFailed) break;
        std::memmove(stage.get(), stage.get() + at, have - at);
        have -= at;
    }
    if (!out_.flush()) writeFailed = true;
    if (writeFailed) report(std::string(kWriteFailed) + request_.file);
    if (silent) report(kSilent);
    // A broken connection is never the end of the data, not even of a stream.
    if (broken) report(kBroken);
    if (writeFailed || silent || broken) return Outcome::Failed;
    if (stream_ || remaining <= 1) return Outcome::Done;
    if (!stopped) report(kIncomplete);
    return Outcome::Failed;
}

bool Downloader::keyDuringBody() {
    KeyQueue& keys = in_.services.keys;
    std::optional<uint8_t> key = keys.readKey();
    if (!key) return false;
    if (*key == 0) {
        // An extended key: its code goes with it.
        keys.readKey();
        return false;
    }
    if (*key == 13) {
        std::optional<uint64_t> size = out_.size();
        uint64_t total = static_cast<uint64_t>(announced_ + resumeOffset_);
        for (const std::string& text :
             progressReport(size.value_or(0), stream_, total, request_.file, decimalSeparator()))
            in_.speak(text);
        in_.services.speech.waitSpeech();
        return false;
    }
    if (*key == ' ') {
        clicks_ = !clicks_;
        return false;
    }
    if (*key != 27) return false;
    report(kAskStop);
    std::optional<uint8_t> answer = keys.readKey();
    if (answer && *answer == 0) keys.readKey();
    if (answer && *answer >= 32) {
        in_.services.speech.stopSpeech();
        if (in_.speechEcho) in_.services.speech.playChar(*answer);
        in_.write(std::string(1, static_cast<char>(*answer)));
    }
    in_.write("\r\n");
    if (answer && (*answer == 'S' || *answer == 's')) {
        report(kStopped);
        return true;
    }
    return false;
}

// An answer without a length that is not audio is asked for again and stored line by line,
// each line ended with CR LF and one empty line after the last.
bool Downloader::lineCopy() {
    UrlParts url = splitUrl(current_);
    bool ok = connect(url);
    if (ok) {
        // The fourth and fifth arguments change places in this request.
        std::string head = "GET " + url.path + " HTTP/1.1\r\n";
        head += "Host: " + url.host + "\r\n";
        head += "User-Agent: " + request_.cookie + "\r\n";
        head += "Connection: close\r\n";
        head += "Accept-Language: pt-br\r\n";
        head += "UA-CPU: x86\r\n";
        if (!request_.userAgent.empty()) head += "Cookie: " + request_.userAgent + "\r\n";
        head += "\r\n";
        ok = net_.sendText(conn_->socket.get(), head);
    }
    // The status line and the headers are read past, up to the empty line, within the limits
    // of a head.
    NetDeadline deadline = net_.silenceDeadline();
    HeadLines head(kHeaderLineLimit, kHeadLimit);
    while (ok) {
        HeadRead r = headLine(head, deadline);
        tellHeadFailure(r);
        if (r != HeadRead::Ok)
            ok = false;
        else if (head.line().empty())
            break;
    }
    if (ok) ok = out_.open(request_.file, FileHandle::Mode::Truncate);
    bool writeFailed = false;
    if (ok) {
        // Bytes go through as they come; a CR just before an LF is dropped, and every line
        // gets CR LF. As for a body with a length, a whole block's worth of bytes must come
        // within the time limit of the one before.
        bool pendingCr = false;
        bool lineHasText = false;
        NetDeadline progress = net_.silenceDeadline();
        size_t sinceProgress = 0;
        char block[NetConnection::kBufferSize];
        for (;;) {
            if (keysInTime()) {
                ok = false;
                break;
            }
            if (std::chrono::steady_clock::now() >= progress) {
                report(kSilent);
                ok = false;
                break;
            }
            size_t got = 0;
            NetRead r = net_.readSome(*conn_, block, sizeof block, got, std::min(progress, nextKeyLook_));
            for (size_t i = 0; i < got && !writeFailed; ++i) {
                char c = block[i];
                if (c == '\n') {
                    writeFailed = !out_.write("\r\n", 2);
                    pendingCr = false;
                    lineHasText = false;
                    continue;
                }
                if (pendingCr) writeFailed = !out_.write("\r", 1);
                pendingCr = c == '\r';
                if (!pendingCr && !writeFailed) writeFailed = !out_.write(&c, 1);
                lineHasText = true;
            }
            if (writeFailed) break;
            sinceProgress += got;
            if (sinceProgress >= kBlock) {
                sinceProgress = 0;
                progress = net_.silenceDeadline();
            }
            if (r == NetRead::TimedOut || r == NetRead::Ok) continue;
            if (r == NetRead::Failed) {
                // A reset is no end of the page: what came is only part of it.
                report(kBroken);
                ok = false;
            }
            break;
        }
        if (ok && !writeFailed && lineHasText) writeFailed = !out_.write("\r\n", 2);
        if (ok && !writeFailed) writeFailed = !out_.write("\r\n", 2);
        if (writeFailed) report(std::string(kWriteFailed) + request_.file);
    }
    closeConnection();
    net_.stop();
    bool closed = out_.close();
    return ok && !writeFailed && closed;
}

}  // namespace

bool download(Interpreter& in, Network& net, const DownloadRequest& request) {
    Downloader d(in, net, request);
    return d.run();
}

HeadLines::Step HeadLines::add(uint8_t byte) {
    if (complete_) {
        line_.clear();
        complete_ = false;
    }
    if (byte == '\n') {
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        complete_ = true;
        return Step::Line;
    }
    if (left_ == 0 || line_.size() >= lineLimit_) return Step::TooLarge;
    --left_;
    line_ += static_cast<char>(byte);
    return Step::More;
}

bool HeadLines::end() {
    if (complete_ || line_.empty()) return false;
    add('\n');
    return true;
}

UrlParts splitUrl(std::string_view url) {
    UrlParts u;
    u.https = startsWithUpper(url, "HTTPS");
    std::string rest;
    if (size_t at = url.find("://"); at != std::string_view::npos)
        rest = url.substr(at + 3, 999);
    else
        rest = url.substr(0, 999);
    if (size_t colon = rest.find(':'); colon != std::string::npos) {
        size_t end = rest.find('/', colon + 1);
        u.port = rest.substr(colon + 1, end == std::string::npos ? std::string::npos : end - colon - 1);
        std::string pattern = ":" + u.port;
        for (size_t at = rest.find(pattern); at != std::string::npos; at = rest.find(pattern, at))
            rest.erase(at, pattern.size());
    }
    if (size_t slash = rest.find('/'); slash != std::string::npos) {
        u.host = rest.substr(0, slash);
        u.path = rest.substr(slash);
    } else {
        u.host = rest;
        u.path = "/";
    }
    if (u.port.empty()) u.port = u.https ? "443" : "80";
    return u;
}

std::string resolveLocation(std::string_view base, std::string_view location) {
    if (location.find("://") != std::string_view::npos || location.empty()) return std::string(location);
    UrlParts b = splitUrl(base);
    std::string origin = (b.https ? "https://" : "http://") + b.host;
    if ((b.https && b.port != "443") || (!b.https && b.port != "80")) origin += ":" + b.port;
    if (location.size() >= 2 && location[0] == '/' && location[1] == '/')
        return (b.https ? "https:" : "http:") + std::string(location);
    if (location[0] == '/') return origin + std::string(location);
    std::string path = b.path.substr(0, b.path.find_first_of("?#"));
    path = path.substr(0, path.rfind('/') + 1);
    return origin + path + std::string(location);
}

std::optional<int> parseStatusCode(std::string_view line) {
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos || line.size() < blank + 4) return std::nullopt;
    std::string_view digits = line.substr(blank + 1, 3);
    int code = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        code = code * 10 + (c - '0');
    }
    return code;
}

HeaderField parseHeader(std::string_view line) {
    HeaderField h;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return h;
    std::string_view name = text::trim(line.substr(0, colon));
    h.value = std::string(text::trim(line.substr(colon + 1)));
    std::string upper = text::upperCase(name);
    if (upper == "LOCATION") {
        h.kind = HeaderField::Kind::Location;
    } else if (upper == "CONTENT-TYPE") {
        h.kind = HeaderField::Kind::ContentType;
    } else if (upper == "CONTENT-LENGTH") {
        std::optional<int64_t> n = parseCount(h.value);
        h.kind = n ? HeaderField::Kind::ContentLength : HeaderField::Kind::Malformed;
        h.number = n.value_or(0);
    } else if (upper == "CONTENT-RANGE") {
        // "bytes FIRST-LAST/TOTAL", or "bytes */TOTAL" when the range asked for is past the end.
        std::string_view v = h.value;
        if (startsWithUpper(v, "BYTES ")) {
            v.remove_prefix(6);
            size_t slash = v.find('/');
            std::string_view range = v.substr(0, slash);
            std::optional<int64_t> first = text::trim(range) == "*"
                                               ? std::optional<int64_t>(-1)
                                               : parseCount(range.substr(0, range.find('-')));
            h.kind = first ? HeaderField::Kind::ContentRange : HeaderField::Kind::Malformed;
            h.number = first.value_or(0);
            if (slash != std::string_view::npos) h.total = parseCount(v.substr(slash + 1)).value_or(-1);
        }
    }
    return h;
}

std::string formatGeneral3(double value, char separator) {
    if (!(value > 0) || !std::isfinite(value)) return "0";
    char scientific[64];
    std::snprintf(scientific, sizeof scientific, "%.2e", value);
    std::string s(scientific);
    size_t e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    std::string out;
    if (exponent < 3 && value >= 1e-5) {
        char fixed[64];
        std::snprintf(fixed, sizeof fixed, "%.*f", std::max(0, 2 - exponent), value);
        out = fixed;
    } else {
        out = s.substr(0, e);
    }
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') out.pop_back();
        if (out.back() == '.') out.pop_back();
    }
    std::replace(out.begin(), out.end(), '.', separator);
    return out;
}

std::vector<std::string> progressReport(uint64_t size, bool streamMode, uint64_t total,
                                        std::string_view fileName, char separator) {
    constexpr uint64_t kKilo = 1024, kMega = kKilo << 10, kGiga = kMega << 10;
    std::vector<std::string> said;
    if (streamMode) {
        said.push_back(std::to_string(size) + " bytes escritos em disco.");
    } else {
        double percent = total == 0 ? 0.0 : static_cast<double>(size) / static_cast<double>(total) * 100.0;
        std::string amount;
        if (total >= kGiga)
            amount = std::to_string(total / kGiga) + "GB.";
        else if (total >= kMega)
            amount = std::to_string(total / kMega) + "MB.";
        else if (total < kKilo)
            amount = std::to_string(total) + "Bytes.";
        else
            amount = std::to_string(total / kKilo) + "KB.";
        said.push_back("Recebidos: " + formatGeneral3(percent, separator) + "% de " + amount);
    }
    double s = static_cast<double>(size);
    if (size >= kGiga)
        said.push_back(formatGeneral3(s / kGiga, separator) + " GigaBytes gravados.");
    else if (size >= kMega)
        said.push_back(formatGeneral3(s / kMega, separator) + " MegaBytes gravados.");
    else if (size >= kKilo)
        said.push_back(formatGeneral3(s / kKilo, separator) + " KBytes gravados.");
    else
        said.push_back(formatGeneral3(s, separator) + " Bytes gravados.");
    said.push_back("Arquivo: " + std::string(fileName));
    return said;
}

}  // namespace parlendo
