// News feeds (RSS 2.0, RSS 0.9x, RDF/RSS 1.0 and Atom) and their articles as plain text, through libxml2.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// htmlToText, the article's HTML as plain text, comes with the feeds.
#include "sources/article_text.h"

namespace sintonix {

// One item of a feed. Every field is UTF-8, trimmed, with its runs of blanks made one (html
// excepted). The date reads "dd/mm/aaaa às HHhMM" when the feed's date could be read, else it is
// the text as the feed wrote it; html is the article's HTML: content:encoded when the item has
// it, else the description.
struct NewsItem {
    std::string title, link, date, author, html;
};

struct NewsFeed {
    std::string title;
    std::vector<NewsItem> items;
};

// nullopt when the bytes are not a well-formed RSS 2.0 (or RSS 0.9x, RDF/RSS 1.0, Atom) feed.
// No external entity or DTD is ever loaded and no entity of the document's own is expanded.
// Items with neither a title nor a link are left out.
std::optional<NewsFeed> parseNewsFeed(std::string_view bytes);

// An RFC 822 date ("Tue, 08 Dec 2026 10:30:00 -0300") or an ISO 8601 one ("2026-12-08T10:30:00Z")
// as "08/12/2026 às 10h30", the time as written (no zone conversion); a date without a time gives
// only "08/12/2026". Anything else comes back trimmed, as given.
std::string formatNewsDate(std::string_view date);

// The whole article, line by line: the title, the date, "Autor: X" when known, an empty line, the
// text, then the footer crediting the source (the feed's title, or the link's host when the feed
// has none) and giving the article's address.
std::vector<std::string> articleLines(const NewsItem& item, const std::string& feedTitle);

}  // namespace sintonix
