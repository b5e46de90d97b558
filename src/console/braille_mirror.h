// The cursor row of the console on a braille display, and the display's keys as typed keys.
// Renderer-neutral: the terminal and the window both pump it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "console/braille_tables.h"
#include "console/braille_text.h"
#include "platform/braille_display.h"
#include "platform/event_loop.h"

namespace parlendo {

class ConsoleGrid;
class KeyQueue;

// Each pump shows the cursor row again when it or the row's text changed, or a display came:
// the row cut or padded with blanks to the display's cells, turned into braille code text, cut
// or padded again, and each character into its dots. Keys pressed on the display go into the
// key queue: panning up and down as the up and down arrows; dots through the display table
// (dot 7 alone Backspace, dot 8 Enter, both Escape, the space bar a blank, the space bar with
// dots a control character); a routing key, while the queue's reader wants them, as the
// column of the character under it.
class BrailleMirror final : public EventSource {
public:
    BrailleMirror(ConsoleGrid& grid, KeyQueue& keys, const BrailleTables& tables,
                  std::unique_ptr<BrailleDisplay> display);

    void pump() override;

    // The code text last shown, for tests: one character per cell.
    const std::string& shownText() const { return shown_; }

private:
    void refresh();
    void deliver(const BrailleKey& key);

    ConsoleGrid& grid_;
    KeyQueue& keys_;
    BrailleTables tables_;
    std::unique_ptr<BrailleDisplay> display_;
    BrailleTransliterator transliterator_;
    int row_ = 0;
    int cells_ = 0;
    unsigned connection_ = 0;
    std::string rowText_;
    std::string shown_;
    std::vector<size_t> columnOf_;  // the row's 0-based column under each cell shown
};

}  // namespace parlendo
