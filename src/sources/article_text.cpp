// The HTML of a news article as plain text, through libxml2's HTML parser.
#include "sources/article_text.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>

#include <climits>
#include <optional>
#include <vector>

#include "sources/xml_support.h"

namespace sintonix {

namespace {

constexpr int kHtmlOptions = HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING;

// Deeper than this the article's HTML is not followed (libxml2 itself stops near 256).
constexpr int kMaxHtmlDepth = 300;
// A paragraph is looked at as a possible "Leia também" heading or social-network call only while
// its text is this short and it has this few nodes, so the look costs little on any input.
constexpr size_t kShortParagraphBytes = 200;
constexpr int kShortParagraphNodes = 64;
constexpr int kLinkListNodes = 2000;

// The letters of U+00C0-U+00FF without their marks, for comparing words.
constexpr std::string_view kLatin1Letters =
    "aaaaaaaceeeeiiiidnooooo ouuuuytsaaaaaaaceeeeiiiidnooooo ouuuuyty";

// The text as lower-case ASCII words separated by one blank: "» Notícias Relacionadas:" becomes
// "noticias relacionadas". Characters that are not Latin letters or digits separate words.
std::string wordKey(std::string_view s) {
    std::string key;
    bool pendingBlank = false;
    auto put = [&](char c) {
        if (pendingBlank && !key.empty()) key += ' ';
        pendingBlank = false;
        key += c;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            put(static_cast<char>(b));
        } else if (b >= 'A' && b <= 'Z') {
            put(static_cast<char>(b + 32));
        } else if (b == 0xC3 && i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) {
            char letter = kLatin1Letters[static_cast<unsigned char>(s[++i]) - 0x80];
            if (letter == ' ')
                pendingBlank = true;
            else
                put(letter);
        } else if (b < 0x80 || b >= 0xC0) {
            pendingBlank = true;  // ASCII punctuation, or the start of another character
        }
    }
    return key;
}

std::vector<std::string_view> splitWords(std::string_view key) {
    std::vector<std::string_view> words;
    while (!key.empty()) {
        size_t blank = key.find(' ');
        words.push_back(key.substr(0, blank));
        if (blank == std::string_view::npos) break;
        key.remove_prefix(blank + 1);
    }
    return words;
}

bool keyStartsWith(std::string_view key, std::string_view phrase) {
    return key.substr(0, phrase.size()) == phrase &&
           (key.size() == phrase.size() || key[phrase.size()] == ' ');
}

enum class Role { Skip, Block, Cell, Break, Link, Inline };

Role roleOf(const xmlNode* element) {
    static constexpr std::string_view kSkipped[] = {
        "script", "style", "noscript", "iframe", "frame",  "frameset", "img",    "svg",
        "math",   "form",  "button",   "input",  "select", "textarea", "object", "embed",
        "video",  "audio", "picture",  "source", "track",  "canvas",   "map",    "template",
        "head",   "title", "nav",      "meta",   "link"};
    static constexpr std::string_view kBlocks[] = {
        "p",     "div",     "h1",      "h2",         "h3",      "h4",      "h5",         "h6",
        "li",    "ul",      "ol",      "dl",         "dt",      "dd",      "blockquote", "tr",
        "table", "caption", "figure",  "figcaption", "section", "article", "header",     "footer",
        "aside", "main",    "address", "pre",        "hr",      "center",  "details",    "summary"};
    std::string_view name = view(element->name);
    for (std::string_view skipped : kSkipped)
        if (name == skipped) return Role::Skip;
    for (std::string_view block : kBlocks)
        if (name == block) return Role::Block;
    if (name == "td" || name == "th") return Role::Cell;
    if (name == "br") return Role::Break;
    if (name == "a") return Role::Link;
    return Role::Inline;
}

// Blocks of related news are marked so in the page's own classes and ids.
bool isMarkedRelated(const xmlNode* element) {
    for (const char* name : {"class", "id"}) {
        std::string value = lowerAscii(attribute(element, name));
        if (value.find("relacionad") != std::string::npos || value.find("related") != std::string::npos)
            return true;
    }
    return false;
}

// The text of a short element, or false once it is longer than maxBytes or has more than
// `nodes` nodes. Skipped elements (scripts, images…) count as nodes but give no text.
bool shortText(const xmlNode* element, std::string& out, size_t maxBytes, int& nodes) {
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (--nodes < 0) return false;
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            out += view(child->content);
            if (out.size() > maxBytes) return false;
        } else if (child->type == XML_ELEMENT_NODE && roleOf(child) != Role::Skip) {
            if (!shortText(child, out, maxBytes, nodes)) return false;
        }
    }
    return true;
}

