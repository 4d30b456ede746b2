// The card back (FileBackCard) and the background picture (File Texture) are
// Windows bitmaps that the experimenter drops into the setup directory. The
// bitmaps here are written byte by byte in the test.

#include "core/bitmap/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using qbx::Bitmap;
using qbx::decodeBmp;
using qbx::loadBmpFile;

namespace {

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void set32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct BmpSpec {
    int headerSize = 40;        // 12, 40, 108 or 124
    int width = 1, height = 1;  // height as written: negative means top-down
    int bpp = 24;
    uint32_t compression = 0;       // BI_RGB
    std::vector<uint32_t> palette;  // 0xRRGGBB
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};  // written for BI_BITFIELDS
    // The raw value of the pixel at (x, y), y counted from the top: a palette
    // index, a packed 16/32-bit value, or 0xRRGGBB for 24 bits.
    std::function<uint32_t(int, int)> pixel = [](int, int) { return 0U; };
    std::string rawPixelData;  // used instead of `pixel` when not empty (RLE)
};

std::string buildBmp(const BmpSpec& b) {
    std::string dib;
    put32(dib, static_cast<uint32_t>(b.headerSize));
    if (b.headerSize == 12) {
        put16(dib, static_cast<uint32_t>(b.width));
        put16(dib, static_cast<uint32_t>(b.height));
        put16(dib, 1);
        put16(dib, static_cast<uint32_t>(b.bpp));
    } else {
        put32(dib, static_cast<uint32_t>(b.width));
        put32(dib, static_cast<uint32_t>(b.height));
        put16(dib, 1);
        put16(dib, static_cast<uint32_t>(b.bpp));
        put32(dib, b.compression);
        put32(dib, 0);  // size of image: may be 0 for BI_RGB
        put32(dib, 2835);
        put32(dib, 2835);
        put32(dib, b.colorsUsed);
        put32(dib, 0);
        if (b.headerSize >= 108) {
            for (uint32_t m : b.masks) put32(dib, m);
            put32(dib, 0);  // alpha mask
            dib.resize(static_cast<size_t>(b.headerSize), '\0');
        } else if (b.compression == 3) {
            for (uint32_t m : b.masks) put32(dib, m);
        }
    }
    for (uint32_t c : b.palette) {
        dib += static_cast<char>(c & 0xFF);
        dib += static_cast<char>((c >> 8) & 0xFF);
        dib += static_cast<char>((c >> 16) & 0xFF);
        if (b.headerSize != 12) dib += '\0';
    }
    std::string data = b.rawPixelData;
    if (data.empty()) {
        const int rows = b.height < 0 ? -b.height : b.height;
        const size_t stride = (static_cast<size_t>(b.width) * static_cast<size_t>(b.bpp) + 31) / 32 * 4;
        for (int r = 0; r < rows; ++r) {
            const int y = b.height < 0 ? r : rows - 1 - r;
            std::string row(stride, '\0');
            for (int x = 0; x < b.width; ++x) {
                const uint32_t v = b.pixel(x, y);
                switch (b.bpp) {
                case 1: row[static_cast<size_t>(x / 8)] |= static_cast<char>((v & 1) << (7 - x % 8)); break;
                case 4: row[static_cast<size_t>(x / 2)] |= static_cast<char>((v & 0xF) << (x % 2 ? 0 : 4)); break;
                case 8: row[static_cast<size_t>(x)] = static_cast<char>(v); break;
                case 16:
                    row[static_cast<size_t>(2 * x)] = static_cast<char>(v & 0xFF);
                    row[static_cast<size_t>(2 * x + 1)] = static_cast<char>(v >> 8);
                    break;
                case 24:
                    row[static_cast<size_t>(3 * x)] = static_cast<char>(v & 0xFF);
                    row[static_cast<size_t>(3 * x + 1)] = static_cast<char>((v >> 8) & 0xFF);
                    row[static_cast<size_t>(3 * x + 2)] = static_cast<char>((v >> 16) & 0xFF);
                    break;
                case 32:
                    for (int i = 0; i < 4; ++i)
                        row[static_cast<size_t>(4 * x + i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
                    break;
                }
            }
            data += row;
        }
    }
    std::string file = "BM";
    put32(file, static_cast<uint32_t>(14 + dib.size() + data.size()));
    put32(file, 0);
    put32(file, static_cast<uint32_t>(14 + dib.size()));
    return file + dib + data;
}

uint32_t opaque(uint32_t rgb) { return 0xFF000000U | rgb; }

// A card-back-like picture: every pixel a different colour.
uint32_t pattern(int x, int y) {
    return static_cast<uint32_t>((x * 3) & 0xFF) << 16 | static_cast<uint32_t>((y * 2) & 0xFF) << 8 |
           static_cast<uint32_t>((x + 7 * y) & 0xFF);
}

BmpSpec cardBack24(int w, int h) {
    BmpSpec b;
    b.width = w;
    b.height = h;
    b.pixel = pattern;
    return b;
}

std::shared_ptr<const Bitmap> decodeOk(const std::string& bytes) {
    std::string why;
    auto bmp = decodeBmp(bytes, &why);
    EXPECT_TRUE(bmp) << why;
    return bmp;
}

std::string refusal(const std::string& bytes) {
    std::string why;
    auto bmp = decodeBmp(bytes, &why);
    EXPECT_FALSE(bmp);
    EXPECT_FALSE(why.empty());
    return why;
}

uint32_t at(const Bitmap& b, int x, int y) { return b.pixels[static_cast<size_t>(y * b.width + x)]; }

}  // namespace

TEST(Bitmap, ACardBackOf75By107In24BitsDecodesPixelForPixel) {
    auto bmp = decodeOk(buildBmp(cardBack24(75, 107)));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->width, 75);
    EXPECT_EQ(bmp->height, 107);
    ASSERT_EQ(bmp->pixels.size(), 75u * 107u);
    for (int y = 0; y < 107; ++y)
        for (int x = 0; x < 75; ++x) ASSERT_EQ(at(*bmp, x, y), opaque(pattern(x, y))) << x << "," << y;
    EXPECT_EQ(at(*bmp, 0, 0), 0xFF000000U);  // top-left
    EXPECT_EQ(at(*bmp, 74, 106), opaque(pattern(74, 106)));
}

