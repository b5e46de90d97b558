// The BMP reader.
#include "text/bmp_image.h"

namespace parlendo {

namespace {

uint32_t read16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t read32(const uint8_t* p) { return read16(p) | (read16(p + 2) << 16); }

constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;

}  // namespace

std::optional<Picture> decodeBmp(const uint8_t* data, size_t size) {
    if (size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    if (read32(data + 14) != kInfoHeader) return std::nullopt;
    const uint64_t pixelOffset = read32(data + 10);
    const int32_t widthField = static_cast<int32_t>(read32(data + 18));
    const int32_t heightField = static_cast<int32_t>(read32(data + 22));
    const uint32_t bits = read16(data + 28);
    const uint32_t compression = read32(data + 30);
    uint64_t colours = read32(data + 46);
    if (compression != 0) return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
    if (widthField <= 0 || heightField == 0 || heightField == INT32_MIN) return std::nullopt;
    const bool fromTop = heightField < 0;
    const uint64_t width = static_cast<uint32_t>(widthField) & 0xFFFF;
    const uint64_t height = static_cast<uint32_t>(fromTop ? -heightField : heightField) & 0xFFFF;
    if (width == 0 || height == 0 || width * height > static_cast<uint64_t>(kLargestPicture))
        return std::nullopt;

    // The palette: 4 bytes a colour after the header, all of it inside the image.
    const uint8_t* palette = data + kFileHeader + kInfoHeader;
    if (bits <= 8) {
        if (colours == 0) colours = uint64_t{1} << bits;
        if (colours > 256) return std::nullopt;
        if (kFileHeader + kInfoHeader + colours * 4 > size) return std::nullopt;
    } else {
        colours = 0;
    }

    const uint64_t stride = (width * bits + 31) / 32 * 4;
    const uint64_t imageSize = height * stride;
    if (pixelOffset < kFileHeader + kInfoHeader || pixelOffset > size || imageSize > size - pixelOffset)
        return std::nullopt;

    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.rgb.resize(static_cast<size_t>(width * height * 3));
    for (uint64_t row = 0; row < height; ++row) {
        const uint8_t* in = data + pixelOffset + (fromTop ? row : height - 1 - row) * stride;
        uint8_t* out = picture.rgb.data() + row * width * 3;
        for (uint64_t x = 0; x < width; ++x, out += 3) {
            uint32_t r = 0;
            uint32_t g = 0;
            uint32_t b = 0;
            if (bits <= 8) {
                const uint64_t bit = x * bits;
                const uint32_t index = (in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                // An index past the palette's colours is black.
                if (index < colours) {
                    b = palette[index * 4];
                    g = palette[index * 4 + 1];
                    r = palette[index * 4 + 2];
                }
            } else if (bits == 16) {
                const uint32_t v = read16(in + x * 2);
                r = ((v >> 10) & 31) * 255 / 31;
                g = ((v >> 5) & 31) * 255 / 31;
                b = (v & 31) * 255 / 31;
            } else {
                const uint8_t* p = in + x * (bits / 8);
                b = p[0];
                g = p[1];
                r = p[2];
            }
            out[0] = static_cast<uint8_t>(r);
            out[1] = static_cast<uint8_t>(g);
            out[2] = static_cast<uint8_t>(b);
        }
    }
    return picture;
}

}  // namespace parlendo