// The words of a short paragraph (see wordKey), or nullopt when it is not short.
std::optional<std::string> shortParagraphKey(const xmlNode* element) {
    std::string text;
    int nodes = kShortParagraphNodes;
    if (!shortText(element, text, kShortParagraphBytes, nodes)) return std::nullopt;
    return wordKey(text);
}

// "Notícias relacionadas", "Leia também"…: a heading of links to other articles.
bool isRelatedHeading(std::string_view key) {
    static constexpr std::string_view kPhrases[] = {"noticias relacionadas",
                                                    "materias relacionadas",
                                                    "conteudo relacionado",
                                                    "relacionadas",
                                                    "leia tambem",
                                                    "leia mais",
                                                    "saiba mais",
                                                    "veja tambem",
                                                    "veja mais",
                                                    "confira tambem"};
    for (std::string_view phrase : kPhrases)
        if (keyStartsWith(key, phrase)) return true;
    return false;
}

// "Siga a Agência Brasil no WhatsApp", "Inscreva-se no nosso canal do YouTube", "Compartilhe":
// a paragraph that opens with an invitation to follow or share and names a social network. Only
// the opening word counts: "Entre os canais, o YouTube lidera" is news.
bool isSocialCall(std::string_view key) {
    static constexpr std::string_view kNetworks[] = {"whatsapp", "telegram", "facebook", "instagram",
                                                     "twitter",  "youtube",  "tiktok",   "threads",
                                                     "linkedin", "kwai",     "bluesky"};
    static constexpr std::string_view kInvitations[] = {
        "siga",     "sigam",     "acompanhe", "acompanhem", "compartilhe", "compartilhem", "compartilhar",
        "inscreva", "inscrevam", "participe", "receba",     "assine",      "baixe"};
    std::vector<std::string_view> words = splitWords(key);
    if (words.empty()) return false;
    if (words.size() <= 4 && words[0].substr(0, 10) == "compartilh") return true;
    bool invited = false;
    for (std::string_view invitation : kInvitations) invited = invited || words[0] == invitation;
    if (!invited) return false;
    for (size_t i = 1; i < words.size(); ++i) {
        for (std::string_view network : kNetworks)
            if (words[i] == network) return true;
        // The network once called Twitter is a bare "X": "no X", "do X".
        if (words[i] == "x" && (words[i - 1] == "no" || words[i - 1] == "do")) return true;
    }
    return false;
}

// True when every visible text inside the element is inside links, and there is some: the list
// of titles under a "Leia também".
bool linksOnly(const xmlNode* element, bool insideLink, bool& sawLink, int& nodes) {
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (--nodes < 0) return false;
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            if (isBlankText(view(child->content))) continue;
            if (!insideLink) return false;
            sawLink = true;
        } else if (child->type == XML_ELEMENT_NODE && roleOf(child) != Role::Skip) {
            if (!linksOnly(child, insideLink || roleOf(child) == Role::Link, sawLink, nodes)) return false;
        }
    }
    return true;
}

bool isLinkList(const xmlNode* element) {
    std::string_view name = view(element->name);
    if (name == "ul" || name == "ol" || name == "br") return true;
    bool sawLink = false;
    int nodes = kLinkListNodes;
    // The element itself may be the link.
    return linksOnly(element, roleOf(element) == Role::Link, sawLink, nodes) && sawLink;
}

// "www.example.com/" and "https://example.com" are the same address to a listener.
std::string comparableAddress(std::string_view address) {
    std::string s = lowerAscii(collapseBlanks(address));
    for (std::string_view prefix : {"mailto:", "https://", "http://", "www."})
        if (std::string_view(s).substr(0, prefix.size()) == prefix) s.erase(0, prefix.size());
    while (!s.empty() && s.back() == '/') s.pop_back();
    return s;
}

// The paragraphs of the text being made. Text is collapsed as it comes; a paragraph holds lines.
class TextBuilder {
public:
    struct Mark {
        size_t lineBreaks, offset;
    };

    void addText(std::string_view text) { appendCollapsed(line_, pendingBlank_, text); }
    void separate() { pendingBlank_ = true; }

    // A line break ends the line; two in a row (an empty line) end the paragraph.
    void lineBreak() {
        if (!line_.empty()) {
            endLine();
        } else if (!lines_.empty()) {
            paragraphBreak();
        }
    }