TEST(Bitmap, ALargerBackOf100By150KeepsItsOwnSize) {
    auto bmp = decodeOk(buildBmp(cardBack24(100, 150)));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->width, 100);
    EXPECT_EQ(bmp->height, 150);
    EXPECT_EQ(at(*bmp, 99, 0), opaque(pattern(99, 0)));
    EXPECT_EQ(at(*bmp, 0, 149), opaque(pattern(0, 149)));
    EXPECT_EQ(at(*bmp, 74, 106), opaque(pattern(74, 106)));
}

TEST(Bitmap, ATopDownBitmapHasItsFirstRowAtTheTop) {
    BmpSpec b = cardBack24(75, -107);
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->height, 107);
    EXPECT_EQ(at(*bmp, 10, 0), opaque(pattern(10, 0)));
    EXPECT_EQ(at(*bmp, 10, 106), opaque(pattern(10, 106)));
    // The same picture stored bottom-up decodes to the same pixels.
    auto bottomUp = decodeOk(buildBmp(cardBack24(75, 107)));
    ASSERT_TRUE(bottomUp);
    EXPECT_EQ(bmp->pixels, bottomUp->pixels);
}

TEST(Bitmap, OneBitPerPixelWithPaddedRows) {
    BmpSpec b;
    b.width = 13;  // two bytes of bits, padded to four
    b.height = 3;
    b.bpp = 1;
    b.palette = {0x000080, 0xFFFFFF};  // navy and white
    b.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 2); };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 13; ++x) EXPECT_EQ(at(*bmp, x, y), (x + y) % 2 ? 0xFFFFFFFFU : 0xFF000080U);
}

