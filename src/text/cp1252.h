// Windows-1252 text: conversion to and from UTF-8, the upper-casing rule and small helpers.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace parlendo::text {

// A byte of code 32 or below counts as a blank wherever the language trims or splits.
inline bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The language's upper-casing rule: bytes 97-122 and 224-255 are lowered by 32 places;
// every other byte stays as it is. Every executed line's keyword goes through it, so it is a
// table: one load, no branch.
inline constexpr std::array<unsigned char, 256> kUpperTable = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned u = 0; u < 256; ++u)
        t[u] = static_cast<unsigned char>((u >= 97 && u <= 122) || u >= 224 ? u - 32 : u);
    return t;
}();

inline char upperChar(char c) { return static_cast<char>(kUpperTable[static_cast<unsigned char>(c)]); }

std::string upperCase(std::string_view s);
// ASCII letters only lowered: for protocol words and names (hosts, tags, attributes) in UTF-8.
std::string lowerAscii(std::string_view s);

// Comparisons of a text, upper-cased by the rule above, with an upper-case word, without
// building the upper-cased copy: keywords, option words and sub-command words.
inline bool startsWithUpper(std::string_view s, std::string_view upperPrefix) {
    if (s.size() < upperPrefix.size()) return false;
    for (size_t i = 0; i < upperPrefix.size(); ++i)
        if (upperChar(s[i]) != upperPrefix[i]) return false;
    return true;
}

inline bool equalsUpper(std::string_view s, std::string_view upperWord) {
    return s.size() == upperWord.size() && startsWithUpper(s, upperWord);
}

// True, removing it, when the text starts with the word in any letter case.
inline bool takeUpperPrefix(std::string_view& s, std::string_view upperWord) {
    if (!startsWithUpper(s, upperWord)) return false;
    s.remove_prefix(upperWord.size());
    return true;
}

// Two texts equal when both are upper-cased.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i])) return false;
    return true;
}

// Removes codes 32 and below from both ends. Inline: every executed line is trimmed several times.
inline std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}
inline std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}
inline std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

// True when the bytes are well-formed UTF-8 (shortest forms, no surrogates).
bool isValidUtf8(std::string_view s);
// Decodes the UTF-8 character at s[i]: its length (1-4), with cp set, or 0 when the bytes there
// are not a well-formed character (overlong form, surrogate, above U+10FFFF, stray or missing
// continuation byte).
size_t decodeUtf8(std::string_view s, size_t i, char32_t& cp);
// The same for bytes that arrive in pieces (a terminal, a pipe): Complete, with cp and length
// set, for a well-formed character; Incomplete when the bytes from s[i] to the end begin one
// that the end cuts, so that more bytes may complete it; Invalid when no bytes can.
enum class Utf8Prefix { Complete, Incomplete, Invalid };
Utf8Prefix decodeUtf8Prefix(std::string_view s, size_t i, char32_t& cp, size_t& length);
// The character a Windows-1252 byte stands for; the five bytes Windows-1252 leaves undefined
// stand for the C1 control of the same code.
char32_t cp1252CodePoint(char b);
// The Windows-1252 byte of a character, or -1 when Windows-1252 has none.
int cp1252Byte(char32_t cp);

// Windows-1252 bytes to UTF-8. The five bytes Windows-1252 leaves undefined map to the
// C1 control characters of the same code, as the Windows conversion does.
std::string cp1252ToUtf8(std::string_view s);

// UTF-8 to Windows-1252. A character with no Windows-1252 byte becomes "?".
// The input must be valid UTF-8; invalid sequences are converted byte by byte as "?".
std::string utf8ToCp1252(std::string_view s);

// For text arriving from outside (script files, typed input): valid UTF-8 is converted,
// anything else is taken as Windows-1252 already.
std::string externalToCp1252(std::string_view s);

}  // namespace parlendo::text
