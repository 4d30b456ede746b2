#include "desktop/replay/ApngWriter.h"

#include <QBuffer>

#include <algorithm>
#include <array>
#include <string_view>

#include "core/output/OutputGuard.h"

namespace qbx::replayview {

namespace {

constexpr char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
// A frame shows for at most 65535 of the 1000ths of a second fcTL counts in.
constexpr int kLongestDelayMs = 65535;

std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void put32(QByteArray& out, uint32_t v) {
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}
void put16(QByteArray& out, uint16_t v) { out.append(char(v >> 8)).append(char(v)); }

uint32_t get32(const QByteArray& in, qsizetype at) {
    return uint32_t(uint8_t(in[at])) << 24 | uint32_t(uint8_t(in[at + 1])) << 16 | uint32_t(uint8_t(in[at + 2])) << 8 |
           uint32_t(uint8_t(in[at + 3]));
}

void putChunk(QByteArray& out, const char type[4], const QByteArray& data) {
    put32(out, uint32_t(data.size()));
    QByteArray typed(type, 4);
    typed.append(data);
    out.append(typed);
    put32(out, crc32(reinterpret_cast<const uint8_t*>(typed.constData()), size_t(typed.size())));
}

// A picture encoded by Qt as a PNG: its IHDR contents and its image data
// (every IDAT joined). False when Qt's encoding is not a PNG as expected.
bool encode(const QImage& image, QByteArray& header, QByteArray& data) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return false;
    if (png.size() < 8 || !png.startsWith(QByteArray(kSignature, 8))) return false;
    header.clear();
    data.clear();
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const uint32_t length = get32(png, at);
        if (at + 12 + qsizetype(length) > png.size()) return false;
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IHDR") header = png.mid(at + 8, length);
        if (type == "IDAT") data.append(png.mid(at + 8, length));
        at += 12 + qsizetype(length);
    }
    return header.size() == 13 && !data.isEmpty();
}

// The smallest rectangle holding every pixel in which two pictures of one
// size differ; empty when they are the same.
QRect changedArea(const QImage& a, const QImage& b) {
    int top = -1, bottom = -1, left = a.width(), right = -1;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::equal(ra, ra + a.width(), rb)) continue;
        if (top < 0) top = y;
        bottom = y;
        int l = 0;
        while (ra[l] == rb[l]) ++l;
        int r = a.width() - 1;
        while (ra[r] == rb[r]) --r;
        left = std::min(left, l);
        right = std::max(right, r);
    }
    if (top < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static const std::array<uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool ApngWriter::addFrame(const QImage& frame, int delayMs) {
    const QImage image = frame.convertToFormat(QImage::Format_RGB32);
    delayMs = std::clamp(delayMs, 1, kLongestDelayMs);
    if (frames_.empty()) {
        Frame first;
        first.area = image.rect();
        first.delayMs = delayMs;
        if (image.isNull() || !encode(image, header_, first.data)) return false;
        frames_.push_back(std::move(first));
        last_ = image;
        return true;
    }
    if (image.size() != last_.size()) return false;
    QRect area = changedArea(last_, image);
    if (area.isEmpty()) {
        if (frames_.back().delayMs + delayMs <= kLongestDelayMs) {
            frames_.back().delayMs += delayMs;
            return true;
        }
        // Shown longer than one frame may say: a frame of one unchanged pixel.
        area = QRect(0, 0, 1, 1);
    }
    Frame next;
    next.area = area;
    next.delayMs = delayMs;
    QByteArray header;
    if (!encode(image.copy(area), header, next.data)) return false;
    // The same depth and colour type as the first frame, or the frame cannot join it.
    if (header.mid(8) != header_.mid(8)) return false;
    frames_.push_back(std::move(next));
    last_ = image;
    return true;
}

QByteArray ApngWriter::bytes() const {
    QByteArray out(kSignature, 8);
    if (frames_.empty()) return out;
    putChunk(out, "IHDR", header_);
    QByteArray control;
    put32(control, uint32_t(frames_.size()));
    put32(control, 0);  // played in a loop
    putChunk(out, "acTL", control);
    uint32_t sequence = 0;
    for (size_t i = 0; i < frames_.size(); ++i) {
        const Frame& f = frames_[i];
        QByteArray fc;
        put32(fc, sequence++);
        put32(fc, uint32_t(f.area.width()));
        put32(fc, uint32_t(f.area.height()));
        put32(fc, uint32_t(f.area.x()));
        put32(fc, uint32_t(f.area.y()));
        put16(fc, uint16_t(f.delayMs));
        put16(fc, 1000);
        fc.append(char(0));  // dispose: none, the next frame is drawn over this one
        fc.append(char(0));  // blend: source, its pixels replace those below
        putChunk(out, "fcTL", fc);
        if (i == 0) {
            putChunk(out, "IDAT", f.data);
            continue;
        }
        QByteArray fd;
        put32(fd, sequence++);
        fd.append(f.data);
        putChunk(out, "fdAT", fd);
    }
    putChunk(out, "IEND", {});
    return out;
}

bool ApngWriter::write(const std::string& path, std::string& error) const {
    const QByteArray file = bytes();
    return output::writeWhole(path, std::string_view(file.constData(), size_t(file.size())), error);
}

}  // namespace qbx::replayview
