// UTF-8 text from outside (station names, news titles) made into plain Windows-1252 for the
// tuner's list files and its voice.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlendo::text {

// Characters Windows-1252 has are kept, except the curly quotes (" and '), the dashes (-) and
// the ellipsis ("..."); letters with marks Windows-1252 lacks lose their marks ("Ōsaka" becomes
// "Osaka"); combining marks and other characters (CJK, Cyrillic, emoji) are dropped; controls,
// line breaks, tabs and the other blanks become one blank; invalid UTF-8 bytes are dropped; the
// result is trimmed. With maxBytes > 0 a longer result is cut, at a blank when one lies in the
// last fifth, and ends in "...", all within maxBytes.
std::string utf8ToCp1252Plain(std::string_view utf8, size_t maxBytes = 0);

}  // namespace parlendo::text
