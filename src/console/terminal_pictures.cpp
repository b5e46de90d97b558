// libchafa bound with dlopen: the terminal works the same where the library is absent, and keeps
// the picture without drawing it.
#include "console/terminal_pictures.h"

#include <chafa.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/shared_library.h"

extern char** environ;

namespace parlendo {

namespace {

constexpr const char* kChafaLibrary = "libchafa.so.0";
constexpr const char* kGlibLibrary = "libglib-2.0.so.0";

}  // namespace

struct TerminalPictures::Library {
    decltype(&chafa_term_db_get_default) termDbGetDefault = nullptr;
    decltype(&chafa_term_db_detect) termDbDetect = nullptr;
    decltype(&chafa_term_info_have_seq) termInfoHaveSeq = nullptr;
    decltype(&chafa_term_info_unref) termInfoUnref = nullptr;
    decltype(&chafa_canvas_config_new) configNew = nullptr;
    decltype(&chafa_canvas_config_unref) configUnref = nullptr;
    decltype(&chafa_canvas_config_set_geometry) configSetGeometry = nullptr;
    decltype(&chafa_canvas_config_set_cell_geometry) configSetCellGeometry = nullptr;
    decltype(&chafa_canvas_config_set_pixel_mode) configSetPixelMode = nullptr;
    decltype(&chafa_canvas_new) canvasNew = nullptr;
    decltype(&chafa_canvas_unref) canvasUnref = nullptr;
    decltype(&chafa_canvas_draw_all_pixels) canvasDrawAllPixels = nullptr;
    decltype(&chafa_canvas_print) canvasPrint = nullptr;
    // g_string_free may be a macro of the header: the function's own type.
    gchar* (*stringFree)(GString*, gboolean) = nullptr;
};

TerminalPictures::TerminalPictures() = default;

TerminalPictures::~TerminalPictures() {
    if (library_ != nullptr && termInfo_ != nullptr)
        library_->termInfoUnref(static_cast<ChafaTermInfo*>(termInfo_));
    delete library_;
}

bool TerminalPictures::available() {
    if (looked_) return termInfo_ != nullptr;
    looked_ = true;
    std::string error;
    std::optional<SharedLibrary> chafa = SharedLibrary::load(kChafaLibrary, error);
    if (!chafa) return false;
    // GLib comes with libchafa; its strings are freed through it.
    std::optional<SharedLibrary> glib = SharedLibrary::load(kGlibLibrary, error);
    if (!glib) return false;
    auto* l = new Library;
    bool ok = chafa->resolve(l->termDbGetDefault, "chafa_term_db_get_default", error) &&
              chafa->resolve(l->termDbDetect, "chafa_term_db_detect", error) &&
              chafa->resolve(l->termInfoHaveSeq, "chafa_term_info_have_seq", error) &&
              chafa->resolve(l->termInfoUnref, "chafa_term_info_unref", error) &&
              chafa->resolve(l->configNew, "chafa_canvas_config_new", error) &&
              chafa->resolve(l->configUnref, "chafa_canvas_config_unref", error) &&
              chafa->resolve(l->configSetGeometry, "chafa_canvas_config_set_geometry", error) &&
              chafa->resolve(l->configSetCellGeometry, "chafa_canvas_config_set_cell_geometry", error) &&
              chafa->resolve(l->configSetPixelMode, "chafa_canvas_config_set_pixel_mode", error) &&
              chafa->resolve(l->canvasNew, "chafa_canvas_new", error) &&
              chafa->resolve(l->canvasUnref, "chafa_canvas_unref", error) &&
              chafa->resolve(l->canvasDrawAllPixels, "chafa_canvas_draw_all_pixels", error) &&
              chafa->resolve(l->canvasPrint, "chafa_canvas_print", error) &&
              glib->resolve(l->stringFree, "g_string_free", error);
    if (!ok) {
        delete l;
        return false;
    }
    ChafaTermDb* db = l->termDbGetDefault();
    ChafaTermInfo* info = db != nullptr ? l->termDbDetect(db, environ) : nullptr;
    if (info == nullptr) {
        delete l;
        return false;
    }
    const bool sixels = l->termInfoHaveSeq(info, CHAFA_TERM_SEQ_BEGIN_SIXELS) != FALSE;
    kitty_ = l->termInfoHaveSeq(info, CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1) != FALSE;
    if (!sixels && !kitty_) {
        l->termInfoUnref(info);
        delete l;
        return false;
    }
    library_ = l;
    termInfo_ = info;
    return true;
}

std::optional<std::string> TerminalPictures::encode(const Picture& picture, int columns, int rows,
                                                    int cellWidth, int cellHeight) {
    if (!available() || columns <= 0 || rows <= 0 || cellWidth <= 0 || cellHeight <= 0) return std::nullopt;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgb.size() < static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 3)
        return std::nullopt;
    // The cells' pixels, the picture's from the top left, transparent beyond it.
    const int width = columns * cellWidth;
    const int height = rows * cellHeight;
    const int drawnWidth = std::min(width, picture.width);
    const int drawnHeight = std::min(height, picture.height);
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    for (int y = 0; y < drawnHeight; ++y) {
        const uint8_t* from =
            picture.rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width) * 3;
        uint8_t* to = rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < drawnWidth; ++x) {
            to[x * 4] = from[x * 3];
            to[x * 4 + 1] = from[x * 3 + 1];
            to[x * 4 + 2] = from[x * 3 + 2];
            to[x * 4 + 3] = 255;
        }
    }
    const Library& l = *library_;
    ChafaCanvasConfig* config = l.configNew();
    if (config == nullptr) return std::nullopt;
    l.configSetPixelMode(config, kitty_ ? CHAFA_PIXEL_MODE_KITTY : CHAFA_PIXEL_MODE_SIXELS);
    l.configSetGeometry(config, columns, rows);
    l.configSetCellGeometry(config, cellWidth, cellHeight);
    ChafaCanvas* canvas = l.canvasNew(config);
    l.configUnref(config);
    if (canvas == nullptr) return std::nullopt;
    l.canvasDrawAllPixels(canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED, rgba.data(), width, height, width * 4);
    GString* printed = l.canvasPrint(canvas, static_cast<ChafaTermInfo*>(termInfo_));
    l.canvasUnref(canvas);
    if (printed == nullptr) return std::nullopt;
    std::string bytes(printed->str, printed->len);
    l.stringFree(printed, TRUE);
    return bytes;
}

}  // namespace parlendo
