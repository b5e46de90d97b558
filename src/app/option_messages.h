// The messages both programs (parlendo and sintonix-fontes) give about their command line.
#pragma once

#include <string_view>

namespace parlendo {

// Followed by the option's name and ".".
inline constexpr std::string_view kOptionWithoutValue = "falta o valor da opção ";
// Followed by the argument as given and ".".
inline constexpr std::string_view kUnknownOption = "opção desconhecida: ";

}  // namespace parlendo
