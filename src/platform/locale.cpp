// The user's decimal separator, asked of the environment's locale without changing the
// program's own (whose numbers stay in the C conventions).
#include "platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <string>

#include "text/cp1252.h"

namespace parlendo {

char decimalSeparator() {
    locale_t user = ::newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = ::nl_langinfo_l(RADIXCHAR, user);
    std::string separator = text::utf8ToCp1252(radix ? radix : ".");
    ::freelocale(user);
    if (separator.size() != 1 || separator[0] == '?') return '.';
    return separator[0];
}

}  // namespace parlendo
