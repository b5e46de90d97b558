// The window renderer: the console grid drawn in a window of its own (SDL2 and SDL2_ttf), and
// the keys, mouse buttons and braille chords typed there.
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

struct SDL_Renderer;

namespace parlendo {

class BrailleKeyboard;
struct ConsoleSettings;

// Draws the 80 x 25 grid in a window with a monospaced font (FONTE through fontconfig, a
// fallback with a line on standard error when it is not found), cells of LARGURALETRA x
// ALTURALETRA pixels or what the work area gives, the colours through the colour map and the
// palette, the caret while a key is awaited, and the magnified line over the top rows while the
// reader that drew it waits. As an event source it takes the window's events without blocking;
// as a key source it waits for the next key when the program blocks on an empty queue. Keys move
// into the queue only while it has room for them.
class WindowRenderer final : public ConsoleObserver,
                             public EventSource,
                             public KeySource,
                             public PictureLayer {
public:
    // Opens the window; nothing, with the reason in `problem` (Portuguese, Windows-1252), when
    // there is no display or no font could be had. `warn` receives lines for standard error.
    static std::unique_ptr<WindowRenderer> create(ConsoleGrid& grid, KeyQueue& keys,
                                                  const ConsoleSettings& settings, std::string& problem,
                                                  const std::function<void(const std::string&)>& warn);
    ~WindowRenderer() override;

    // Keys typed in the window wait while `hold` gives true: the harness's keys come first.
    void holdKeysWhile(std::function<bool()> hold);
    // Called every few tens of milliseconds while waiting for a key (a braille display).
    void whileWaiting(std::function<void()> idle);
    // The chord keyboard fed with the window's key presses and releases; may be null.
    void setBrailleKeyboard(BrailleKeyboard* keyboard);

    // Something drawn over the grid after every repaint, under the magnified line and the caret
    // (a picture the script showed); an empty function removes it.
    void drawOverGrid(std::function<void(SDL_Renderer*)> draw);

    // IMAGEM's picture, drawn over the grid at its natural size (clipped by the window).
    void showPicture(const Picture& picture, int x, int y) override;
    void removePicture() override;

    void written(std::string_view bytes) override;
    void cleared() override;
    void magnifiedLineChanged() override;
    void titleChanged() override;
    void shownChanged(bool shown) override;

    void pump() override;
    std::optional<TypedKey> nextKey() override;

    struct Impl;

private:
    explicit WindowRenderer(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The RGB colours of a magnified line's three parts and where they start, in cells of the
// magnified font: what the window draws at the top.
struct WindowMagnifiedRun {
    int cell;  // first cell, 0-based, in magnified cells
    std::string text;
    int colour;  // colour index
};
std::vector<WindowMagnifiedRun> windowMagnifiedRuns(const MagnifiedLine& m);

}  // namespace parlendo
