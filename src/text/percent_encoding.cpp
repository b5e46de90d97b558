// Percent-encoding of the bytes of a URL's parts.
#include "text/percent_encoding.h"

namespace parlendo::text {

std::string percentEncodeWhere(std::string_view text, bool (*encoded)(unsigned char)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (encoded(u)) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string percentEncode(std::string_view text) {
    return percentEncodeWhere(text, [](unsigned char u) {
        bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' ||
                     u == '.' || u == '_' || u == '~';
        return !plain;
    });
}

}  // namespace parlendo::text
