// JPEG pictures decoded in memory through libjpeg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "text/bmp_image.h"

namespace parlendo {

// The picture of a JPEG image, greyscale ones as grey RGB. Nothing, and the process goes on, when
// libjpeg finds a fault: not a JPEG, a damaged or cut-short stream, a picture over
// kLargestPicture.
std::optional<Picture> decodeJpeg(const uint8_t* data, size_t size);

}  // namespace parlendo
