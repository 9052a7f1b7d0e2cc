#pragma once

#include <cstdint>
#include <vector>

// Whether libjpeg reads the whole stream without an error or a warning as an
// image of `width` x `height` with `components` samples per pixel. Only the
// entropy-coded data is decoded (no transform or colour conversion): enough
// to know that a reader gets every block the stream promises.
bool jpegStreamReadsCleanly(const std::vector<uint8_t>& stream, uint32_t width, uint32_t height,
                            int components);
