// The terminal renderer: the console grid drawn in the terminal, and the keys typed there.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "console/console_grid.h"
#include "console/key_queue.h"
#include "platform/event_loop.h"
#include "platform/picture_layer.h"

namespace parlendo {

// Draws the 80 x 25 grid at the top left of the terminal with its colours (through the colour
// map and the palette: true colour or 256 colours where the terminal has them, the nearest of
// its 16 or 8 otherwise), the console cursor, the window title, and the magnified line on the
// row below the grid when the terminal has one. Only rows that changed are sent. A terminal of
// 24 rows shows the 24 grid rows that keep the cursor row in view; one narrower than 80 columns
// or shorter than 24 rows shows instead a message saying so (terminalTooSmallMessage), and the
// grid again once it has grown. Every change of size is drawn at once.
//
// As an event source it collects what was typed and keeps the screen current; as a key source it
// waits for the next key when the program blocks on an empty queue. Typed keys move into the
// queue only while it has room for them, so nothing typed ahead is lost to a full queue.
//
// As a picture layer it draws IMAGEM's picture over the grid where the terminal can display
// pictures (sixels or kitty's images, through libchafa), at the cell under its pixel (cells of the
// terminal's pixel size, 8 x 16 when it does not say), again whenever the text under it was drawn
// anew; elsewhere the picture is kept and nothing is sent.
class TerminalRenderer final : public ConsoleObserver,
                               public EventSource,
                               public KeySource,
                               public PictureLayer {
public:
    // Takes over the terminal: nothing when standard input and output are not both a terminal
    // the screen library knows. The terminal is given back when the renderer is destroyed, or
    // by the signal handlers of the platform on an abnormal end.
    static std::unique_ptr<TerminalRenderer> create(ConsoleGrid& grid, KeyQueue& keys);
    ~TerminalRenderer() override;

    // Keys typed on the terminal wait while `hold` gives true: the harness's keys come first.
    void holdKeysWhile(std::function<bool()> hold);
    // Called every few tens of milliseconds while waiting for a key typed on the terminal, for
    // sources of keys beside it (a braille display): a key it queues ends the wait.
    void whileWaiting(std::function<void()> idle);
    // Brings the terminal up to date with the grid now.
    void update();
    // A notice (Windows-1252) drawn in reverse video over the last rows in view, for everyone to
    // find on the first screen, until a key is typed on the terminal; the grid is not changed.
    void showNotice(std::string text);
    // Says the message of a terminal too small for the grid (Windows-1252), once for each size it
    // takes, when the program next waits for a key typed there.
    void announceSizeThrough(std::function<void(const std::string&)> say);
    // True when the terminal puts back what it showed before the renderer took it (it has an
    // alternate screen): lines written on standard error before are then there again at the end.
    bool keepsScreenBehind() const;
    // Gives the terminal back as it was before the renderer took it, for a program the user
    // works in; resume() takes it again and draws everything anew. Keys typed meanwhile belong to
    // that program: nothing is read from the terminal while it is suspended.
    void suspend();
    void resume();

    void written(std::string_view bytes) override;
    void cleared() override;
    void bell() override;
    void magnifiedLineChanged() override;
    void titleChanged() override;

    void pump() override;
    int waitHandle() const override;

    std::optional<TypedKey> nextKey() override;

    void showPicture(const Picture& picture, int x, int y) override;
    void removePicture() override;

    struct Impl;

private:
    explicit TerminalRenderer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The colour number a terminal of `colours` colours draws an RGB colour with: the colour itself
// on a direct-colour terminal, otherwise the nearest one it has (of the 256-colour cube and grey
// ramp, or of the usual 16 or 8).
int terminalColourOf(Rgb colour, int colours);

// What a terminal of `columns` x `rows`, too small for the grid, is told (Windows-1252).
std::string terminalTooSmallMessage(int columns, int rows);

}  // namespace parlendo
