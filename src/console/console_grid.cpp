// The console grid and its teletype write model.
#include "console/console_grid.h"

#include <algorithm>
#include <cstddef>

#include "text/cp1252.h"

namespace parlendo {

ConsoleGrid::ConsoleGrid() {
    text_.fill(' ');
    attributes_.fill(attribute_);
}

void ConsoleGrid::newLine() {
    if (row_ == kRows - 1) {
        std::copy(text_.begin() + kColumns, text_.end(), text_.begin());
        std::copy(attributes_.begin() + kColumns, attributes_.end(), attributes_.begin());
        std::fill(text_.end() - kColumns, text_.end(), ' ');
        std::fill(attributes_.end() - kColumns, attributes_.end(), attribute_);
    } else {
        ++row_;
    }
}

void ConsoleGrid::write(std::string_view bytes) {
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case 7:
                if (observer_) observer_->bell();
                continue;
            case 8:
                if (column_ >= 1) {
                    --column_;
                    text_[row_ * kColumns + column_] = ' ';
                    attributes_[row_ * kColumns + column_] = attribute_;
                }
                break;
            case 10:
                newLine();
                column_ = 0;
                break;
            case 13:
                column_ = 0;
                break;
            default:
                if (c < 32) continue;
                if (column_ >= kColumns) {
                    column_ = 0;
                    newLine();
                }
                text_[row_ * kColumns + column_] = ch;
                attributes_[row_ * kColumns + column_] = attribute_;
                ++column_;
        }
    }
    if (observer_) observer_->written(bytes);
}

void ConsoleGrid::writeLine(std::string_view text) {
    write(text);
    write("\r\n");
}

void ConsoleGrid::clearScreen() {
    text_.fill(' ');
    attributes_.fill(attribute_);
    column_ = row_ = 0;
    if (observer_) observer_->cleared();
}

void ConsoleGrid::clearToEndOfLine() {
    for (int c = std::min(column_, kColumns); c < kColumns; ++c) {
        text_[row_ * kColumns + c] = ' ';
        attributes_[row_ * kColumns + c] = attribute_;
    }
}

void ConsoleGrid::gotoXY(int column, int row) {
    column_ = std::clamp(column, 1, kColumns) - 1;
    row_ = std::clamp(row, 1, kRows) - 1;
}

char ConsoleGrid::cellChar(int row, int column) const {
    if (row < 1 || row > kRows || column < 1 || column > kColumns) return ' ';
    return text_[(row - 1) * kColumns + column - 1];
}

uint8_t ConsoleGrid::cellAttribute(int row, int column) const {
    if (row < 1 || row > kRows || column < 1 || column > kColumns) return 0;
    return attributes_[(row - 1) * kColumns + column - 1];
}

std::string ConsoleGrid::rowText(int row) const {
    if (row < 1 || row > kRows) return std::string(kColumns, ' ');
    return std::string(text_.data() + static_cast<std::ptrdiff_t>(row - 1) * kColumns, kColumns);
}

std::string ConsoleGrid::dumpUtf8() const {
    std::string out;
    for (int r = 1; r <= kRows; ++r) {
        std::string line = rowText(r);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += text::cp1252ToUtf8(line);
        out += '\n';
    }
    return out;
}

void ConsoleGrid::setMagnification(int factor, int letter, int background, int cursor) {
    magnified_.factor = std::clamp(factor, 0, 10);
    magnified_.letter = letter;
    magnified_.background = background;
    magnified_.cursor = cursor;
    if (magnified_.factor == 0) magnified_.partOne = magnified_.partTwo = magnified_.partThree = "";
    if (observer_) observer_->magnifiedLineChanged();
}

void ConsoleGrid::drawMagnifiedLine(std::string_view text, int cursorIndex) {
    MagnifiedLine& m = magnified_;
    if (m.factor == 0) return;
    if (cursorIndex < 1) cursorIndex = 1;
    const int w = kColumns / m.factor;
    // Keep the cursor visible.
    m.scroll = std::max(1, std::min(m.scroll, cursorIndex - 1));
    if (m.scroll + w < cursorIndex) m.scroll = cursorIndex - w;
    // Characters of the w-character window of the text that starts at the scroll position;
    // past the window's end, blanks.
    auto window = [&](int from, int count) {
        std::string out;
        for (int i = 0; i < count; ++i) {
            int pos = from + i;           // 0-based position in the window
            int at = m.scroll - 1 + pos;  // 0-based index into the text
            bool inside = pos < w && at < static_cast<int>(text.size());
            out.push_back(inside ? text[at] : ' ');
        }
        return out;
    };
    const int n = cursorIndex - m.scroll + 1;
    m.partOne = n > 2 ? window(0, n - 2) : "";
    m.partTwo = n > 1 ? window(n - 2, 1) : "";
    m.partThree = window(std::max(n - 1, 0), w);
    if (observer_) observer_->magnifiedLineChanged();
}

}  // namespace parlendo
