// The screen review mode: a review cursor moved over the console grid by row, word, character
// and field, reading what it passes; searches, ranges read by letter pairs, a copy of the screen.
#include "console/screen_review.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/console_grid.h"
#include "console/key_queue.h"
#include "console/line_editor.h"
#include "console/speech_front.h"
#include "interp/interpreter.h"
#include "platform/clipboard.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

constexpr int kColumns = ConsoleGrid::kColumns;
constexpr int kRows = ConsoleGrid::kRows;
// The longest text a search asks for: a row.
constexpr size_t kLongestSearch = kColumns;

// Ordinary keys.
constexpr int kCtrlC = 3, kBackspace = 8, kTab = 9, kCtrlK = 11, kCtrlL = 12, kEnter = 13, kEsc = 27,
              kSpace = 32;
// Extended codes.
constexpr int kF1 = 59, kF5 = 63, kF6 = 64, kHome = 71, kUp = 72, kPageUp = 73, kLeft = 75, kRight = 77,
              kEnd = 79, kDown = 80, kPageDown = 81, kCtrlF1 = 94, kCtrlF5 = 98, kCtrlLeft = 115,
              kCtrlRight = 116, kCtrlPageDown = 118, kCtrlPageUp = 132;

struct Key {
    bool extended = false;
    int code = 0;
};

// Characters that end a field whatever their colour: the marks between a label and its value
// and the line-drawing symbols of Windows-1252 (the accented capitals after them are letters).
bool isFieldSeparator(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return c == '!' || c == ':' || c == '?' || c == '|' || (u >= 176 && u <= 191);
}

bool isWordPart(char c) { return isWordLetter(c) || text::isDigit(c); }

class ScreenReview {
public:
    explicit ScreenReview(Interpreter& in)
        : in_(in), console_(in.services.console), keys_(in.services.keys), speech_(in.services.speech) {}
    bool run();

private:
    char cell(int row, int column) const { return console_.cellChar(row, column); }
    bool blankCell(int row, int column) const { return text::isBlank(cell(row, column)); }
    int lastNonBlank(int row) const;
    std::optional<Key> readReviewKey();
    // Handles one key; false when no key will come any more.
    bool handle(const Key& k);
    bool ordinaryKey(int code);
    bool extendedKey(int code);
    void keepInside();

    // Speaks the cells of a row from one column to another (inclusive), word by word; false
    // when a key interrupted the reading.
    bool readCells(int row, int from, int to);
    // Speaks a range from (row1, column1) to (row2, column2) inclusive, a click between rows;
    // false when it holds nothing to read.
    bool readRange(int row1, int column1, int row2, int column2);
    bool readRow(int row) { return readRange(row, 1, row, kColumns); }
    // Reading asked for by the user: a beep says there is nothing to read.
    void readOrBeep(int row1, int column1, int row2, int column2) {
        if (!readRange(row1, column1, row2, column2)) speech_.beep();
    }
    // The word that starts at a column: its first character and the letters and digits after
    // it, or a run of one repeated symbol. Gives the column after it.
    int wordEnd(int row, int column) const;
    // The words of a row, as reading finds them; `end` is the column after the word.
    struct Span {
        int start, end;
    };
    std::vector<Span> words(int row) const;
    void speakWord(const std::string& word);
    // The field around a column: cells of the same colour that are not separators. Nothing when
    // the column holds a separator.
    std::optional<std::pair<int, int>> fieldAround(int column) const;

    void nextWord();
    void previousWord();
    void readWordHere();
    void nextField();
    bool letterPair(int first);
    void copyScreen();
    bool search(bool askForText);
    bool goToRowAndColumn();
    void goToFirstLetter();
    void goToLastLetter();

    Interpreter& in_;
    ConsoleGrid& console_;
    KeyQueue& keys_;
    SpeechFront& speech_;
    int row_ = 1, column_ = 1;
};

int ScreenReview::lastNonBlank(int row) const {
    for (int c = kColumns; c >= 1; --c)
        if (!blankCell(row, c)) return c;
    return 0;
}

