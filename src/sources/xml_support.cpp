// What the feed and article readers share: owners of libxml2's handles, its silenced error output,
// and blank-collapsing of UTF-8 text.
#include "sources/xml_support.h"

namespace sintonix {

namespace {

void ignoreMessage(void*, const char*, ...) {}

// The length of the blank at s[i]: ASCII blanks and controls, the no-break space, the typographic
// spaces; 0 when there is none.
size_t blankLength(std::string_view s, size_t i) {
    auto at = [&](size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    unsigned char b = at(i);
    if (b <= 0x20 || b == 0x7F) return 1;
    if (b == 0xC2 && at(i + 1) == 0xA0) return 2;
    if (b == 0xE2 && at(i + 1) == 0x80 && (at(i + 2) <= 0x8A || at(i + 2) == 0xAF) && at(i + 2) >= 0x80)
        return 3;
    if (b == 0xE3 && at(i + 1) == 0x80 && at(i + 2) == 0x80) return 3;
    return 0;
}

// The length of an invisible character at s[i] that is dropped (zero-width space, byte order
// mark, soft hyphen); 0 when there is none.
size_t invisibleLength(std::string_view s, size_t i) {
    if (s.substr(i, 3) == "\xE2\x80\x8B" || s.substr(i, 3) == "\xEF\xBB\xBF") return 3;
    if (s.substr(i, 2) == "\xC2\xAD") return 2;
    return 0;
}

}  // namespace

QuietErrors::QuietErrors()
    : generic_(xmlGenericError),
      genericContext_(xmlGenericErrorContext),
      structured_(xmlStructuredError),
      structuredContext_(xmlStructuredErrorContext) {
    xmlSetGenericErrorFunc(nullptr, ignoreMessage);
    xmlSetStructuredErrorFunc(nullptr, [](void*, auto) {});
}

QuietErrors::~QuietErrors() {
    xmlSetGenericErrorFunc(genericContext_, generic_);
    xmlSetStructuredErrorFunc(structuredContext_, structured_);
}

std::string attribute(const xmlNode* node, const char* name) {
    XmlCharPtr value(xmlGetProp(node, xml(name)));
    return std::string(view(value.get()));
}

void appendCollapsed(std::string& out, bool& pendingBlank, std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        if (size_t n = blankLength(s, i)) {
            pendingBlank = true;
            i += n;
        } else if (size_t n = invisibleLength(s, i)) {
            i += n;
        } else {
            if (pendingBlank && !out.empty()) out += ' ';
            pendingBlank = false;
            out += s[i++];
        }
    }
}

std::string collapseBlanks(std::string_view s) {
    std::string out;
    bool pendingBlank = false;
    appendCollapsed(out, pendingBlank, s);
    return out;
}

bool isBlankText(std::string_view s) { return collapseBlanks(s).empty(); }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && lowerAscii(s.substr(0, prefix.size())) == prefix;
}

}  // namespace sintonix
