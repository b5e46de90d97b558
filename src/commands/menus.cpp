// Spoken menus and the MENU command.
#include "commands/menus.h"

#include <algorithm>
#include <string_view>

#include "commands/command_state.h"
#include "console/console_grid.h"
#include "console/key_queue.h"
#include "console/screen_review.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// Extended key codes the menu knows.
enum : int {
    kDownToo = 9,  // no key of the code table sends it, but it moves down like Down
    kHome = 71,
    kUp = 72,
    kPageUp = 73,
    kLeft = 75,
    kRight = 77,
    kEnd = 79,
    kDown = 80,
    kPageDown = 81,
    kDelete = 83,
    kCtrlF9 = 102,
    kCtrlEnd = 117,
    kCtrlPageDown = 118,
    kCtrlHome = 119,
    kCtrlPageUp = 132,
};

constexpr int kPageStep = 10;

bool isFunctionKey(int code) { return code >= 59 && code <= 70; }

// Keys that end a run of the menu: the function keys with or without Ctrl, the arrows across
// with or without Ctrl, and Delete. Alt+Ctrl+F9 opens the screen review instead.
bool leavesMenu(int code, bool alt) {
    if (code == kCtrlF9) return !alt;
    return isFunctionKey(code) || code == kLeft || code == kRight || code == kDelete ||
           (code >= 94 && code <= 105) || code == 115 || code == 116;
}

}  // namespace

Menu::Menu(int left, int top, int right, int bottom)
    : left_(std::clamp(left, 1, ConsoleGrid::kColumns)),
      top_(std::clamp(top, 1, ConsoleGrid::kRows)),
      right_(std::clamp(right, 1, ConsoleGrid::kColumns)),
      bottom_(std::clamp(bottom, 1, ConsoleGrid::kRows)) {}

void Menu::add(std::string text) { items_.push_back(Item{std::move(text), false}); }

std::string Menu::itemText(int position) const {
    return exists(position - 1) ? items_[position - 1].text : std::string();
}

bool Menu::marked(int position) const { return exists(position - 1) && items_[position - 1].marked; }

void Menu::close(ConsoleGrid& console) {
    const std::string blanks(right_ - left_ + 1, ' ');
    for (int row = top_; row <= bottom_; ++row) {
        console.gotoXY(left_, row);
        console.write(blanks);
    }
    console.gotoXY(left_, top_);
    items_.clear();
    current_ = first_ = 0;
}

void Menu::scrollToCurrent() {
    if (current_ < first_) first_ = current_;
    if (current_ >= first_ + visibleRows()) first_ = current_ - visibleRows() + 1;
    current_ = std::max(current_, -1);
    first_ = std::max(first_, 0);
}

void Menu::draw(ConsoleGrid& console, int foreground) const {
    const size_t width = static_cast<size_t>(right_ - left_ + 1);
    for (int row = 0; row < visibleRows(); ++row) {
        const int index = first_ + row;
        std::string line(width, ' ');
        if (exists(index)) {
            const std::string& text = items_[index].text;
            // A control byte in an item would move the cursor or scroll the screen.
            for (size_t i = 0; i < width && i < text.size(); ++i)
                if (static_cast<unsigned char>(text[i]) >= 32) line[i] = text[i];
        }
        int colour = foreground;
        if (index == current_)
            colour = kCurrentColour;
        else if (exists(index) && items_[index].marked)
            colour = kMarkedColour;
        if (!console.fixedColours()) console.setForeground(colour);
        console.gotoXY(left_, top_ + row);
        console.write(line);
    }
    console.gotoXY(left_, top_ + current_ - first_);
}

void Menu::announce(Interpreter& in) const {
    const std::string text = itemText(current_ + 1);
    if (marked(current_ + 1)) in.services.speech.click();
    in.services.console.drawMagnifiedLine(text, 1);
    in.speak(text);
}

bool Menu::markingKey(int key) {
    switch (key) {
        case ' ':
            if (exists(current_)) items_[current_].marked = !items_[current_].marked;
            return true;
        case '+':
        case '-':
            if (exists(current_)) items_[current_].marked = key == '+';
            return true;
        case '*':
        case '/':
            for (Item& item : items_) item.marked = key == '*';
            return true;
        default:
            return false;
    }
}

// Marks or clears the items between two 0-based indices, in either order; indices past
// either end are left out.
void Menu::setMarks(int from, int to, bool on) {
    if (from > to) std::swap(from, to);
    from = std::max(from, 0);
    to = std::min(to, count() - 1);
    for (int i = from; i <= to; ++i) items_[i].marked = on;
}

void Menu::extendedKey(Interpreter& in, int code, bool shift) {
    SpeechFront& speech = in.services.speech;
    const int last = count() - 1;
    switch (code) {
        case kDown:
        case kDownToo:
            if (shift && exists(current_) && !items_[current_].marked) {
                speech.click();
                items_[current_].marked = true;
            }
            ++current_;
            if (shift && exists(current_)) items_[current_].marked = true;
            break;
        case kUp:
            if (shift && exists(current_)) items_[current_].marked = false;
            --current_;
            break;
        case kPageUp:
            current_ -= kPageStep;
            break;
        case kPageDown:
            current_ += kPageStep;
            break;
        case kHome:
        case kCtrlPageUp:
            if (shift) setMarks(current_, 0, false);
            speech.click();
            current_ = 0;
            break;
        case kEnd:
        case kCtrlPageDown:
            if (shift) setMarks(current_, last, true);
            speech.click();
            current_ = last;
            break;
        case kCtrlEnd:
            if (!shift) break;
            setMarks(current_, last, false);
            current_ = last;
            speech.click();
            break;
        case kCtrlHome:
            if (!shift) break;
            setMarks(current_, 0, true);
            speech.click();
            current_ = 0;
            break;
        default:
            break;
    }
}

