// Up to eight bytes of a text read as one machine word, for the checks every executed line makes:
// where its first blank is, whether it starts with a given word, how many digits lead it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace parlendo::text {

// Byte i of a text is bits 8i to 8i + 7 of its word.
static_assert(std::endian::native == std::endian::little);

inline constexpr size_t kWordBytes = 8;
inline constexpr uint64_t kEveryByte = 0x0101010101010101;
inline constexpr uint64_t kHighBits = 0x8080808080808080;
// Setting bit 5 of a byte folds letter case: "A" becomes "a", "Ã" becomes "ã".
inline constexpr uint64_t kFoldBits = 0x2020202020202020;

// The low `n` bytes of a word (n from 0 to 8): a table, as a shift by 64 places is not defined.
inline constexpr uint64_t kLowBytes[kWordBytes + 1] = {
    0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFF, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF,
};
constexpr uint64_t lowBytes(size_t n) { return kLowBytes[n < kWordBytes ? n : kWordBytes]; }

// The first eight bytes of a text, or all of a shorter one with zero bytes after it.
[[gnu::always_inline]] inline uint64_t loadWord(const char* p, size_t size) {
    uint64_t w;
    if (size >= kWordBytes) {
        std::memcpy(&w, p, kWordBytes);
        return w;
    }
    if (size >= 4) {
        // Two loads that overlap in the middle, where they agree.
        uint32_t front, back;
        std::memcpy(&front, p, 4);
        std::memcpy(&back, p + size - 4, 4);
        return front | (uint64_t{back} << (8 * (size - 4)));
    }
    w = 0;
    for (size_t i = 0; i < size; ++i) w |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    return w;
}

// The index of the first byte equal to `byte` among the eight of a word; 8 when there is none.
[[gnu::always_inline]] inline size_t firstByteEqual(uint64_t w, unsigned char byte) {
    const uint64_t x = w ^ (kEveryByte * byte);
    // A zero byte of x marks its high bit here. The borrow of the subtraction can only mark bytes
    // above the first zero byte, never below it, so the lowest mark is exact.
    const uint64_t zeros = (x - kEveryByte) & ~x & kHighBits;
    return zeros ? static_cast<size_t>(std::countr_zero(zeros)) / 8 : kWordBytes;
}

// The number of decimal digits a word starts with (0 to 8).
[[gnu::always_inline]] inline size_t leadingDigits(uint64_t w) {
    // For bytes below 128 the additions cannot carry into the next byte: the high bit of each
    // byte then says "at least '0'" and "above '9'".
    const uint64_t low7 = w & ~kHighBits;
    const uint64_t atLeastZero = low7 + kEveryByte * (0x80 - '0');
    const uint64_t aboveNine = low7 + kEveryByte * (0x80 - '9' - 1);
    const uint64_t notDigit = (~atLeastZero | aboveNine | w) & kHighBits;
    return notDigit ? static_cast<size_t>(std::countr_zero(notDigit)) / 8 : kWordBytes;
}

// The value of the first `n` bytes of a word (1 to 8), which are decimal digits.
[[gnu::always_inline]] inline uint32_t digitsValue(uint64_t w, size_t n) {
    // The digits are moved to the top of the word behind leading zeros and combined in pairs,
    // fours and eights.
    uint64_t v = (w - kEveryByte * '0') << (8 * (kWordBytes - n));
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
    return static_cast<uint32_t>(v);
}

// A word of up to eight bytes (letters A-Z, upper-case accented letters 192-223, blanks) that a
// text may start with in any letter case. For these letters folding joins exactly the bytes the
// language's upper-casing rule joins, so one comparison of words, folded where the word has a
// letter, does the work of startsWithUpper. A blank is compared as it is: folding would take a
// zero byte for it.
class FoldedWord {
public:
    consteval explicit FoldedWord(std::string_view upperWord) : size_(upperWord.size()) {
        if (upperWord.empty() || upperWord.size() > kWordBytes) throw "a folded word has 1 to 8 bytes";
        for (size_t i = 0; i < upperWord.size(); ++i) {
            const unsigned char u = static_cast<unsigned char>(upperWord[i]);
            uint64_t fold = 0x20;
            if (u == ' ')
                fold = 0;
            else if (!((u >= 'A' && u <= 'Z') || (u >= 192 && u <= 223)))
                throw "a folded word holds letters and blanks only";
            fold_ |= fold << (8 * i);
            folded_ |= uint64_t{static_cast<unsigned char>(u | fold)} << (8 * i);
        }
    }
    size_t size() const { return size_; }
    // True when the text starts with the word, letter case aside.
    [[gnu::always_inline]] bool startsOf(std::string_view s) const {
        if (s.size() < size_) return false;
        return ((loadWord(s.data(), s.size()) | fold_) & lowBytes(size_)) == folded_;
    }

private:
    size_t size_;
    uint64_t fold_ = 0;    // bit 5 of each letter's byte
    uint64_t folded_ = 0;  // the word, letters folded
};

}  // namespace parlendo::text
