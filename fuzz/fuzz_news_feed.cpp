// Fuzz target for the news feed reader: any bytes as a feed, every item's article, and the bytes
// themselves as an article's HTML.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sources/news_feed.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_news_feed: %s\n", what);
    std::abort();
}

// The footer closes every article: a rule, an empty line and the credit, then the address.
void checkArticle(const std::vector<std::string>& lines, const sintonix::NewsItem& item) {
    size_t footer = item.link.empty() ? 3 : 4;
    if (lines.size() < footer) fail("an article without its footer");
    if (lines[lines.size() - footer] != std::string(30, '-')) fail("the footer's rule is missing");
    if (!item.link.empty() && lines.back() != "Endereço da matéria: " + item.link)
        fail("the article's address is not its last line");
    for (const std::string& line : lines)
        if (line.find('\n') != std::string::npos) fail("a line with a line break inside");
}

void checkText(const std::string& text) {
    if (text.find("\n\n\n") != std::string::npos) fail("paragraphs apart by more than one empty line");
    if (!text.empty() &&
        (text.front() == '\n' || text.back() == '\n' || text.front() == ' ' || text.back() == ' '))
        fail("text not trimmed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::optional<sintonix::NewsFeed> feed = sintonix::parseNewsFeed(bytes)) {
        for (const sintonix::NewsItem& item : feed->items) {
            if (item.title.empty() && item.link.empty()) fail("an item with neither title nor link");
            checkArticle(sintonix::articleLines(item, feed->title), item);
            checkArticle(sintonix::articleLines(item, ""), item);
        }
    }
    checkText(sintonix::htmlToText(bytes));
    checkText(sintonix::htmlToText(bytes, "https://agenciabrasil.ebc.com.br/economia/noticia/"));
    return 0;
}
