#include "core/bitmap/Bitmap.h"

#include <bit>
#include <cstdio>

#include "core/platform/System.h"

// A strict reader of Windows bitmaps. Accepted: the file header "BM", then a
// BITMAPCOREHEADER (12 bytes: 1, 4, 8, 24 bits, bottom-up) or a
// BITMAPINFOHEADER (40), BITMAPV4HEADER (108) or BITMAPV5HEADER (124) with
// 1, 4 or 8 bits and a palette, 16 bits (555, or any colour masks with
// BI_BITFIELDS, e.g. 565), 24 bits, 32 bits (BI_RGB or BI_BITFIELDS), and
// BI_RLE8 / BI_RLE4. Rows bottom-up, or top-down for a negative height (not
// with RLE). Decisions:
// - Every byte the picture needs must be in the file: headers, colour masks,
//   the palette and all rows of pixel data padded to 4 bytes. A file cut
//   short, even by one byte, is refused (the toolkit would paint garbage).
// - The pixel data offset must lie after the headers, the masks and the
//   palette, and inside the file.
// - A palette index beyond the palette the file gives (a short palette with
//   biClrUsed) paints black; the palette itself is at most 2^bpp entries, a
//   larger biClrUsed is cut to that.
// - Alpha is ignored, as the card table draws bitmaps opaque: every pixel
//   has alpha 0xFF. biPlanes, biSizeImage (except that it is not needed),
//   the resolution fields and bfSize are not checked.
// - BI_BITFIELDS masks must be non-zero, contiguous, not overlapping and
//   within the pixel's bits. Other compressions (JPEG, PNG, ALPHABITFIELDS)
//   and other header sizes (OS/2 2.x, V2, V3) are refused.
// - RLE data must end with the end-of-bitmap mark inside the file; pixels it
//   never paints are black; runs beyond the right or bottom edge are clipped.

namespace qbx {

namespace {

constexpr uint64_t kMaxFileBytes = 256ULL * 1024 * 1024;

std::shared_ptr<const Bitmap> fail(std::string* error, const char* reason) {
    if (error) *error = reason;
    return nullptr;
}

class Bytes {
public:
    Bytes(const std::string& s) : d_(reinterpret_cast<const unsigned char*>(s.data())), n_(s.size()) {}
    size_t size() const { return n_; }
    // True when [offset, offset + length) lies inside the data.
    bool has(uint64_t offset, uint64_t length) const { return offset <= n_ && length <= n_ - offset; }
    const unsigned char* at(uint64_t offset) const { return d_ + offset; }
    uint16_t u16(size_t o) const { return static_cast<uint16_t>(d_[o] | d_[o + 1] << 8); }
    uint32_t u32(size_t o) const {
        return static_cast<uint32_t>(d_[o]) | static_cast<uint32_t>(d_[o + 1]) << 8 |
               static_cast<uint32_t>(d_[o + 2]) << 16 | static_cast<uint32_t>(d_[o + 3]) << 24;
    }
    int32_t i32(size_t o) const { return static_cast<int32_t>(u32(o)); }

private:
    const unsigned char* d_;
    size_t n_;
};

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    uint32_t get(uint32_t pixel) const {
        const uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8) return v >> (bits - 8);
        return v * 255 / ((1U << bits) - 1);
    }
};

bool makeChannel(uint32_t mask, Channel& ch) {
    if (mask == 0) return false;
    ch.mask = mask;
    ch.shift = std::countr_zero(mask);
    ch.bits = std::popcount(mask);
    return (static_cast<uint64_t>(mask) >> ch.shift) == (uint64_t{1} << ch.bits) - 1;
}

constexpr uint32_t kBlack = 0xFF000000U;

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return kBlack | r << 16 | g << 8 | b; }

