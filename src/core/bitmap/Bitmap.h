#pragma once
// Windows bitmap (BMP) files read without any toolkit: the card back named by
// FileBackCard and the background picture named by "File Texture".

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qbx {

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows from the top, width * height
};

// Pictures larger than this many pixels (4096 x 4096, more than any screen
// a background is stretched to) are refused, so a hostile header cannot make
// the program allocate more than 64 MB.
inline constexpr int64_t kMaxBitmapPixels = 16LL * 1024 * 1024;

// Decodes a whole BMP file held in memory. A file that is cut short, has an
// unknown layout or inconsistent sizes is not a readable bitmap: returns null
// and, when `error` is given, a short reason.
std::shared_ptr<const Bitmap> decodeBmp(const std::string& bytes, std::string* error = nullptr);
std::shared_ptr<const Bitmap> loadBmpFile(const std::string& path, std::string* error = nullptr);

}  // namespace qbx
