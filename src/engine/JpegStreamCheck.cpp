#include "engine/JpegStreamCheck.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct CheckingError {
    jpeg_error_mgr manager{}; // first, so libjpeg's pointer is also ours
    std::jmp_buf jump{};
    bool warned = false;
};

CheckingError* errorOf(j_common_ptr info) {
    return reinterpret_cast<CheckingError*>(info->err); // NOLINT: libjpeg's C idiom
}

[[noreturn]] void onFatalError(j_common_ptr info) {
    std::longjmp(errorOf(info)->jump, 1); // NOLINT(cert-err52-cpp): libjpeg errors must not return
}

void onMessage(j_common_ptr info, int level) {
    if (level < 0) {
        errorOf(info)->warned = true; // corrupt data, which libjpeg would paper over
    }
}

struct Decompressor {
    jpeg_decompress_struct info{};
    ~Decompressor() { jpeg_destroy_decompress(&info); }
};

} // namespace

bool jpegStreamReadsCleanly(const std::vector<uint8_t>& stream, uint32_t width, uint32_t height,
                            int components) {
    if (stream.empty()) {
        return false;
    }
    Decompressor d;
    CheckingError error{};
    d.info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onFatalError;
    error.manager.emit_message = onMessage;
    if (setjmp(error.jump) != 0) { // NOLINT(cert-err52-cpp): libjpeg's only error path
        return false;
    }
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, stream.data(), static_cast<unsigned long>(stream.size()));
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK || d.info.image_width != width ||
        d.info.image_height != height || d.info.num_components != components) {
        return false;
    }
    if (jpeg_read_coefficients(&d.info) == nullptr || error.warned) {
        return false;
    }
    jpeg_finish_decompress(&d.info);
    return !error.warned;
}
