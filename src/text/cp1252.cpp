// Windows-1252 text: conversion to and from UTF-8, the upper-casing rule and small helpers.
#include "text/cp1252.h"

#include <cstdint>

namespace parlendo::text {

namespace {

// The characters of bytes 0x80-0x9F. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the same code.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t toCodePoint(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) return kHighTable[b - 0x80];
    return b;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        // Every character of the table lies in the Basic Multilingual Plane.
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

Utf8Prefix decodeUtf8Prefix(std::string_view s, size_t i, char32_t& cp, size_t& length) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        cp = b0;
        length = 1;
        return Utf8Prefix::Complete;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0)
            lo = 0xA0;  // overlong below U+0800
        else if (b0 == 0xED)
            hi = 0x9F;  // surrogates U+D800-U+DFFF
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0)
            lo = 0x90;  // overlong below U+10000
        else if (b0 == 0xF4)
            hi = 0x8F;  // above U+10FFFF
    } else {
        return Utf8Prefix::Invalid;  // continuation byte, C0/C1 overlong leads, F5-FF
    }
    char32_t v = b0 & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        if (i + k >= s.size()) return Utf8Prefix::Incomplete;
        unsigned char b = byte(i + k);
        if (k == 1 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return Utf8Prefix::Invalid;
        v = (v << 6) | (b & 0x3F);
    }
    cp = v;
    length = len;
    return Utf8Prefix::Complete;
}

size_t decodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    size_t length = 0;
    return decodeUtf8Prefix(s, i, cp, length) == Utf8Prefix::Complete ? length : 0;
}

char32_t cp1252CodePoint(char b) { return toCodePoint(static_cast<unsigned char>(b)); }

int cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] == cp) return 0x80 + i;
    return -1;
}

std::string upperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperChar(c);
    return out;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

bool isValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t n = decodeUtf8(s, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string cp1252ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) appendUtf8(out, toCodePoint(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp;
        size_t n = decodeUtf8(s, i, cp);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        int b = cp1252Byte(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
        i += n;
    }
    return out;
}

std::string externalToCp1252(std::string_view s) {
    if (isValidUtf8(s)) return utf8ToCp1252(s);
    return std::string(s);
}

}  // namespace parlendo::text
