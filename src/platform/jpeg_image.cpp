// libjpeg with an error handler that jumps back instead of ending the process.
#include "platform/jpeg_image.h"

#include <csetjmp>
#include <cstdio>
// clang-format off
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace parlendo {

namespace {

struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf back;
    bool cutShort = false;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    std::longjmp(trap->back, 1);
}

// Warnings are not printed; a stream that ends early (libjpeg fills the rest with grey) makes the
// picture a fault.
void noteWarning(j_common_ptr info, int level) {
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) trap->cutShort = true;
}

void quietMessage(j_common_ptr) {}

// Everything that must survive the jump back lives outside the function that calls setjmp.
struct Decoder {
    jpeg_decompress_struct info{};
    ErrorTrap trap{};
    Picture picture;
    bool created = false;

    bool run(const uint8_t* data, size_t size) {
        if (setjmp(trap.back) != 0) return false;
        jpeg_create_decompress(&info);
        created = true;
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
        info.out_color_space = JCS_RGB;
        if (static_cast<int64_t>(info.image_width) * info.image_height > kLargestPicture) return false;
        jpeg_start_decompress(&info);
        if (info.output_components != 3) return false;
        picture.width = static_cast<int>(info.output_width);
        picture.height = static_cast<int>(info.output_height);
        const size_t stride = static_cast<size_t>(picture.width) * 3;
        picture.rgb.resize(stride * static_cast<size_t>(picture.height));
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = picture.rgb.data() + stride * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
            if (trap.cutShort) return false;
        }
        jpeg_finish_decompress(&info);
        return !trap.cutShort;
    }
};

}  // namespace

std::optional<Picture> decodeJpeg(const uint8_t* data, size_t size) {
    if (size == 0) return std::nullopt;
    Decoder d;
    d.info.err = jpeg_std_error(&d.trap.manager);
    d.trap.manager.error_exit = jumpBack;
    d.trap.manager.emit_message = noteWarning;
    d.trap.manager.output_message = quietMessage;
    const bool ok = d.run(data, size);
    if (d.created) jpeg_destroy_decompress(&d.info);
    if (!ok) return std::nullopt;
    return std::move(d.picture);
}

}  // namespace parlendo
