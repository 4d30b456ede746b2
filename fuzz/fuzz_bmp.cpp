// decodeBmp on any bytes. A decoded picture has a positive size within the
// pixel limit, exactly width * height pixels, all opaque; a refused one
// says why.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/bitmap/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto bitmap = qbx::decodeBmp(std::string(reinterpret_cast<const char*>(data), size), &error);
    if (!bitmap) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (bitmap->width <= 0 || bitmap->height <= 0) std::abort();
    const int64_t pixels = static_cast<int64_t>(bitmap->width) * bitmap->height;
    if (pixels > qbx::kMaxBitmapPixels) std::abort();
    if (bitmap->pixels.size() != static_cast<size_t>(pixels)) std::abort();
    for (uint32_t p : bitmap->pixels)
        if ((p >> 24) != 0xFF) std::abort();
    // A picture always starts "BM".
    if (size < 2 || data[0] != 'B' || data[1] != 'M') std::abort();
    return 0;
}