bool ScreenReview::run() {
    const int savedColumn = console_.cursorColumn();
    const int savedRow = console_.cursorRow();
    row_ = savedRow;
    column_ = savedColumn;
    speech_.beep();
    for (;;) {
        console_.gotoXY(column_, row_);
        console_.drawMagnifiedLine(console_.rowText(row_), column_);
        std::optional<Key> key = readReviewKey();
        if (!key) break;
        if (!key->extended && key->code == kEsc) {
            speech_.beep();
            speech_.beep();
            console_.gotoXY(savedColumn, savedRow);
            return true;
        }
        if (!handle(*key)) break;
        keepInside();
    }
    console_.gotoXY(savedColumn, savedRow);
    return false;
}

std::optional<Key> ScreenReview::readReviewKey() {
    std::optional<uint8_t> b = keys_.readKey();
    if (!b) return std::nullopt;
    speech_.stopSpeech();
    if (*b != 0) return Key{false, *b};
    std::optional<uint8_t> code = keys_.readKey();
    if (!code) return std::nullopt;
    return Key{true, *code};
}

void ScreenReview::keepInside() {
    const int row = std::clamp(row_, 1, kRows);
    const int column = std::clamp(column_, 1, kColumns);
    if (row == row_ && column == column_) return;
    row_ = row;
    column_ = column;
    speech_.beep();
}

bool ScreenReview::handle(const Key& k) { return k.extended ? extendedKey(k.code) : ordinaryKey(k.code); }

bool ScreenReview::ordinaryKey(int code) {
    switch (code) {
        case kBackspace:
            return extendedKey(kLeft);
        case kTab:
            nextField();
            break;
        case kEnter:
            ++row_;
            column_ = 1;
            speech_.click();
            break;
        case kSpace:
            readOrBeep(row_, 1, row_, kColumns);
            break;
        case kCtrlK:
        case kCtrlL:
            speech_.speak(std::to_string(row_));
            speech_.speak(std::to_string(column_));
            break;
        case kCtrlC:
            copyScreen();
            break;
        default: {
            const char upper = text::upperChar(static_cast<char>(code));
            if (upper == 'I' || upper == 'T' || upper == 'L' || upper == 'F') return letterPair(upper);
            speech_.beep();
            speech_.click();
            speech_.beep();
        }
    }
    return true;
}

bool ScreenReview::extendedKey(int code) {
    switch (code) {
        case kUp:
        case kDown: {
            const int row = row_ + (code == kUp ? -1 : 1);
            if (row < 1 || row > kRows) {
                speech_.beep();
                break;
            }
            row_ = row;
            column_ = 1;
            if (code == kDown) speech_.click();
            readRow(row_);
            break;
        }
        case kPageUp:
        case kPageDown:
            row_ = code == kPageUp ? 1 : kRows;
            column_ = 1;
            readRow(row_);
            break;
        case kHome:
            column_ = 1;
            break;
        case kEnd:
            column_ = lastNonBlank(row_) + 1;
            break;
        case kLeft:
            if (column_ <= 1) {
                speech_.beep();
                break;
            }
            --column_;
            speech_.playChar(static_cast<uint8_t>(cell(row_, column_)));
            break;
        case kRight:
            speech_.playChar(static_cast<uint8_t>(cell(row_, column_)));
            ++column_;
            break;
        case kCtrlLeft:
            previousWord();
            break;
        case kCtrlRight:
            nextWord();
            break;
        case kF1:
            readWordHere();
            break;
        case kCtrlF1:
            if (auto field = fieldAround(column_))
                readOrBeep(row_, field->first, row_, field->second);
            else
                speech_.beep();
            break;
        case kF5:
            return search(true);
        case kCtrlF5:
            return search(false);
        case kF6:
            return goToRowAndColumn();
        case kCtrlPageUp:
            goToFirstLetter();
            break;
        case kCtrlPageDown:
            goToLastLetter();
            break;
        default:
            speech_.beep();
            speech_.click();
            speech_.beep();
            break;
    }
    return true;
}

int ScreenReview::wordEnd(int row, int column) const {
    const char first = cell(row, column);
    int c = column + 1;
    while (c <= kColumns && isWordPart(cell(row, c))) ++c;
    if (c == column + 1)
        while (c <= kColumns && cell(row, c) == first) ++c;
    return c;
}

