// Base64, quoted-printable and two-byte UTF-8 folding.
#include "text/encodings.h"

#include "text/cp1252.h"

namespace parlendo::text {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void encodeGroup(const unsigned char* b, int n, std::string& out) {
    unsigned v = (unsigned{b[0]} << 16) | (n > 1 ? unsigned{b[1]} << 8 : 0) | (n > 2 ? b[2] : 0);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(n > 1 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back(n > 2 ? kAlphabet[v & 63] : '=');
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) encodeGroup(p + i, 3, out);
    if (i < bytes.size()) encodeGroup(p + i, static_cast<int>(bytes.size() - i), out);
    return out;
}

std::string base64Decode(std::string_view text) {
    std::string out;
    Base64Decoder d;
    d.feed(text, out);
    d.finish(out);
    return out;
}

bool Base64Decoder::feed(std::string_view text, std::string& out) {
    if (ended_) return false;
    for (char ch : text) {
        if (ch == '=') {
            ended_ = true;
            return false;
        }
        int v = base64Value(static_cast<unsigned char>(ch));
        if (v < 0) continue;
        acc_ = (acc_ << 6) | static_cast<unsigned>(v);
        if (++have_ == 4) {
            out.push_back(static_cast<char>((acc_ >> 16) & 255));
            out.push_back(static_cast<char>((acc_ >> 8) & 255));
            out.push_back(static_cast<char>(acc_ & 255));
            acc_ = 0;
            have_ = 0;
        }
    }
    return true;
}

void Base64Decoder::finish(std::string& out) {
    if (have_ == 2) {
        out.push_back(static_cast<char>((acc_ >> 4) & 255));
    } else if (have_ == 3) {
        out.push_back(static_cast<char>((acc_ >> 10) & 255));
        out.push_back(static_cast<char>((acc_ >> 2) & 255));
    }
    acc_ = 0;
    have_ = 0;
}

std::string quotedPrintableEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || c == '=' || c >= 127) {
            out.push_back('=');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::string quotedPrintableDecode(std::string_view text) {
    if (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string foldTwoByteUtf8(std::string_view bytes) {
    if (!isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 192 && c <= 223 && i + 1 < bytes.size()) {
            unsigned char d = static_cast<unsigned char>(bytes[i + 1]);
            if (d >= 0x80 && d <= 0xBF) {
                out.push_back(static_cast<char>((c * 64 + d % 64) % 256));
                ++i;
                continue;
            }
        }
        out.push_back(bytes[i]);
    }
    return out;
}

void Base64LineEncoder::feed(std::string_view bytes, std::string& out) {
    for (char ch : bytes) {
        carry_[carried_++] = static_cast<unsigned char>(ch);
        if (carried_ == 3) {
            encodeGroup(carry_, 3, line_);
            carried_ = 0;
            if (line_.size() == 64) {
                out += line_;
                out += "\r\n";
                line_.clear();
            }
        }
    }
}

void Base64LineEncoder::finish(std::string& out) {
    if (carried_ > 0) encodeGroup(carry_, carried_, line_);
    carried_ = 0;
    if (!line_.empty()) {
        out += line_;
        out += "\r\n";
        line_.clear();
    }
}

}  // namespace parlendo::text