TEST(Bitmap, FourBitsPerPixelWithSixteenColours) {
    BmpSpec b;
    b.width = 7;
    b.height = 2;
    b.bpp = 4;
    for (uint32_t i = 0; i < 16; ++i) b.palette.push_back(i * 0x111111U);
    b.pixel = [](int x, int y) { return static_cast<uint32_t>(x + 8 * y) & 0xF; };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFF000000U);
    EXPECT_EQ(at(*bmp, 6, 0), opaque(6 * 0x111111U));
    EXPECT_EQ(at(*bmp, 5, 1), opaque(13 * 0x111111U));
}

TEST(Bitmap, EightBitsPerPixelWithAShortPaletteAndIndexesBeyondItPaintBlack) {
    BmpSpec b;
    b.width = 5;  // rows padded with three bytes
    b.height = 2;
    b.bpp = 8;
    b.colorsUsed = 3;
    b.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    b.pixel = [](int x, int y) { return static_cast<uint32_t>(y == 0 ? x : 200 + x); };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 1, 0), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 2, 0), 0xFF0000FFU);
    EXPECT_EQ(at(*bmp, 3, 0), 0xFF000000U);  // index 3: beyond the palette
    EXPECT_EQ(at(*bmp, 4, 1), 0xFF000000U);  // index 204
}

TEST(Bitmap, EightBitsWithTheOldCoreHeaderAndThreeBytePalette) {
    BmpSpec b;
    b.headerSize = 12;
    b.width = 3;
    b.height = 2;
    b.bpp = 8;
    for (uint32_t i = 0; i < 256; ++i) b.palette.push_back(i << 16 | (255 - i));
    b.pixel = [](int x, int y) { return static_cast<uint32_t>(x * 100 + y); };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 2, 1), opaque(201U << 16 | 54U));
    EXPECT_EQ(at(*bmp, 0, 0), opaque(255U));
}

TEST(Bitmap, ThirtyTwoBitsIgnoreTheFourthByteAndAreOpaque) {
    BmpSpec b;
    b.width = 4;
    b.height = 3;
    b.bpp = 32;
    b.pixel = [](int x, int y) { return (x == 1 && y == 2 ? 0x00123456U : 0x7FABCDEFU); };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 1, 2), 0xFF123456U);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFFABCDEFU);
}

TEST(Bitmap, ThirtyTwoBitsWithColourMasksInAV5Header) {
    BmpSpec b;
    b.headerSize = 124;
    b.width = 2;
    b.height = 2;
    b.bpp = 32;
    b.compression = 3;
    b.masks[0] = 0x0000FF00;  // an unusual order: B G R X from the top byte down
    b.masks[1] = 0x00FF0000;
    b.masks[2] = 0xFF000000;
    b.pixel = [](int x, int) { return x == 0 ? 0x11223300U : 0xAABBCC00U; };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFF332211U);
    EXPECT_EQ(at(*bmp, 1, 1), 0xFFCCBBAAU);
}

TEST(Bitmap, SixteenBits555And565) {
    BmpSpec b;
    b.width = 3;  // rows of 6 bytes padded to 8
    b.height = 1;
    b.bpp = 16;
    b.pixel = [](int x, int) { return x == 0 ? 0x7C00U : x == 1 ? 0x03E0U : 0x001FU; };
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 1, 0), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 2, 0), 0xFF0000FFU);

    b.compression = 3;
    b.masks[0] = 0xF800;
    b.masks[1] = 0x07E0;
    b.masks[2] = 0x001F;
    b.pixel = [](int x, int) { return x == 0 ? 0xF800U : x == 1 ? 0x07E0U : 0x8410U; };
    bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 1, 0), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 2, 0), opaque(16U * 255 / 31 << 16 | 32U * 255 / 63 << 8 | 16U * 255 / 31));
}

TEST(Bitmap, BadColourMasksAreRefused) {
    BmpSpec b;
    b.bpp = 16;
    b.compression = 3;
    b.masks[0] = 0xF800;
    b.masks[1] = 0x07E0;
    b.masks[2] = 0;  // no blue
    refusal(buildBmp(b));
    b.masks[2] = 0x0015;  // not contiguous
    refusal(buildBmp(b));
    b.masks[2] = 0x0FFF;  // overlaps green
    refusal(buildBmp(b));
    b.masks[0] = 0xF8000;  // outside 16 bits
    b.masks[2] = 0x001F;
    refusal(buildBmp(b));
    b.bpp = 24;  // masks only go with 16 and 32 bits
    b.masks[0] = 0xFF0000;
    refusal(buildBmp(b));
}