void ScreenReview::speakWord(const std::string& word) {
    // A run of one symbol is said with at most three of its copies.
    if (word.size() > 1 && !isWordPart(word[0]) && word.find_first_not_of(word[0]) == std::string::npos) {
        speech_.speak(word.substr(0, 3));
        return;
    }
    if (isConsonantsOnly(word))
        speech_.spell(word);
    else
        speech_.speak(word);
}

bool ScreenReview::readCells(int row, int from, int to) {
    int c = from;
    while (c <= to) {
        if (blankCell(row, c)) {
            ++c;
            continue;
        }
        if (keys_.keyPressed()) {
            speech_.stopSpeech();
            return false;
        }
        const int end = std::min(wordEnd(row, c), to + 1);
        speakWord(console_.rowText(row).substr(c - 1, end - c));
        c = end;
    }
    return true;
}

bool ScreenReview::readRange(int row1, int column1, int row2, int column2) {
    auto fromColumn = [&](int r) { return r == row1 ? column1 : 1; };
    auto toColumn = [&](int r) { return r == row2 ? column2 : kColumns; };
    // Blank rows at the end of a range are not visited: they would only click.
    int last = 0;
    for (int r = row1; r <= row2; ++r)
        for (int c = fromColumn(r); c <= toColumn(r); ++c)
            if (!blankCell(r, c)) {
                last = r;
                break;
            }
    if (last == 0) return false;
    for (int r = row1; r <= last; ++r) {
        if (r > row1) {
            if (keys_.keyPressed()) break;
            speech_.click();
        }
        if (!readCells(r, fromColumn(r), toColumn(r))) break;
    }
    return true;
}

std::optional<std::pair<int, int>> ScreenReview::fieldAround(int column) const {
    if (isFieldSeparator(cell(row_, column))) return std::nullopt;
    const uint8_t attribute = console_.cellAttribute(row_, column);
    auto inField = [&](int c) {
        return c >= 1 && c <= kColumns && console_.cellAttribute(row_, c) == attribute &&
               !isFieldSeparator(cell(row_, c));
    };
    int a = column, b = column;
    while (inField(a - 1)) --a;
    while (inField(b + 1)) ++b;
    return std::make_pair(a, b);
}

std::vector<ScreenReview::Span> ScreenReview::words(int row) const {
    std::vector<Span> spans;
    for (int c = 1; c <= kColumns;) {
        if (blankCell(row, c)) {
            ++c;
            continue;
        }
        const int end = wordEnd(row, c);
        spans.push_back(Span{c, end});
        c = end;
    }
    return spans;
}

void ScreenReview::nextWord() {
    for (const Span& w : words(row_))
        if (w.start > column_) {
            column_ = w.start;
            speech_.click();
            return;
        }
    speech_.beep();
}

void ScreenReview::previousWord() {
    const std::vector<Span> spans = words(row_);
    for (auto w = spans.rbegin(); w != spans.rend(); ++w)
        if (w->start < column_) {
            column_ = w->start;
            speech_.click();
            return;
        }
    speech_.beep();
}

void ScreenReview::readWordHere() {
    for (const Span& w : words(row_))
        if (w.end > column_) {
            speakWord(console_.rowText(row_).substr(w.start - 1, w.end - w.start));
            column_ = w.end;
            return;
        }
    speech_.beep();
}

void ScreenReview::nextField() {
    int c = column_;
    if (auto field = fieldAround(column_)) c = field->second + 1;
    // Blanks and separators lie between fields.
    while (c <= kColumns && (blankCell(row_, c) || isFieldSeparator(cell(row_, c)))) ++c;
    // Past the last field the review cursor goes after the row's text, as End puts it.
    column_ = c > kColumns ? lastNonBlank(row_) + 1 : c;
    speech_.click();
}

