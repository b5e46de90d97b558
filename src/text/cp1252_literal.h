// Texts for the user written in the sources as UTF-8 and carried in the program as Windows-1252,
// converted while compiling: "Não foi possível"_cp is a const char* to the Windows-1252 bytes,
// whatever compiler builds it (code outside namespace parlendo says `using parlendo::operator""_cp`). A byte
// that is not part of valid UTF-8 (an escape such as "\xE1") is kept as it is; a character Windows-1252 lacks
// stops the build.
#pragma once

#include <array>
#include <cstddef>

namespace parlendo {

namespace literal {

// The Windows-1252 byte of the code points 0x80-0x9F's characters (the rest of 0xA0-0xFF is
// Latin-1); 0 where Windows-1252 has none.
constexpr int cp1252Of(unsigned codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<int>(codePoint);
    constexpr unsigned high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                   0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == codePoint) return 0x80 + i;
    return -1;
}

// A UTF-8 literal held as a template argument.
template <std::size_t N>
struct Utf8 {
    char bytes[N]{};
    consteval Utf8(const char (&s)[N]) {
        for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
    }
};

// Walks the literal: calls put(byte) for each Windows-1252 byte.
template <std::size_t N, typename Put>
constexpr void convert(const Utf8<N>& s, Put put) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s.bytes[i]); };
    const std::size_t n = N - 1;  // without the closing zero
    for (std::size_t i = 0; i < n;) {
        unsigned char c = at(i);
        int length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
        if (c < 0x80 || length == 1 || i + length > n) {
            put(static_cast<char>(c));
            ++i;
            continue;
        }
        unsigned code = c & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            if ((at(i + k) & 0xC0) != 0x80) valid = false;
            code = code << 6 | (at(i + k) & 0x3F);
        }
        if (!valid) {
            put(static_cast<char>(c));
            ++i;
            continue;
        }
        int b = cp1252Of(code);
        if (b < 0) throw "a character that Windows-1252 does not have";
        put(static_cast<char>(b));
        i += static_cast<std::size_t>(length);
    }
}

template <Utf8 S>
consteval std::size_t convertedSize() {
    std::size_t size = 0;
    convert(S, [&](char) { ++size; });
    return size;
}

template <Utf8 S>
consteval auto converted() {
    std::array<char, convertedSize<S>() + 1> out{};
    std::size_t i = 0;
    convert(S, [&](char c) { out[i++] = c; });
    return out;
}

template <Utf8 S>
inline constexpr auto kStored = converted<S>();

}  // namespace literal

template <literal::Utf8 S>
constexpr const char* operator""_cp() {
    return literal::kStored<S>.data();
}

}  // namespace parlendo