TEST(Bitmap, Rle8AndRle4AreDecoded) {
    BmpSpec b;
    b.width = 4;
    b.height = 2;
    b.bpp = 8;
    b.compression = 1;
    b.colorsUsed = 4;
    b.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // Bottom row: a run of two 1s, then an absolute run of 2, 3, 1 (three
    // bytes and a pad byte; the 1 falls beyond the edge), end of line. Top
    // row: a delta one pixel right, a run of four 3s (its last pixel falls
    // beyond the edge), end of bitmap.
    b.rawPixelData = std::string("\x02\x01\x00\x03\x02\x03\x01\x00\x00\x00\x00\x02\x01\x00\x04\x03\x00\x01", 18);
    auto bmp = decodeOk(buildBmp(b));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 1), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 1, 1), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 2, 1), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 3, 1), 0xFF0000FFU);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFF000000U);  // skipped by the delta: black
    EXPECT_EQ(at(*bmp, 1, 0), 0xFF0000FFU);
    EXPECT_EQ(at(*bmp, 3, 0), 0xFF0000FFU);  // the fourth pixel of the run is clipped

    BmpSpec r4 = b;
    r4.bpp = 4;
    r4.compression = 2;
    // Bottom row: four pixels alternating 1 and 2; top row: absolute 3 pixels 3,2,1 (2 bytes).
    r4.rawPixelData = std::string("\x04\x12\x00\x00\x00\x03\x32\x10\x00\x01", 10);
    bmp = decodeOk(buildBmp(r4));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(at(*bmp, 0, 1), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 1, 1), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 3, 1), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 0, 0), 0xFF0000FFU);
    EXPECT_EQ(at(*bmp, 2, 0), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 3, 0), 0xFF000000U);

    // Without its end-of-bitmap mark the data is cut short.
    b.rawPixelData = std::string("\x02\x01\x00\x00", 4);
    refusal(buildBmp(b));
    b.rawPixelData = std::string("\x00\x05\x01\x01", 4);  // absolute run past the end
    refusal(buildBmp(b));
    // RLE must be bottom-up and at its own depth.
    b.rawPixelData = std::string("\x00\x01", 2);
    b.height = -2;
    refusal(buildBmp(b));
    b.height = 2;
    b.bpp = 4;
    refusal(buildBmp(b));
}

TEST(Bitmap, AFileCutShortByOneByteIsRefused) {
    const std::string whole = buildBmp(cardBack24(75, 107));
    EXPECT_NE(refusal(whole.substr(0, whole.size() - 1)).find("cut short"), std::string::npos);
}

TEST(Bitmap, EveryShorterPrefixOfAValidFileIsRefused) {
    BmpSpec b;
    b.width = 5;
    b.height = 3;
    b.bpp = 4;
    b.palette.assign(16, 0x123456);
    b.pixel = [](int x, int) { return static_cast<uint32_t>(x); };
    const std::string whole = buildBmp(b);
    ASSERT_TRUE(decodeBmp(whole));
    for (size_t n = 0; n < whole.size(); ++n) EXPECT_FALSE(decodeBmp(whole.substr(0, n))) << n;
}

