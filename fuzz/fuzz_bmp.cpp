// Fuzz target for the BMP reader: arbitrary bytes as a picture file; a picture it gives must be
// as large as it says.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "text/bmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<parlendo::Picture> p = parlendo::decodeBmp(data, size);
    if (p && (p->width <= 0 || p->height <= 0 ||
              p->rgb.size() != static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 3)) {
        std::fprintf(stderr, "fuzz_bmp: picture of the wrong size\n");
        std::abort();
    }
    return 0;
}