    void paragraphBreak() {
        endLine();
        if (lines_.empty()) return;
        if (!text_.empty()) text_ += "\n\n";
        for (size_t i = 0; i < lines_.size(); ++i) text_ += (i == 0 ? "" : "\n") + lines_[i];
        lines_.clear();
    }

    Mark mark() const { return {lineBreaks_, line_.size()}; }

    // After a link's text: its address, when the link stayed on one line, has text, and the
    // text is not already the address.
    void addAddress(Mark start, const std::string& address) {
        if (start.lineBreaks != lineBreaks_ || start.offset > line_.size()) return;
        std::string linkText = collapseBlanks(std::string_view(line_).substr(start.offset));
        if (linkText.empty() || comparableAddress(linkText) == comparableAddress(address)) return;
        line_ += " [" + address + "]";
    }

    std::string finish() {
        paragraphBreak();
        return std::move(text_);
    }

private:
    void endLine() {
        pendingBlank_ = false;
        if (line_.empty()) return;
        lines_.push_back(std::move(line_));
        line_.clear();
        ++lineBreaks_;
    }

    std::string text_;
    std::vector<std::string> lines_;
    std::string line_;
    bool pendingBlank_ = false;
    size_t lineBreaks_ = 0;
};

class HtmlWalker {
public:
    HtmlWalker(TextBuilder& out, std::string_view baseUrl) : out_(out), base_(collapseBlanks(baseUrl)) {}

    void walkChildren(const xmlNode* parent, int depth) {
        bool afterRelatedHeading = false;  // the lists and links under it go too
        for (const xmlNode* child = parent->children; child != nullptr; child = child->next) {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                if (afterRelatedHeading && isBlankText(view(child->content))) continue;
                afterRelatedHeading = false;
                out_.addText(view(child->content));
                continue;
            }
            if (child->type != XML_ELEMENT_NODE) continue;
            if (afterRelatedHeading && isLinkList(child)) continue;
            afterRelatedHeading = false;
            Role role = roleOf(child);
            if (role == Role::Skip || isMarkedRelated(child)) continue;
            if (role == Role::Block) {
                if (std::optional<std::string> key = shortParagraphKey(child)) {
                    if (isRelatedHeading(*key)) {
                        afterRelatedHeading = true;
                        continue;
                    }
                    if (isSocialCall(*key)) continue;
                }
            }
            walkElement(child, role, depth + 1);
        }
    }

private:
    void walkElement(const xmlNode* element, Role role, int depth) {
        if (depth > kMaxHtmlDepth) return;
        switch (role) {
            case Role::Skip:
                return;
            case Role::Break:
                out_.lineBreak();
                return;
            case Role::Block:
                out_.paragraphBreak();
                walkChildren(element, depth);
                out_.paragraphBreak();
                return;
            case Role::Cell:
                out_.separate();
                walkChildren(element, depth);
                out_.separate();
                return;
            case Role::Link: {
                TextBuilder::Mark start = out_.mark();
                walkChildren(element, depth);
                std::string address = absoluteAddress(attribute(element, "href"));
                if (!address.empty()) out_.addAddress(start, address);
                return;
            }
            case Role::Inline:
                walkChildren(element, depth);
                return;
        }
    }

    // The link's address when it leads somewhere a listener can go: http, https or mail;
    // relative addresses are resolved against the article's own address when it is known.
    std::string absoluteAddress(std::string_view href) const {
        std::string address = collapseBlanks(href);
        if (address.empty() || address.front() == '#') return {};
        if (!startsWithNoCase(address, "http://") && !startsWithNoCase(address, "https://") &&
            !startsWithNoCase(address, "mailto:")) {
            if (base_.empty()) return {};
            XmlCharPtr built(xmlBuildURI(xml(address.c_str()), xml(base_.c_str())));
            address = std::string(view(built.get()));
            if (!startsWithNoCase(address, "http://") && !startsWithNoCase(address, "https://")) return {};
        }
        return address;
    }

    TextBuilder& out_;
    std::string base_;
};

}  // namespace

std::string htmlToText(std::string_view html, std::string_view baseUrl) {
    if (isBlankText(html) || html.size() > INT_MAX) return {};
    xmlInitParser();
    QuietErrors quiet;
    DocPtr doc(htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8", kHtmlOptions));
    if (!doc) return {};
    TextBuilder out;
    HtmlWalker(out, baseUrl).walkChildren(reinterpret_cast<const xmlNode*>(doc.get()), 0);
    return out.finish();
}

}  // namespace sintonix