// RLE8 (bitsPerPixel 8) or RLE4 (4) data into the pixels, bottom-up.
bool decodeRle(const Bytes& in, uint64_t begin, int bitsPerPixel, const std::vector<uint32_t>& palette, Bitmap& out) {
    auto colour = [&palette](unsigned index) { return index < palette.size() ? palette[index] : kBlack; };
    const int64_t width = out.width, height = out.height;
    int64_t x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](unsigned index) {
        if (x < width && y < height) out.pixels[static_cast<size_t>((height - 1 - y) * width + x)] = colour(index);
        ++x;
    };
    uint64_t p = begin;
    for (;;) {
        if (!in.has(p, 2)) return false;
        const unsigned count = *in.at(p), value = *in.at(p + 1);
        p += 2;
        if (count > 0) {  // a run of one colour, or of two alternating nibbles
            for (unsigned i = 0; i < count; ++i)
                put(bitsPerPixel == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F));
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // move right and up
            if (!in.has(p, 2)) return false;
            x += *in.at(p);
            y += *in.at(p + 1);
            p += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const uint64_t bytes = bitsPerPixel == 8 ? value : (value + 1) / 2;
            const uint64_t padded = (bytes + 1) & ~uint64_t{1};
            if (!in.has(p, padded)) return false;
            for (unsigned i = 0; i < value; ++i) {
                const unsigned byte = *in.at(p + (bitsPerPixel == 8 ? i : i / 2));
                put(bitsPerPixel == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0F));
            }
            p += padded;
        }
    }
}

}  // namespace

