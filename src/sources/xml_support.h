// What the feed and article readers share: owners of libxml2's handles, its silenced error output,
// and blank-collapsing of UTF-8 text.
#pragma once

#include <libxml/tree.h>
#include <libxml/uri.h>
#include <libxml/xmlerror.h>

#include <memory>
#include <string>
#include <string_view>

#include "text/cp1252.h"

namespace sintonix {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlCharPtr = std::unique_ptr<xmlChar, XmlFree>;

struct UriFree {
    void operator()(xmlURI* uri) const { xmlFreeURI(uri); }
};
using UriPtr = std::unique_ptr<xmlURI, UriFree>;

struct BufferFree {
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
using BufferPtr = std::unique_ptr<xmlBuffer, BufferFree>;

// libxml2 still prints some errors (of encodings, of memory) through its generic handler even with
// the NOERROR options; while one lives, this thread's handlers say nothing. They are restored
// afterwards, so that a caller's own handlers survive.
class QuietErrors {
public:
    QuietErrors();
    ~QuietErrors();
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    xmlGenericErrorFunc generic_;
    void* genericContext_;
    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
};

inline std::string_view view(const xmlChar* text) {
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

inline const xmlChar* xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The attribute's value, empty when the element has none.
std::string attribute(const xmlNode* node, const char* name);

// Appends s to out with every run of blanks (ASCII blanks and controls, the no-break and the
// typographic spaces) made one and invisible characters (zero-width space, byte order mark, soft
// hyphen) dropped; a blank is only written before the next visible character, so out never
// starts or ends with one.
void appendCollapsed(std::string& out, bool& pendingBlank, std::string_view s);
std::string collapseBlanks(std::string_view s);
bool isBlankText(std::string_view s);

using parlendo::text::lowerAscii;
// prefix must be lower case.
bool startsWithNoCase(std::string_view s, std::string_view prefix);

}  // namespace sintonix
