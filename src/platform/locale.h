// The user's number conventions, from the locale settings of the environment.
#pragma once

namespace parlendo {

// The decimal separator of the user's LC_NUMERIC locale (LC_ALL, LC_NUMERIC, LANG), as one
// Windows-1252 byte; "." when the locale is unknown or its separator has no such byte.
char decimalSeparator();

}  // namespace parlendo
