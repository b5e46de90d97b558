// The braille mirror of the cursor row and the keys of the display.
#include "console/braille_mirror.h"

#include <utility>

#include "console/console_grid.h"
#include "console/key_queue.h"

namespace parlendo {

namespace {

constexpr int kDot7 = 64;
constexpr int kDot8 = 128;
constexpr int kSpaceBar = 256;

TypedKey extended(uint8_t code) { return TypedKey{std::string{'\0', static_cast<char>(code)}, {}}; }
TypedKey plain(uint8_t byte) { return TypedKey{std::string(1, static_cast<char>(byte)), {}}; }

}  // namespace

BrailleMirror::BrailleMirror(ConsoleGrid& grid, KeyQueue& keys, const BrailleTables& tables,
                             std::unique_ptr<BrailleDisplay> display)
    : grid_(grid), keys_(keys), tables_(tables), display_(std::move(display)) {}

void BrailleMirror::pump() {
    for (const BrailleKey& key : display_->takeKeys()) deliver(key);
    refresh();
}

void BrailleMirror::refresh() {
    const int cells = display_->cells();
    const unsigned connection = display_->connection();
    if (cells <= 0) {
        cells_ = 0;
        return;
    }
    const int row = grid_.cursorRow();
    std::string text = grid_.rowText(row);
    if (row == row_ && cells == cells_ && connection == connection_ && text == rowText_) return;
    row_ = row;
    cells_ = cells;
    connection_ = connection;
    rowText_ = text;

    const auto size = static_cast<size_t>(cells);
    text.resize(size, ' ');
    shown_ = transliterator_.toBrailleText(text, &columnOf_);
    shown_.resize(size, ' ');
    columnOf_.resize(size, size);
    std::vector<uint8_t> dots(size);
    for (size_t i = 0; i < size; ++i) dots[i] = tables_.dotsOf[static_cast<uint8_t>(shown_[i])];
    display_->show(std::move(dots));
}

void BrailleMirror::deliver(const BrailleKey& key) {
    switch (key.kind) {
        case BrailleKey::LineUp:
            keys_.pushKey(extended(72));
            return;
        case BrailleKey::LineDown:
            keys_.pushKey(extended(80));
            return;
        case BrailleKey::Route: {
            // A cell past the row's text, or one of a row not shown yet, routes nowhere.
            if (key.value < 0 || static_cast<size_t>(key.value) >= columnOf_.size()) return;
            size_t column = columnOf_[static_cast<size_t>(key.value)];
            if (column < static_cast<size_t>(ConsoleGrid::kColumns) && keys_.routingWanted())
                keys_.pushRouting(static_cast<int>(column) + 1);
            return;
        }
        case BrailleKey::Character:
            if (key.value > 0 && key.value < 256) keys_.pushKey(plain(static_cast<uint8_t>(key.value)));
            return;
        case BrailleKey::Dots:
            break;
    }
    const int bits = key.value;
    const int six = bits & 63;
    if (bits == kDot7)
        keys_.pushKey(plain(8));
    else if (bits == kDot8)
        keys_.pushKey(plain(13));
    else if (bits == (kDot7 | kDot8))
        keys_.pushKey(plain(27));
    else if (bits == kSpaceBar)
        keys_.pushKey(plain(' '));
    else if ((bits & kSpaceBar) && six != 0 && (tables_.keyOf[six] & 31) != 0)
        keys_.pushKey(plain(tables_.keyOf[six] & 31));
    else if (six != 0 && !(bits & kSpaceBar) && tables_.keyOf[six] != 0)
        // Dots 7 and 8 pressed with others add nothing: the table has six-dot cells only.
        keys_.pushKey(plain(tables_.keyOf[six]));
}

}  // namespace parlendo
