// Pictures in a terminal that can show them: libchafa, loaded at the first picture, says from the
// environment whether the terminal draws sixels or kitty's images, and turns a picture into the
// bytes that draw it there.
#pragma once

#include <optional>
#include <string>

#include "text/bmp_image.h"

namespace parlendo {

class TerminalPictures {
public:
    TerminalPictures();
    ~TerminalPictures();
    TerminalPictures(const TerminalPictures&) = delete;
    TerminalPictures& operator=(const TerminalPictures&) = delete;

    // True when the terminal can display pictures; the library is loaded and the terminal looked
    // at the first time it is asked. False, without a word, where the library is missing.
    bool available();
    // True when the terminal draws kitty's images (kept apart from the text: taken away by their
    // own sequence), false for sixels.
    bool kitty() const { return kitty_; }
    // The bytes that draw the picture at its natural size over `columns` x `rows` cells of
    // `cellWidth` x `cellHeight` pixels, from the cursor: what lies beyond those cells is cut off,
    // and the cells' pixels past the picture are transparent, so that no pixel is stretched.
    // Nothing when the terminal cannot display pictures or the library fails.
    std::optional<std::string> encode(const Picture& picture, int columns, int rows, int cellWidth,
                                      int cellHeight);

    struct Library;

private:
    bool looked_ = false;
    bool kitty_ = false;
    Library* library_ = nullptr;
    void* termInfo_ = nullptr;
};

// The sequence that takes away every kitty image shown on the screen.
inline constexpr const char* kKittyDeleteImages = "\x1b_Ga=d\x1b\\";

}  // namespace parlendo
