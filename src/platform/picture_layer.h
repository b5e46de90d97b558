// Where IMAGEM's picture is shown: the console window draws it over the text; a terminal keeps
// none. The renderer that can show pictures implements this and is handed to the interpreter.
#pragma once

#include "text/bmp_image.h"

namespace parlendo {

class PictureLayer {
public:
    virtual ~PictureLayer() = default;
    // Shows the picture at its natural size with its top left corner at pixel (x, y) of the
    // window, in place of any picture shown before.
    virtual void showPicture(const Picture& picture, int x, int y) = 0;
    // Takes the picture away and repaints what it covered.
    virtual void removePicture() = 0;
};

}  // namespace parlendo
