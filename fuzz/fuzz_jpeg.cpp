// Fuzz target for the JPEG path: arbitrary bytes decoded in memory through libjpeg, whose
// faults must come back as no picture, never as the end of the process.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<parlendo::Picture> p = parlendo::decodeJpeg(data, size);
    if (p && (p->width <= 0 || p->height <= 0 ||
              p->rgb.size() != static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 3)) {
        std::fprintf(stderr, "fuzz_jpeg: picture of the wrong size\n");
        std::abort();
    }
    return 0;
}
