// Spoken menus: a list of items in a rectangle of the console that the user walks with the
// arrow keys, hearing each item, marking some, and leaving with a key.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parlendo {

class ConsoleGrid;
class Interpreter;

// How a run of the menu ended: the 1-based position (0 above the first item, count + 1 below
// the last) and the key that left it, an ordinary byte or the code of an extended key.
struct MenuExit {
    int position = 0;
    bool extended = false;
    int key = 0;
};

class Menu {
public:
    // Colours while the menu runs: the highlighted item, and a marked one.
    static constexpr int kCurrentColour = 14;
    static constexpr int kMarkedColour = 2;

    // menuCreate: an empty menu in a rectangle of 1-based columns and rows. The rectangle is
    // kept inside the console, so a menu taller than the screen scrolls within it.
    Menu(int left, int top, int right, int bottom);

    // menuAdd: a new unmarked item at the end.
    void add(std::string text);
    // menuSelect: runs the menu from a 1-based start position until a leaving key; nothing when
    // no key will come any more.
    std::optional<MenuExit> select(Interpreter& in, int start, bool speak);
    // menuItemText: the item at a 1-based position, or the empty text when there is none.
    std::string itemText(int position) const;
    bool marked(int position) const;
    // menuClose: blanks the rectangle, puts the cursor at its top left, drops the items. The
    // menu stays, empty, until the next create.
    void close(ConsoleGrid& console);

    int count() const { return static_cast<int>(items_.size()); }
    int visibleRows() const { return bottom_ - top_ + 1; }
    int firstVisible() const { return first_; }
    int left() const { return left_; }
    int top() const { return top_; }
    int right() const { return right_; }
    int bottom() const { return bottom_; }

    // Where the last run started (1-based); a start position the script gives that is not a
    // number keeps it.
    int startPosition = 1;

private:
    struct Item {
        std::string text;
        bool marked = false;
    };

    bool exists(int index) const { return index >= 0 && index < count(); }
    void scrollToCurrent();
    void draw(ConsoleGrid& console, int foreground) const;
    void announce(Interpreter& in) const;
    // The blank, "+", "-", "*" and "/": true when the key was one of them.
    bool markingKey(int key);
    // Moves and marks for an extended key that does not leave the menu.
    void extendedKey(Interpreter& in, int code, bool shift);
    void setMarks(int from, int to, bool on);

    int left_, top_, right_, bottom_;
    std::vector<Item> items_;
    int current_ = 0;
    int first_ = 0;
};

// The key text the script gets for a leaving key: a character of code 32 or more as itself,
// another as "#" and its code ("#13"), an extended key as "#0#" and its code ("#0#59").
std::string menuKeyText(const MenuExit& exit);

}  // namespace parlendo
