// The messages both programs (parlendo and sintonix-fontes) give about their command line, in
// Windows-1252 (sintonix-fontes writes them as UTF-8).
#pragma once

#include <string_view>

#include "text/cp1252_literal.h"

namespace parlendo {

// Followed by the option's name and ".".
inline constexpr std::string_view kOptionWithoutValue = "falta o valor da opção "_cp;
// Followed by the argument as given and ".".
inline constexpr std::string_view kUnknownOption = "opção desconhecida: "_cp;

}  // namespace parlendo
