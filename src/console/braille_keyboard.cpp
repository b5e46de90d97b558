// The braille keyboard's chord machine: dots gathered while keys are held, a character when the
// last of them is released, and the number and capital signs of mode 2.
#include "console/braille_keyboard.h"

#include <array>

#include "console/speech_front.h"

namespace parlendo {

namespace {

constexpr int kSpaceBit = 64;

// The cells of the keyboard, written as their dots and their Windows-1252 character.
struct Cell {
    std::string_view dots;
    uint8_t character;
};

// clang-format off
constexpr Cell kCells[64] = {
    {"", ' '},         {"1", 'a'},        {"2", ','},       {"12", 'b'},
    {"3", '\''},       {"13", 'k'},       {"23", ';'},      {"123", 'l'},
    {"4", '^'},        {"14", 'c'},       {"24", 'i'},      {"124", 'f'},
    {"34", 0xED},      {"134", 'm'},      {"234", 's'},     {"1234", 'p'},     // í
    {"5", '~'},        {"15", 'e'},       {"25", ':'},      {"125", 'h'},
    {"35", '*'},       {"135", 'o'},      {"235", '!'},     {"1235", 'r'},
    {"45", 0xAC},      {"145", 'd'},      {"245", 'j'},     {"1245", 'g'},     // ¬
    {"345", 0xE3},     {"1345", 'n'},     {"2345", 't'},    {"12345", 'q'},    // ã
    {"6", 0xFD},       {"16", 0xE2},      {"26", '?'},      {"126", 0xEA},     // ý â ê
    {"36", '-'},       {"136", 'u'},      {"236", '"'},     {"1236", 'v'},
    {"46", '{'},       {"146", 0xEE},     {"246", 0xF5},    {"1246", 0xE0},    // î õ à
    {"346", 0xF3},     {"1346", 'x'},     {"2346", 0xE8},   {"12346", 0xE7},   // ó è ç
    {"56", '$'},       {"156", 0xFB},     {"256", 0xFF},    {"1256", 0xFC},    // û ÿ ü
    {"356", '}'},      {"1356", 'z'},     {"2356", '='},    {"12356", 0xE1},   // á
    {"456", '_'},      {"1456", 0xF4},    {"2456", 'w'},    {"12456", 0xEF},   // ô ï
    {"3456", '#'},     {"13456", 'y'},    {"23456", 0xFA},  {"123456", 0xE9},  // ú é
};
// clang-format on

constexpr int dotBits(std::string_view dots) {
    int bits = 0;
    for (char d : dots) bits |= 1 << (d - '1');
    return bits;
}

constexpr std::array<uint8_t, 64> buildTable() {
    std::array<uint8_t, 64> table{};
    for (const Cell& cell : kCells) table[dotBits(cell.dots)] = cell.character;
    return table;
}

constexpr std::array<uint8_t, 64> kTable = buildTable();

// The dot of a chord key: F D S for dots 1 2 3, J K L for dots 4 5 6; the space bar.
int chordBit(char key) {
    switch (key) {
        case 'F':
            return 1;
        case 'D':
            return 2;
        case 'S':
            return 4;
        case 'J':
            return 8;
        case 'K':
            return 16;
        case 'L':
            return 32;
        case ' ':
            return kSpaceBit;
        default:
            return 0;
    }
}

bool isLetterKey(char key) { return key >= 'A' && key <= 'Z'; }

bool isLowerLetter(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7); }

}  // namespace

int BrailleKeyboard::modeFromSetting(std::string_view setting) {
    if (setting.empty()) return kOff;
    const int bits = static_cast<unsigned char>(setting[0]) & 3;
    return bits == 3 ? 1 : bits;
}

uint8_t BrailleKeyboard::cellCharacter(int dots) { return kTable[dots & 63]; }

void BrailleKeyboard::setMode(int mode) {
    const int was = mode_;
    mode_ = mode < 0 || mode > 2 ? kOff : mode;
    chord_ = held_ = 0;
    clearSigns();
    if (mode_ == kOff) {
        if (was != kOff) speech_.playModeTone(100);
        return;
    }
    speech_.playModeTone(800);
    speech_.playModeTone(mode_ == 1 ? 1600 : 400);
}

bool BrailleKeyboard::swallowsCharacter(uint8_t c) const {
    return on() && (c == ' ' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

bool BrailleKeyboard::keyDown(char key, bool ctrl) {
    const int bit = chordBit(key);
    if (!on() || ctrl || bit == 0) return false;
    chord_ |= bit;
    held_ |= bit;
    return true;
}

std::optional<uint8_t> BrailleKeyboard::keyUp(char key, bool ctrl) {
    if (!on()) return std::nullopt;
    if (ctrl || !(isLetterKey(key) || key == ' ')) {
        clearSigns();
        return std::nullopt;
    }
    if (const int bit = chordBit(key)) {
        held_ &= ~bit;
        if (held_ != 0) return std::nullopt;
    } else if (held_ != 0) {
        return std::nullopt;
    }
    return emit();
}

std::optional<uint8_t> BrailleKeyboard::emit() {
    const int chord = chord_;
    chord_ = 0;
    if (chord & kSpaceBit) {
        clearSigns();
        if (chord == kSpaceBit) return uint8_t{' '};
        // The space bar with dots types a control code. A 0 would start an extended key in the
        // queue, so a chord that gives it types nothing.
        const uint8_t code = kTable[chord & 63] & 31;
        if (code == 0) return std::nullopt;
        return code;
    }
    const uint8_t c = kTable[chord];
    if (mode_ == 2) return applySigns(c);
    return c;
}

std::optional<uint8_t> BrailleKeyboard::applySigns(uint8_t c) {
    if (c == '\'')
        c = '.';
    else if (c == 0xFB)
        c = '@';  // û
    if (number_) {
        if ((c >= 'a' && c <= 'i') || c == 'j') {
            capital_ = false;
            return static_cast<uint8_t>(c == 'j' ? '0' : '1' + (c - 'a'));
        }
        if (c == '~') {
            number_ = false;
            return std::nullopt;
        }
    }
    if (c == '#') {
        number_ = true;
        return std::nullopt;
    }
    if (c == '{') {
        // One capital sign for the next letter; two in a row lock the capitals.
        if (capital_) capitalLock_ = true;
        capital_ = true;
        return std::nullopt;
    }
    if ((capital_ || capitalLock_) && isLowerLetter(c)) c = static_cast<uint8_t>(c - 32);
    capital_ = false;
    return c;
}

}  // namespace parlendo
