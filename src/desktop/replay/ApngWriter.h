#pragma once
// An animated PNG, written here: each frame is encoded as a PNG by Qt, and
// its compressed image data goes into the animation's frame chunks (acTL,
// fcTL, fdAT), each with its sequence number and CRC-32. A frame the same as
// the one before only lengthens that one; a frame that differs is stored as
// the rectangle that changed, drawn over the frame before.

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qbx::replayview {

// The CRC-32 of PNG chunks (ISO 3309), table-driven.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

class ApngWriter {
public:
    // Frames all of the first frame's size; each shows for `delayMs`.
    // False when the frame cannot be encoded or has another size.
    bool addFrame(const QImage& frame, int delayMs);
    // Frames stored (a frame the same as the one before is not one).
    int frames() const { return int(frames_.size()); }
    // The file's bytes: the first frame is also the still picture a viewer
    // without animation shows.
    QByteArray bytes() const;
    // Written whole or not at all (a temporary name in the same folder, then
    // renamed), or to standard output for "-". False with `error`.
    bool write(const std::string& path, std::string& error) const;

private:
    struct Frame {
        QRect area;       // where it lies on the first frame
        QByteArray data;  // the zlib stream of its pixels (IDAT contents)
        int delayMs = 0;
    };
    QImage last_;
    QByteArray header_;  // the first frame's IHDR contents
    std::vector<Frame> frames_;
};

}  // namespace qbx::replayview