TEST(Bitmap, GarbageEmptyAndPngAreRefused) {
    refusal("");
    refusal("B");
    refusal("BM");
    refusal("this is not a picture at all, just text in a file named back.bmp");
    refusal(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x4b\0\0\0\x6b\x08\x02\0\0\0", 29));
    std::mt19937 gen(7);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(gen());
    refusal(noise);
}

TEST(Bitmap, ImpossibleSizesAreRefused) {
    BmpSpec b = cardBack24(0, 10);
    refusal(buildBmp(b));  // zero width
    std::string negative = buildBmp(cardBack24(5, 10));
    set32(negative, 18, static_cast<uint32_t>(-5));
    refusal(negative);  // negative width
    b = cardBack24(5, 0);
    refusal(buildBmp(b));  // zero height

    // Headers claiming huge pictures, with almost no data behind them.
    std::string huge = buildBmp(cardBack24(1, 1));
    set32(huge, 18, 0x7FFFFFFF);
    set32(huge, 22, 0x7FFFFFFF);
    EXPECT_NE(refusal(huge).find("too large"), std::string::npos);
    set32(huge, 18, 4097);
    set32(huge, 22, 4096);  // just over 16 Mi pixels
    EXPECT_NE(refusal(huge).find("too large"), std::string::npos);
    set32(huge, 18, 4096);
    set32(huge, 22, static_cast<uint32_t>(-4096));  // 16 Mi pixels, top-down: allowed, but no data
    EXPECT_NE(refusal(huge).find("cut short"), std::string::npos);
    set32(huge, 18, 1);
    set32(huge, 22, 0x80000000U);  // the most negative height
    refusal(huge);
}

// Pictures of exactly the largest size, 4096 x 4096, decode whole, from a
// few bytes of RLE and from a full megabyte of rows. The fuzzer keeps to
// small pictures, so their size is tried here.
TEST(Bitmap, PicturesOfTheLargestSizeDecodeWhole) {
    BmpSpec rle;
    rle.width = 4096;
    rle.height = 4096;
    rle.bpp = 8;
    rle.compression = 1;
    rle.palette = {0x000000, 0xFF0000, 0x00FF00};
    rle.colorsUsed = 3;
    // One red pixel at the bottom left; deltas up 4095 rows and right 4094
    // pixels; two green pixels, the second beyond the right edge.
    rle.rawPixelData = std::string("\x01\x01", 2);
    for (int up = 4095, right = 4094; up > 0 || right > 0;) {
        const int dx = std::min(right, 255), dy = std::min(up, 255);
        rle.rawPixelData += std::string("\x00\x02", 2) + static_cast<char>(dx) + static_cast<char>(dy);
        right -= dx;
        up -= dy;
    }
    rle.rawPixelData += std::string("\x02\x02\x00\x01", 4);
    auto bmp = decodeOk(buildBmp(rle));
    ASSERT_TRUE(bmp);
    ASSERT_EQ(static_cast<int64_t>(bmp->pixels.size()), qbx::kMaxBitmapPixels);
    EXPECT_EQ(at(*bmp, 0, 4095), 0xFFFF0000U);
    EXPECT_EQ(at(*bmp, 4095, 0), 0xFF00FF00U);
    EXPECT_EQ(at(*bmp, 4094, 0), 0xFF000000U);  // skipped by the deltas
    EXPECT_EQ(std::count(bmp->pixels.begin(), bmp->pixels.end(), 0xFF000000U), qbx::kMaxBitmapPixels - 2);

    BmpSpec rows;
    rows.width = 4096;
    rows.height = -4096;  // top-down
    rows.bpp = 1;
    rows.palette = {0x000000, 0xFFFFFF};
    // White where x + y is odd: a row starts 0101... when y is even, 1010... when odd.
    for (int y = 0; y < 4096; ++y) rows.rawPixelData += std::string(512, y % 2 ? '\xAA' : '\x55');
    bmp = decodeOk(buildBmp(rows));
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->width, 4096);
    ASSERT_EQ(bmp->height, 4096);
    for (const auto& [x, y] : {std::pair{0, 0}, {1, 0}, {4095, 0}, {0, 4095}, {4095, 4095}, {2047, 1234}})
        EXPECT_EQ(at(*bmp, x, y), (x ^ y) & 1 ? 0xFFFFFFFFU : 0xFF000000U) << x << "," << y;
    EXPECT_EQ(std::count(bmp->pixels.begin(), bmp->pixels.end(), 0xFFFFFFFFU), qbx::kMaxBitmapPixels / 2);
}