// A letter pair: I (from the start up to the cursor), T or L (all), F (from the cursor to the
// end), followed by T (the screen), L (the row) or C (the field).
bool ScreenReview::letterPair(int first) {
    std::optional<Key> second = readReviewKey();
    if (!second) return false;
    const char what = second->extended ? '\0' : text::upperChar(static_cast<char>(second->code));
    int row1 = row_, column1 = 1, row2 = row_, column2 = kColumns;
    switch (what) {
        case 'T':
            row1 = 1;
            row2 = kRows;
            break;
        case 'L':
            break;
        case 'C':
            if (auto field = fieldAround(column_)) {
                column1 = field->first;
                column2 = field->second;
            } else {
                speech_.beep();
                return true;
            }
            break;
        default:
            speech_.beep();
            speech_.click();
            speech_.beep();
            return true;
    }
    if (first == 'I') {
        row2 = row_;
        column2 = column_ - 1;
        if (column2 < 1) {
            // Nothing before the cursor on its row: up to the end of the row above.
            if (what != 'T' || row_ == 1) {
                speech_.beep();
                return true;
            }
            row2 = row_ - 1;
            column2 = kColumns;
        }
    } else if (first == 'F') {
        row1 = row_;
        column1 = column_;
    }
    readOrBeep(row1, column1, row2, column2);
    return true;
}

void ScreenReview::copyScreen() {
    std::string screen;
    for (int r = 1; r <= kRows; ++r) screen += console_.rowText(r) + "\r\n";
    copyWithSound(in_, screen);
}

// F5 asks for a text, Ctrl+F5 repeats the last one; found from after the cursor downwards.
bool ScreenReview::search(bool askForText) {
    if (askForText) {
        speech_.speak("Qual texto");
        std::string typed;
        for (;;) {
            std::optional<uint8_t> b = readKeyWithEcho(in_);
            if (!b) return false;
            if (*b == kEnter) break;
            if (*b == kEsc) {
                speech_.click();
                return true;
            }
            if (*b == 0) {
                if (!keys_.readKey()) return false;
                speech_.beep();
            } else if (*b == kBackspace) {
                if (typed.empty()) {
                    speech_.beep();
                    continue;
                }
                speech_.playWord("_DEL");
                speech_.playChar(static_cast<uint8_t>(typed.back()));
                typed.pop_back();
            } else if (*b >= 32) {
                if (typed.size() < kLongestSearch)
                    typed.push_back(static_cast<char>(*b));
                else
                    speech_.beep();
            }
        }
        if (!typed.empty())
            in_.reviewSearch = typed;
        else if (in_.reviewSearch.empty()) {
            speech_.beep();
            return true;
        }
    }
    if (in_.reviewSearch.empty()) {
        speech_.beep();
        return true;
    }
    const std::string wanted = text::upperCase(in_.reviewSearch);
    for (int r = row_; r <= kRows; ++r) {
        const std::string row = text::upperCase(console_.rowText(r));
        const size_t from = r == row_ ? static_cast<size_t>(column_) : 0;
        const size_t at = from < row.size() ? row.find(wanted, from) : std::string::npos;
        if (at != std::string::npos) {
            row_ = r;
            column_ = static_cast<int>(at) + 1;
            speech_.click();
            return true;
        }
    }
    speech_.beep();
    speech_.beep();
    return true;
}

// F6: four digits, the row and the column in two digits each.
bool ScreenReview::goToRowAndColumn() {
    speech_.speak("Entre linha e coluna");
    int digits[4];
    for (int& d : digits) {
        std::optional<uint8_t> b = readKeyWithEcho(in_);
        if (!b) return false;
        if (*b == 0 && !keys_.readKey()) return false;
        if (!text::isDigit(static_cast<char>(*b))) {
            speech_.beep();
            speech_.beep();
            return true;
        }
        d = *b - '0';
    }
    row_ = digits[0] * 10 + digits[1];
    column_ = digits[2] * 10 + digits[3];
    return true;
}

void ScreenReview::goToFirstLetter() {
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kColumns; ++c)
            if (!blankCell(r, c)) {
                row_ = r;
                column_ = c;
                readRow(r);
                return;
            }
    speech_.beep();
}

void ScreenReview::goToLastLetter() {
    for (int r = kRows; r >= 1; --r)
        if (int c = lastNonBlank(r); c > 0) {
            row_ = r;
            column_ = c;
            readRow(r);
            return;
        }
    speech_.beep();
}

}  // namespace

bool reviewScreen(Interpreter& in) {
    ScreenReview review(in);
    return review.run();
}

}  // namespace parlendo
