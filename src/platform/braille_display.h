// A refreshable braille display reached through brltty's BrlAPI: the cells to show, and the keys
// pressed on it. The library is loaded while the program runs, and every call into it is made on
// a thread of the display's own, so a daemon that is slow, absent or dying never holds up the
// console.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace parlendo {

// A key of the display, as brltty's commands give it.
struct BrailleKey {
    enum Kind {
        LineUp,    // panning or moving up a line
        LineDown,  // panning or moving down a line
        Route,     // a routing key over a cell: value is the cell, from 0
        Dots,      // typed dots: bits 1-6 the dots 1-6, 64 dot 7, 128 dot 8, 256 the space bar
        Character  // dots brltty made a character of by its own table: value is its code
    };
    Kind kind;
    int value = 0;
    bool operator==(const BrailleKey&) const = default;
};

class BrailleDisplay {
public:
    virtual ~BrailleDisplay() = default;
    // The number of text cells while a display is connected; 0 otherwise.
    virtual int cells() const = 0;
    // Shows the cells (dot bits as BrlAPI takes them: dot 1 = 1 ... dot 8 = 128), cut or padded
    // with blank cells to the display; dropped while none is connected. Only the latest cells
    // given are shown: the display catches up with the console, never lags behind it.
    virtual void show(std::vector<uint8_t> dots) = 0;
    // The keys pressed since the last call, oldest first.
    virtual std::vector<BrailleKey> takeKeys() = 0;
    // Bumped whenever a display connects, so that its first cells are sent at once.
    virtual unsigned connection() const = 0;
};

struct BrailleDisplayOptions {
    // The BrlAPI host ("" for the library's default, that is $BRLAPI_HOST or the local daemon)
    // and the authorization ("" for the default key file, "none" for none).
    std::string host;
    std::string auth;
    // How long to wait between attempts to reach the daemon.
    int retryMs = 2000;
};

// The display through BrlAPI. Always succeeds: without the library, the daemon or a display it
// simply has no cells, and it keeps trying to connect every retryMs in the background.
std::unique_ptr<BrailleDisplay> openBrailleDisplay(const BrailleDisplayOptions& options);

}  // namespace parlendo