std::optional<MenuExit> Menu::select(Interpreter& in, int start, bool speak) {
    ConsoleGrid& console = in.services.console;
    KeyQueue& keys = in.services.keys;
    const int foreground = console.attribute() & 15;
    // A start far past the end begins on the empty position below the last item, so that the
    // position given back is always an item's, 0 or count + 1, and the rows drawn show items.
    current_ = std::clamp(start - 1, -1, count());
    std::optional<MenuExit> result;
    for (;;) {
        scrollToCurrent();
        draw(console, foreground);
        if (speak) announce(in);
        std::optional<uint8_t> key = keys.readKey();
        if (!key) break;
        if (*key != 0) {
            if (markingKey(*key)) continue;
            result = MenuExit{current_ + 1, false, *key};
            break;
        }
        std::optional<uint8_t> code = keys.readKey();
        if (!code) break;
        in.services.speech.stopSpeech();
        const Modifiers held = keys.modifiers();
        if (leavesMenu(*code, held.alt)) {
            result = MenuExit{current_ + 1, true, *code};
            break;
        }
        if (*code == kCtrlF9) {
            if (!reviewScreen(in)) break;
        } else {
            extendedKey(in, *code, held.shift);
        }
        // Past either end the highlight rests on an empty position, with a click.
        if (current_ < 0) {
            current_ = -1;
            in.services.speech.click();
        } else if (current_ >= count()) {
            current_ = count();
            in.services.speech.click();
        }
    }
    console.setForeground(foreground);
    return result;
}

std::string menuKeyText(const MenuExit& exit) {
    if (exit.extended) return "#0#" + std::to_string(exit.key);
    if (exit.key >= 32) return std::string(1, static_cast<char>(exit.key));
    return "#" + std::to_string(exit.key);
}

namespace {

// The sub-command word, matched on the first characters of the argument text.
bool takeSubcommand(std::string_view& rest, std::string_view upperWord) {
    if (!text::takeUpperPrefix(rest, upperWord)) return false;
    dropBlanks(rest);
    return true;
}

// One number argument of CRIA.
bool readCorner(Interpreter& in, std::string_view& rest, int& out) {
    std::optional<int32_t> v = readInteger(in, rest);
    if (!v) return false;
    out = *v;
    return true;
}

bool menuCreateCommand(Interpreter& in, std::string_view rest) {
    int left, top, right, bottom;
    if (!readCorner(in, rest, left) || !readCorner(in, rest, top) || !readCorner(in, rest, right) ||
        !readCorner(in, rest, bottom))
        return false;
    // A rectangle with no row or no column could show nothing.
    if (!rest.empty() || right < left || bottom < top) return false;
    in.state->menu.emplace(left, top, right, bottom);
    return true;
}

bool menuAddCommand(Interpreter& in, std::string_view rest) {
    std::string value;
    if (!in.state->menu || !readValue(in, rest, value) || !rest.empty()) return false;
    in.state->menu->add(std::move(value));
    return true;
}

bool menuCloseCommand(Interpreter& in, std::string_view rest) {
    if (!in.state->menu || !rest.empty()) return false;
    in.state->menu->close(in.services.console);
    return true;
}

bool menuExecuteCommand(Interpreter& in, std::string_view rest) {
    int positionSlot, keySlot, textSlot;
    if (!in.state->menu || !readVariable(in, rest, positionSlot) || !readVariable(in, rest, keySlot) ||
        !readVariable(in, rest, textSlot))
        return false;
    Menu& menu = *in.state->menu;
    for (;;) {
        if (std::optional<int32_t> start = toInteger(text::trim(in.variables.text(positionSlot))))
            menu.startPosition = std::max(*start, 1);
        std::optional<MenuExit> exit = menu.select(in, menu.startPosition, true);
        if (!exit) return false;
        // Leaving extended keys other than the function keys start the menu again.
        if (exit->extended && !isFunctionKey(exit->key)) continue;
        in.variables.set(positionSlot, std::to_string(exit->position));
        in.variables.set(keySlot, menuKeyText(*exit));
        in.variables.set(textSlot, menu.itemText(exit->position));
        break;
    }
    // Text after the three variables fails the command, once the menu has run.
    return rest.empty();
}

}  // namespace

bool cmdMenu(Interpreter& in, std::string_view args, int) {
    std::string_view rest = args;
    if (takeSubcommand(rest, "CRIA")) return menuCreateCommand(in, rest);
    if (takeSubcommand(rest, "ADICIONA")) return menuAddCommand(in, rest);
    if (takeSubcommand(rest, "TERMINA")) return menuCloseCommand(in, rest);
    if (takeSubcommand(rest, "EXECUTA")) return menuExecuteCommand(in, rest);
    return false;
}

}  // namespace parlendo