TEST(Bitmap, OffsetsOutsideTheFileOrIntoTheHeadersAreRefused) {
    std::string file = buildBmp(cardBack24(2, 2));
    std::string bad = file;
    set32(bad, 10, static_cast<uint32_t>(file.size()));
    refusal(bad);
    set32(bad, 10, 0xFFFFFFFF);
    refusal(bad);
    set32(bad, 10, 20);  // inside the info header
    refusal(bad);
    bad = file;
    set32(bad, 14, 0xFFFFFFF0);  // header size
    refusal(bad);
    set32(bad, 14, 64);  // OS/2 2.x header: not supported
    refusal(bad);
}

TEST(Bitmap, UnknownCompressionAndDepthAreRefused) {
    std::string file = buildBmp(cardBack24(2, 2));
    for (uint32_t c : {4U, 5U, 6U, 11U, 0xFFFFFFFFU}) {
        std::string bad = file;
        set32(bad, 30, c);
        refusal(bad);
    }
    for (uint32_t bpp : {0U, 2U, 3U, 15U, 48U, 64U}) {
        std::string bad = file;
        bad[28] = static_cast<char>(bpp);
        refusal(bad);
    }
}

TEST(Bitmap, APaletteCutShortIsRefused) {
    BmpSpec b;
    b.bpp = 8;
    b.palette.assign(10, 0);  // 256 entries expected, colorsUsed 0
    b.rawPixelData = std::string(4, '\0');
    refusal(buildBmp(b));
}

TEST(Bitmap, RandomDamageNeverCrashes) {
    BmpSpec b;
    b.width = 9;
    b.height = 5;
    b.bpp = 8;
    b.palette.assign(256, 0xABCDEF);
    b.pixel = [](int x, int y) { return static_cast<uint32_t>(x * y); };
    const std::vector<std::string> seeds = {buildBmp(b), buildBmp(cardBack24(7, -3))};
    std::mt19937 gen(2024);
    for (const std::string& seed : seeds) {
        for (int round = 0; round < 3000; ++round) {
            std::string damaged = seed;
            const int flips = 1 + static_cast<int>(gen() % 4);
            for (int i = 0; i < flips; ++i) damaged[gen() % 60] = static_cast<char>(gen());
            if (gen() % 4 == 0) damaged.resize(gen() % damaged.size());
            if (auto bmp = decodeBmp(damaged)) {
                EXPECT_EQ(bmp->pixels.size(), static_cast<size_t>(bmp->width) * static_cast<size_t>(bmp->height));
            }
        }
    }
}

namespace {
class BitmapFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("qbx_bmp_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path dir_;
};
}  // namespace

TEST_F(BitmapFiles, LoadBmpFileReadsARealFile) {
    const fs::path p = dir_ / "back.bmp";
    std::ofstream(p, std::ios::binary) << buildBmp(cardBack24(75, 107));
    std::string why;
    auto bmp = loadBmpFile(p.string(), &why);
    ASSERT_TRUE(bmp) << why;
    EXPECT_EQ(at(*bmp, 40, 50), opaque(pattern(40, 50)));
}

TEST_F(BitmapFiles, LoadBmpFileRefusesDirectoriesMissingAndOversizedFiles) {
    std::string why;
    EXPECT_FALSE(loadBmpFile(dir_.string(), &why));
    EXPECT_FALSE(why.empty());
    why.clear();
    EXPECT_FALSE(loadBmpFile((dir_ / "none.bmp").string(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(loadBmpFile((dir_ / "empty.bmp").string()));

    const fs::path big = dir_ / "big.bmp";
    {
        std::ofstream out(big, std::ios::binary);
        out << buildBmp(cardBack24(2, 2));
    }
    fs::resize_file(big, 256ULL * 1024 * 1024 + 1);  // sparse: costs no disk
    why.clear();
    EXPECT_FALSE(loadBmpFile(big.string(), &why));
    EXPECT_NE(why.find("256"), std::string::npos);
}

TEST_F(BitmapFiles, LoadBmpFileRefusesAPngNamedBmp) {
    const fs::path p = dir_ / "back.bmp";
    std::ofstream(p, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n", 8) << std::string(100, 'x');
    EXPECT_FALSE(loadBmpFile(p.string()));
}
