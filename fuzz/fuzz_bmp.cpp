// decodeBmp on any bytes. A decoded picture has a positive size within the
// pixel limit, exactly width * height pixels, all opaque; a refused one
// says why.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/bitmap/Bitmap.h"

namespace {

// A few bytes of RLE may declare a picture of 16 Mi pixels, which takes as
// long to decode and check as thousands of small ones: a fuzzer that keeps
// them spends its time painting black. Every path of the decoder is the
// same for a picture of 64 Ki pixels, so larger ones within the limit are
// left out here (sizes beyond it are still tried: they are refused at
// once); tests/core/test_bitmap.cpp decodes pictures of the largest size.
constexpr int64_t kLargestFuzzedPixels = int64_t{1} << 16;

// The width times the height a file's header declares, read as decodeBmp
// reads them; 0 when the header is too short to say.
int64_t declaredPixels(const uint8_t* d, size_t size) {
    if (size < 26) return 0;
    auto u16 = [d](size_t at) { return static_cast<uint32_t>(d[at] | d[at + 1] << 8); };
    auto i32 = [&](size_t at) { return static_cast<int32_t>(u16(at) | u16(at + 2) << 16); };
    const bool core = i32(14) == 12;
    const int64_t width = core ? int64_t{u16(18)} : int64_t{i32(18)};
    const int64_t height = core ? int64_t{u16(20)} : int64_t{i32(22)};
    return width * (height < 0 ? -height : height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t declared = declaredPixels(data, size);
    if (declared > kLargestFuzzedPixels && declared <= qbx::kMaxBitmapPixels) return 0;
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
