// The HTML of a news article as plain text, through libxml2's HTML parser.
#pragma once

#include <string>
#include <string_view>

namespace sintonix {

// The HTML of an article as plain text: block elements make paragraphs, separated by one empty
// line; a line break stays a line break; blanks are collapsed; a link keeps its address as
// "text [address]" when the text is not the address. Scripts, images, forms, embedded frames,
// blocks of related news and calls to follow or share on social networks are left out. A
// relative link is made absolute against baseUrl when one is given, and dropped otherwise.
std::string htmlToText(std::string_view html, std::string_view baseUrl = {});

}  // namespace sintonix
