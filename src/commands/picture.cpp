// IMAGEM: BMP and JPEG pictures decoded in memory and shown by the picture layer.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_state.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/event_loop.h"
#include "platform/file.h"
#include "platform/jpeg_image.h"
#include "platform/picture_layer.h"
#include "text/bmp_image.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// A picture file larger than this is not read.
constexpr size_t kLargestPictureFile = size_t{256} << 20;

std::optional<std::vector<uint8_t>> readPictureFile(std::string_view name) {
    std::unique_ptr<File> file = File::open(name, "rb");
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes;
    char block[16384];
    for (;;) {
        const size_t n = file->read(block, sizeof block);
        if (n == 0) break;
        if (bytes.size() + n > kLargestPictureFile) return std::nullopt;
        bytes.insert(bytes.end(), block, block + n);
    }
    if (file->failed()) return std::nullopt;
    return bytes;
}

bool isJpegName(std::string_view name) {
    const std::string up = text::upperCase(name);
    return up.ends_with(".JPG") || up.ends_with(".JPEG");
}

void removePicture(Interpreter& in) {
    in.state->media.picture.reset();
    if (in.services.pictures) in.services.pictures->removePicture();
    if (in.services.loop) in.services.loop->pump();
}

// Reads the picture of a file: a JPEG by its name's extension, a BMP otherwise.
std::optional<Picture> loadPicture(std::string_view name) {
    std::optional<std::vector<uint8_t>> bytes = readPictureFile(name);
    if (!bytes) return std::nullopt;
    if (isJpegName(name)) return decodeJpeg(bytes->data(), bytes->size());
    return decodeBmp(bytes->data(), bytes->size());
}

}  // namespace

bool cmdImagem(Interpreter& in, std::string_view args, int) {
    std::string_view rest = text::trim(args);
    if (rest.empty()) {
        removePicture(in);
        return true;
    }
    // A trailing "&": a picture that cannot be loaded is no fault.
    const bool quiet = rest.back() == '&';
    if (quiet) rest = text::trimRight(rest.substr(0, rest.size() - 1));
    std::string file;
    if (!readValue(in, rest, file)) return in.fail("falta o nome do arquivo"_cp);
    int x = 0;
    int y = 0;
    if (!rest.empty()) {
        std::optional<int32_t> px = readInteger(in, rest, true);
        if (!px) return in.fail("posição inválida"_cp);
        std::optional<int32_t> py = readInteger(in, rest, true);
        if (!py) return in.fail("posição inválida"_cp);
        if (!rest.empty()) return in.fail("texto depois da posição"_cp);
        x = *px;
        y = *py;
    }
    removePicture(in);
    const std::string_view name = text::trim(file);
    if (name.empty()) return true;
    std::optional<Picture> picture = loadPicture(name);
    if (!picture) return quiet || in.fail("imagem não pôde ser carregada"_cp);
    if (in.services.pictures) in.services.pictures->showPicture(*picture, x, y);
    in.state->media.picture = ShownPicture{std::move(*picture), x, y};
    return true;
}

}  // namespace parlendo