std::shared_ptr<const Bitmap> decodeBmp(const std::string& bytes, std::string* error) {
    const Bytes in(bytes);
    if (in.size() < 2 || *in.at(0) != 'B' || *in.at(1) != 'M')
        return fail(error, "not a BMP file (no \"BM\" signature)");
    if (!in.has(0, 18)) return fail(error, "BMP file cut short in its header");
    const uint32_t pixelOffset = in.u32(10);
    const uint32_t headerSize = in.u32(14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 108 && headerSize != 124)
        return fail(error, "unsupported BMP header size");
    if (!in.has(14, headerSize)) return fail(error, "BMP file cut short in its header");

    int64_t width, height;
    unsigned bitsPerPixel;
    uint32_t compression = 0, colorsUsed = 0;
    if (core) {
        width = in.u16(18);
        height = in.u16(20);
        bitsPerPixel = in.u16(24);
    } else {
        width = in.i32(18);
        height = in.i32(22);
        bitsPerPixel = in.u16(28);
        compression = in.u32(30);
        colorsUsed = in.u32(46);
    }
    if (width <= 0) return fail(error, "BMP width is zero or negative");
    if (height == 0) return fail(error, "BMP height is zero");
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (width * rows > kMaxBitmapPixels) return fail(error, "BMP picture too large");

    enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3 };
    const bool bppOk = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
                       (!core && (bitsPerPixel == 16 || bitsPerPixel == 32));
    if (!bppOk) return fail(error, "unsupported BMP colour depth");
    switch (compression) {
    case kRgb: break;
    case kRle8:
    case kRle4:
        if (bitsPerPixel != (compression == kRle8 ? 8U : 4U))
            return fail(error, "BMP RLE compression with a wrong depth");
        if (topDown) return fail(error, "top-down BMP with RLE compression");
        break;
    case kBitfields:
        if (bitsPerPixel != 16 && bitsPerPixel != 32) return fail(error, "BMP colour masks with a wrong depth");
        break;
    default: return fail(error, "unsupported BMP compression");
    }

    // Colour masks: after a 40-byte header, inside a V4/V5 header.
    uint64_t tableStart = 14 + uint64_t{headerSize};
    Channel red, green, blue;
    if (compression == kBitfields || bitsPerPixel == 16) {
        uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (compression == kBitfields) {
            if (!in.has(54, 12)) return fail(error, "BMP file cut short in its colour masks");
            for (int i = 0; i < 3; ++i) masks[i] = in.u32(54 + 4 * static_cast<size_t>(i));
            if (headerSize == 40) tableStart += 12;
        }
        if (!makeChannel(masks[0], red) || !makeChannel(masks[1], green) || !makeChannel(masks[2], blue) ||
            (masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]) ||
            (bitsPerPixel == 16 && ((masks[0] | masks[1] | masks[2]) >> 16) != 0))
            return fail(error, "bad BMP colour masks");
    }

    std::vector<uint32_t> palette;
    if (bitsPerPixel <= 8) {
        const unsigned entrySize = core ? 3 : 4;
        uint32_t count = 1U << bitsPerPixel;
        if (!core && colorsUsed != 0 && colorsUsed < count) count = colorsUsed;
        if (!in.has(tableStart, uint64_t{count} * entrySize)) return fail(error, "BMP file cut short in its palette");
        palette.resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const unsigned char* e = in.at(tableStart + uint64_t{i} * entrySize);
            palette[i] = rgb(e[2], e[1], e[0]);
        }
        tableStart += uint64_t{count} * entrySize;
    }
    if (pixelOffset < tableStart) return fail(error, "BMP pixel data overlaps its headers");
    if (pixelOffset >= in.size()) return fail(error, "BMP pixel data offset beyond the end of the file");

    auto out = std::make_shared<Bitmap>();
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(rows);

    if (compression == kRle8 || compression == kRle4) {
        out->pixels.assign(static_cast<size_t>(width * rows), kBlack);
        if (!decodeRle(in, pixelOffset, static_cast<int>(bitsPerPixel), palette, *out))
            return fail(error, "BMP RLE data cut short");
        return out;
    }

    // Rows are padded to 4 bytes. width * rows <= 2^26 was checked, so the
    // product below stays far inside 64 bits. The data is checked before the
    // pixels are allocated, so a short hostile file allocates nothing large.
    const uint64_t stride = (static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    if (!in.has(pixelOffset, stride * static_cast<uint64_t>(rows))) return fail(error, "BMP pixel data cut short");
    out->pixels.resize(static_cast<size_t>(width * rows));
    auto colour = [&palette](unsigned index) { return index < palette.size() ? palette[index] : kBlack; };
    for (int64_t r = 0; r < rows; ++r) {
        const unsigned char* row = in.at(pixelOffset + static_cast<uint64_t>(r) * stride);
        uint32_t* dest = out->pixels.data() + (topDown ? r : rows - 1 - r) * width;
        for (int64_t x = 0; x < width; ++x) {
            uint32_t pixel;
            switch (bitsPerPixel) {
            case 1: pixel = colour((row[x >> 3] >> (7 - (x & 7))) & 1U); break;
            case 4: pixel = colour((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0FU); break;
            case 8: pixel = colour(row[x]); break;
            case 16: {
                const uint32_t v = static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
                pixel = rgb(red.get(v), green.get(v), blue.get(v));
                break;
            }
            case 24: pixel = rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: {  // 32
                const unsigned char* q = row + 4 * x;
                if (compression == kBitfields) {
                    const uint32_t v = static_cast<uint32_t>(q[0]) | static_cast<uint32_t>(q[1]) << 8 |
                                       static_cast<uint32_t>(q[2]) << 16 | static_cast<uint32_t>(q[3]) << 24;
                    pixel = rgb(red.get(v), green.get(v), blue.get(v));
                } else {
                    pixel = rgb(q[2], q[1], q[0]);
                }
            }
            }
            dest[x] = pixel;
        }
    }
    return out;
}

std::shared_ptr<const Bitmap> loadBmpFile(const std::string& path, std::string* error) {
    std::string data, why;
    sys::ReadFault fault = sys::ReadFault::None;
    if (!sys::readWholeFile(path, data, why, static_cast<long long>(kMaxFileBytes), &fault)) {
        switch (fault) {
        case sys::ReadFault::Missing: return fail(error, "no such file");
        case sys::ReadFault::Directory:
        case sys::ReadFault::NotAFile: return fail(error, "not a regular file");
        case sys::ReadFault::TooLarge: return fail(error, "file larger than 256 MiB");
        case sys::ReadFault::CannotOpen: return fail(error, "cannot open the file");
        default: return fail(error, "cannot read the file");
        }
    }
    return decodeBmp(data, error);
}

}  // namespace qbx
