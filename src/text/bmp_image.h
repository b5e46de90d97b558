// Pictures decoded in memory, and the reader of Windows BMP files with a 40-byte information
// header. Every size the file gives is checked against the file's own size before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace parlendo {

// A decoded picture: rows from the top, three bytes (red, green, blue) per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// The most pixels a picture may have (8192 x 8192): a larger one is refused, not allocated.
constexpr int64_t kLargestPicture = int64_t{1} << 26;

// A BMP image: "BM", a 40-byte information header (the size at offset 14), 1, 4, 8, 16, 24 or
// 32 bits per pixel without compression, the palette after the header and the pixels at the
// offset given at 10. Width and height are the low 16 bits of their fields (a negative height is a
// picture stored from the top). Nothing when any field is out of place: a palette or pixels past
// the end of the image, a size that overflows, a picture over kLargestPicture.
std::optional<Picture> decodeBmp(const uint8_t* data, size_t size);

}  // namespace parlendo
