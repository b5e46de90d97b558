// News feeds (RSS 2.0, RSS 0.9x, RDF/RSS 1.0 and Atom) and their articles' lines, through libxml2.
#include "sources/news_feed.h"

#include <libxml/HTMLparser.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <array>
#include <climits>
#include <cstdio>
#include <utility>

#include "sources/xml_support.h"

namespace sintonix {

namespace {

// No network, no messages. Entities are never substituted (no XML_PARSE_NOENT) and no DTD is
// loaded (no XML_PARSE_DTDLOAD), so a feed can neither read a file through an external entity nor
// swell through nested ones; libxml2's default limits on sizes and depth stay. No recovery either:
// a truncated or broken document is not a feed.
constexpr int kXmlOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

constexpr const char* kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr const char* kRss10Ns = "http://purl.org/rss/1.0/";
constexpr const char* kRss090Ns = "http://my.netscape.com/rdf/simple/0.9/";
constexpr const char* kDublinCoreNs = "http://purl.org/dc/elements/1.1/";
constexpr const char* kContentNs = "http://purl.org/rss/1.0/modules/content/";
constexpr const char* kAtomNs = "http://www.w3.org/2005/Atom";

// ---- Dates ------------------------------------------------------------------------------------

struct DateParts {
    int day = 0, month = 0, year = 0, hour = -1, minute = -1;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void skipBlanks(std::string_view& s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
}

// Reads minDigits to maxDigits digits; returns how many were read (0 when too few).
size_t takeNumber(std::string_view& s, size_t minDigits, size_t maxDigits, int& value) {
    size_t n = 0;
    value = 0;
    while (n < s.size() && n < maxDigits && isDigit(s[n])) value = value * 10 + (s[n++] - '0');
    if (n < minDigits) return 0;
    s.remove_prefix(n);
    return n;
}

bool takeChar(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

std::string_view takeWord(std::string_view& s) {
    size_t n = 0;
    while (n < s.size() && isLetter(s[n])) ++n;
    std::string_view word = s.substr(0, n);
    s.remove_prefix(n);
    return word;
}

// English month names, as RFC 822 has them, and the Portuguese ones some Brazilian feeds write.
int monthNumber(std::string_view word) {
    static constexpr std::array<std::pair<std::string_view, int>, 19> kMonths = {{
        {"jan", 1},  {"feb", 2},  {"fev", 2},  {"mar", 3},  {"apr", 4},  {"abr", 4}, {"may", 5},
        {"mai", 5},  {"jun", 6},  {"jul", 7},  {"aug", 8},  {"ago", 8},  {"sep", 9}, {"set", 9},
        {"oct", 10}, {"out", 10}, {"nov", 11}, {"dec", 12}, {"dez", 12},
    }};
    if (word.size() < 3) return 0;
    std::string start = lowerAscii(word.substr(0, 3));
    for (const auto& [name, number] : kMonths)
        if (name == start) return number;
    return 0;
}

// "HH:MM" with optional seconds and anything after them (a zone) ignored.
bool readTime(std::string_view& s, DateParts& date) {
    return takeNumber(s, 1, 2, date.hour) && takeChar(s, ':') && takeNumber(s, 2, 2, date.minute);
}

// "[Tue,] 08 Dec 2026 [10:30[:00] [-0300]]".
std::optional<DateParts> readRfc822(std::string_view s) {
    DateParts date;
    if (!s.empty() && isLetter(s.front())) {
        takeWord(s);
        skipBlanks(s);
        takeChar(s, ',');
        skipBlanks(s);
    }
    if (!takeNumber(s, 1, 2, date.day)) return std::nullopt;
    if (!takeChar(s, '-')) skipBlanks(s);
    date.month = monthNumber(takeWord(s));
    if (!takeChar(s, '-')) skipBlanks(s);
    size_t yearDigits = takeNumber(s, 2, 4, date.year);
    if (yearDigits == 3 || yearDigits == 0) return std::nullopt;
    if (yearDigits == 2) date.year += date.year < 70 ? 2000 : 1900;
    skipBlanks(s);
    if (!s.empty() && !readTime(s, date)) return std::nullopt;
    return date;
}

// "2026-12-08[THH:MM[:SS][zone]]".
std::optional<DateParts> readIso8601(std::string_view s) {
    DateParts date;
    if (!takeNumber(s, 4, 4, date.year) || !takeChar(s, '-') || !takeNumber(s, 2, 2, date.month) ||
        !takeChar(s, '-') || !takeNumber(s, 2, 2, date.day))
        return std::nullopt;
    if (s.empty()) return date;
    if (!takeChar(s, 'T') && !takeChar(s, ' ')) return std::nullopt;
    if (!readTime(s, date)) return std::nullopt;
    return date;
}

bool isPlausible(const DateParts& d) {
    return d.day >= 1 && d.day <= 31 && d.month >= 1 && d.month <= 12 && d.year >= 1000 && d.year <= 9999 &&
           d.hour <= 23 && d.minute <= 59;
}

// ---- Feeds ------------------------------------------------------------------------------------

enum class Vocabulary { Rss, Rdf, DublinCore, Content, Atom };

bool inVocabulary(const xmlNode* node, Vocabulary vocabulary) {
    std::string_view ns = node->ns == nullptr ? std::string_view() : view(node->ns->href);
    switch (vocabulary) {
        case Vocabulary::Rss:  // RSS 0.9x and 2.0 have no namespace; RSS 1.0 and 0.90 have theirs
            return node->ns == nullptr || ns == kRss10Ns || ns == kRss090Ns;
        case Vocabulary::Rdf:
            return ns == kRdfNs;
        case Vocabulary::DublinCore:
            return ns == kDublinCoreNs;
        case Vocabulary::Content:
            return ns == kContentNs;
        case Vocabulary::Atom:
            return ns == kAtomNs;
    }
    return false;
}

bool isElement(const xmlNode* node, std::string_view name, Vocabulary vocabulary) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && view(node->name) == name &&
           inVocabulary(node, vocabulary);
}

// The text inside an element. An entity reference left in the tree is one the document declares
// (not expanded: that is how a few bytes become gigabytes, or a feed reads /etc/passwd) or one it
// names without declaring, such as the HTML entities of feeds written for RSS 0.91's DTD: those
// are taken from HTML's table.
void appendXmlText(const xmlNode* element, std::string& out) {
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            out += view(child->content);
        } else if (child->type == XML_ENTITY_REF_NODE) {
            if (xmlGetDocEntity(child->doc, child->name) != nullptr) continue;
            if (const htmlEntityDesc* entity = htmlEntityLookup(child->name)) {
                xmlChar utf8[8];
                int length = xmlCopyCharMultiByte(utf8, static_cast<int>(entity->value));
                out.append(reinterpret_cast<const char*>(utf8), static_cast<size_t>(length));
            }
        } else if (child->type == XML_ELEMENT_NODE) {
            appendXmlText(child, out);  // the parser's depth limit bounds this
        }
    }
}

std::string xmlText(const xmlNode* element) {
    std::string text;
    appendXmlText(element, text);
    return text;
}

// RSS 2.0's author is an address, "redacao@example.com (Maria Silva)": the name is what is read.
std::string authorName(std::string author) {
    size_t open = author.find('(');
    if (open != std::string::npos && author.back() == ')' && author.find('@') < open) {
        std::string name =
            collapseBlanks(std::string_view(author).substr(open + 1, author.size() - open - 2));
        if (!name.empty()) return name;
    }
    return author;
}

void setOnce(std::string& field, std::string value) {
    if (field.empty()) field = std::move(value);
}

NewsItem readRssItem(const xmlNode* item) {
    NewsItem out;
    std::string description, encoded, pubDate, dcDate, creator, author, guid;
    for (const xmlNode* child = item->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        std::string_view name = view(child->name);
        if (inVocabulary(child, Vocabulary::Rss)) {
            if (name == "title")
                setOnce(out.title, collapseBlanks(xmlText(child)));
            else if (name == "link")
                setOnce(out.link, collapseBlanks(xmlText(child)));
            else if (name == "pubDate")
                setOnce(pubDate, collapseBlanks(xmlText(child)));
            else if (name == "description")
                setOnce(description, xmlText(child));
            else if (name == "author")
                setOnce(author, collapseBlanks(xmlText(child)));
            else if (name == "guid" && lowerAscii(collapseBlanks(attribute(child, "isPermaLink"))) != "false")
                setOnce(guid, collapseBlanks(xmlText(child)));
        } else if (inVocabulary(child, Vocabulary::DublinCore)) {
            if (name == "creator")
                setOnce(creator, collapseBlanks(xmlText(child)));
            else if (name == "date")
                setOnce(dcDate, collapseBlanks(xmlText(child)));
        } else if (inVocabulary(child, Vocabulary::Content) && name == "encoded") {
            setOnce(encoded, xmlText(child));
        }
    }
    // A permanent guid is the item's address when the item has no link.
    if (out.link.empty() && (startsWithNoCase(guid, "http://") || startsWithNoCase(guid, "https://")))
        out.link = guid;
    out.date = formatNewsDate(pubDate.empty() ? dcDate : pubDate);
    out.author = creator.empty() ? (author.empty() ? author : authorName(author)) : creator;
    out.html = isBlankText(encoded) ? description : encoded;
    return out;
}

// An Atom text construct as HTML: "html" holds escaped HTML, "xhtml" a div of elements, "text"
// (the default) plain text, escaped here so that the HTML reader keeps it as it is.
std::string atomHtml(const xmlNode* element) {
    std::string type = lowerAscii(collapseBlanks(attribute(element, "type")));
    if (type == "html") return xmlText(element);
    if (type == "xhtml") {
        BufferPtr buffer(xmlBufferCreate());
        if (!buffer) return {};
        for (const xmlNode* child = element->children; child != nullptr; child = child->next)
            xmlNodeDump(buffer.get(), element->doc, const_cast<xmlNode*>(child), 0, 0);
        return std::string(view(xmlBufferContent(buffer.get())));
    }
    XmlCharPtr escaped(xmlEncodeSpecialChars(element->doc, xml(xmlText(element).c_str())));
    return std::string(view(escaped.get()));
}

std::string atomPlainText(const xmlNode* element) {
    std::string type = lowerAscii(collapseBlanks(attribute(element, "type")));
    if (type == "html" || type == "xhtml") return collapseBlanks(htmlToText(atomHtml(element)));
    return collapseBlanks(xmlText(element));
}

NewsItem readAtomEntry(const xmlNode* entry) {
    NewsItem out;
    std::string content, summary, published, updated;
    for (const xmlNode* child = entry->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || !inVocabulary(child, Vocabulary::Atom)) continue;
        std::string_view name = view(child->name);
        if (name == "title") {
            setOnce(out.title, atomPlainText(child));
        } else if (name == "link") {
            std::string rel = collapseBlanks(attribute(child, "rel"));
            if (rel.empty() || rel == "alternate")
                setOnce(out.link, collapseBlanks(attribute(child, "href")));
        } else if (name == "published") {
            setOnce(published, collapseBlanks(xmlText(child)));
        } else if (name == "updated") {
            setOnce(updated, collapseBlanks(xmlText(child)));
        } else if (name == "author") {
            for (const xmlNode* part = child->children; part != nullptr; part = part->next)
                if (isElement(part, "name", Vocabulary::Atom))
                    setOnce(out.author, collapseBlanks(xmlText(part)));
        } else if (name == "content") {
            setOnce(content, atomHtml(child));
        } else if (name == "summary") {
            setOnce(summary, atomHtml(child));
        }
    }
    out.date = formatNewsDate(published.empty() ? updated : published);
    out.html = isBlankText(content) ? summary : content;
    return out;
}

