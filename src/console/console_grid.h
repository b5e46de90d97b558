// The 80 x 25 console grid: a byte and a colour attribute per cell, and a teletype write cursor.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace parlendo {

// The low-vision line: the line being edited or reviewed, drawn large at the top of the window
// (in a terminal, on the row below the grid). Parts one and three in the letter colour, part
// two (the character before the cursor) in the cursor colour, all on the background colour.
struct MagnifiedLine {
    int factor = 0;  // 0 = off, 1-10
    int letter = 14;
    int background = 6;
    int cursor = 3;
    int scroll = 1;  // 1-based index of the first character shown
    std::string partOne, partTwo, partThree;
};

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The 16-colour palette of the console.
inline constexpr std::array<Rgb, 16> kPalette = {{
    {0, 0, 0},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {142, 0, 142},
    {68, 34, 34},
    {192, 192, 192},
    {40, 40, 40},
    {128, 128, 255},
    {128, 255, 128},
    {128, 255, 255},
    {255, 128, 128},
    {255, 128, 255},
    {255, 255, 0},
    {255, 255, 255},
}};

// Receives what is written, for renderers that show it as it comes (the plain teletype
// renderer echoes it to standard output).
class ConsoleObserver {
public:
    virtual ~ConsoleObserver() = default;
    virtual void written(std::string_view bytes) = 0;
    virtual void cleared() {}
    virtual void bell() {}
    virtual void magnifiedLineChanged() {}
    virtual void titleChanged() {}
    // TELA MINIMIZADA hides the console (off the screen and the task bar), TELA NORMAL shows it
    // again in front; a renderer without a window of its own ignores both.
    virtual void shownChanged(bool /*shown*/) {}
};

class ConsoleGrid {
public:
    static constexpr int kColumns = 80;
    static constexpr int kRows = 25;

    ConsoleGrid();

    void setObserver(ConsoleObserver* observer) { observer_ = observer; }

    // Writes bytes at the cursor: BEL beeps, BS steps back over one cell, LF starts a new line,
    // CR returns to column 1, codes 32-255 are stored (wrapping before the 81st column); every
    // other control byte, tab included, is ignored.
    void write(std::string_view bytes);
    void writeLine(std::string_view text);
    void newLine();
    void clearScreen();
    void clearToEndOfLine();
    // 1-based; clamped into the grid.
    void gotoXY(int column, int row);
    int cursorColumn() const { return column_ + 1; }
    int cursorRow() const { return row_ + 1; }

    void setForeground(int index) { attribute_ = static_cast<uint8_t>((attribute_ & 0xF0) | (index & 15)); }
    void setBackground(int index) {
        attribute_ = static_cast<uint8_t>((attribute_ & 0x0F) | ((index & 15) << 4));
    }
    uint8_t attribute() const { return attribute_; }

    // Colour index -> palette entry (setting TABCORES); a map value outside 0-15 draws black.
    void setColourMap(const std::array<int, 16>& map) { colourMap_ = map; }
    const std::array<int, 16>& colourMap() const { return colourMap_; }
    Rgb rgbOf(int colourIndex) const {
        int entry = colourMap_[colourIndex & 15];
        return entry >= 0 && entry < 16 ? kPalette[entry] : Rgb{0, 0, 0};
    }
    // Setting CORESFIXAS: COR and FUNDO change nothing.
    bool fixedColours() const { return fixedColours_; }
    void setFixedColours(bool on) { fixedColours_ = on; }
    void setAttribute(uint8_t a) { attribute_ = a; }

    // 1-based; outside the grid a blank and attribute 0.
    char cellChar(int row, int column) const;
    uint8_t cellAttribute(int row, int column) const;
    // Row text (1-based row), 80 bytes.
    std::string rowText(int row) const;
    // The 25 rows as UTF-8, trailing blanks of each row removed, one line each.
    std::string dumpUtf8() const;

    const std::string& title() const { return title_; }
    void setTitle(std::string title) {
        title_ = std::move(title);
        if (observer_) observer_->titleChanged();
    }

    // TELA MINIMIZADA (false) and TELA NORMAL (true).
    void setShown(bool shown) {
        if (observer_) observer_->shownChanged(shown);
    }

    // Builds the magnified font's colours and factor; 0 turns the line off.
    void setMagnification(int factor, int letter, int background, int cursor);
    // Draws the text with the cursor at a 1-based index; nothing while the factor is 0.
    void drawMagnifiedLine(std::string_view text, int cursorIndex);
    const MagnifiedLine& magnified() const { return magnified_; }

private:
    std::array<char, kColumns * kRows> text_;
    std::array<uint8_t, kColumns * kRows> attributes_;
    int column_ = 0;
    int row_ = 0;
    uint8_t attribute_ = 0x0F;
    std::string title_;
    MagnifiedLine magnified_;
    std::array<int, 16> colourMap_ = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    bool fixedColours_ = false;
    ConsoleObserver* observer_ = nullptr;
};

}  // namespace parlendo
