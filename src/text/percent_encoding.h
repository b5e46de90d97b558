// Percent-encoding of the bytes of a URL's parts, for the download commands and the directory
// program's queries.
#pragma once

#include <string>
#include <string_view>

namespace parlendo::text {

// Every byte but A-Z, a-z, 0-9, "-", ".", "_", "~" as "%" and two upper-case hex digits.
std::string percentEncode(std::string_view text);
// Every byte for which `encoded` is true written as %XX (upper-case hexadecimal).
std::string percentEncodeWhere(std::string_view text, bool (*encoded)(unsigned char));

}  // namespace parlendo::text