const xmlNode* firstChild(const xmlNode* parent, std::string_view name, Vocabulary vocabulary) {
    for (const xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (isElement(child, name, vocabulary)) return child;
    return nullptr;
}

void addItem(NewsFeed& feed, NewsItem item) {
    if (!item.title.empty() || !item.link.empty()) feed.items.push_back(std::move(item));
}

std::string hostOf(const std::string& address) {
    UriPtr uri(xmlParseURI(address.c_str()));
    return uri && uri->server != nullptr ? std::string(uri->server) : std::string();
}

}  // namespace

std::string formatNewsDate(std::string_view date) {
    std::string text = collapseBlanks(date);
    std::optional<DateParts> parts = readRfc822(text);
    if (!parts || !isPlausible(*parts)) parts = readIso8601(text);
    if (!parts || !isPlausible(*parts)) return text;
    char formatted[48];
    int n =
        std::snprintf(formatted, sizeof formatted, "%02d/%02d/%04d", parts->day, parts->month, parts->year);
    if (parts->hour >= 0)
        std::snprintf(formatted + n, sizeof formatted - n, " às %02dh%02d", parts->hour, parts->minute);
    return formatted;
}

std::optional<NewsFeed> parseNewsFeed(std::string_view bytes) {
    // Some servers send blank lines before the XML declaration, which XML forbids; they go.
    size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos && bytes[start] == '<') bytes.remove_prefix(start);
    if (bytes.empty() || bytes.size() > INT_MAX) return std::nullopt;
    xmlInitParser();
    QuietErrors quiet;
    DocPtr doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, kXmlOptions));
    if (!doc) return std::nullopt;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr) return std::nullopt;

    NewsFeed feed;
    if (isElement(root, "feed", Vocabulary::Atom)) {
        if (const xmlNode* title = firstChild(root, "title", Vocabulary::Atom))
            feed.title = atomPlainText(title);
        for (const xmlNode* child = root->children; child != nullptr; child = child->next)
            if (isElement(child, "entry", Vocabulary::Atom)) addItem(feed, readAtomEntry(child));
        return feed;
    }
    // RSS 0.9x and 2.0 keep their items in the channel; RDF (RSS 0.90 and 1.0) beside it.
    bool rss = isElement(root, "rss", Vocabulary::Rss) && root->ns == nullptr;
    if (!rss && !isElement(root, "RDF", Vocabulary::Rdf)) return std::nullopt;
    const xmlNode* channel = firstChild(root, "channel", Vocabulary::Rss);
    if (channel == nullptr) return std::nullopt;
    if (const xmlNode* title = firstChild(channel, "title", Vocabulary::Rss))
        feed.title = collapseBlanks(xmlText(title));
    for (const xmlNode* parent : {channel, root})
        for (const xmlNode* child = parent->children; child != nullptr; child = child->next)
            if (isElement(child, "item", Vocabulary::Rss)) addItem(feed, readRssItem(child));
    return feed;
}

std::vector<std::string> articleLines(const NewsItem& item, const std::string& feedTitle) {
    std::vector<std::string> lines;
    for (const std::string& header : {item.title, item.date})
        if (!header.empty()) lines.push_back(header);
    if (!item.author.empty()) lines.push_back("Autor: " + item.author);
    std::string text = htmlToText(item.html, item.link);
    if (!text.empty()) {
        if (!lines.empty()) lines.emplace_back();
        for (size_t start = 0;;) {
            size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    if (!lines.empty()) lines.emplace_back();
    lines.push_back(std::string(30, '-'));
    lines.emplace_back();
    std::string source = collapseBlanks(feedTitle);
    if (source.empty()) source = hostOf(item.link);
    lines.push_back(source.empty()
                        ? "Texto reproduzido pelo Sintonix com o crédito da fonte."
                        : "Texto de " + source + ", reproduzido pelo Sintonix com o crédito da fonte.");
    if (!item.link.empty()) lines.push_back("Endereço da matéria: " + item.link);
    return lines;
}

}  // namespace sintonix
