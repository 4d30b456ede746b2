#pragma once
// SHA-256 (FIPS 180-4) of bytes, for the run record's setup hashes: small
// enough to keep in the core, checked against the standard's test vectors.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qbx {

class Sha256 {
public:
    Sha256();
    void update(const void* data, size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The digest as 64 lower-case hex digits; the object is spent after it.
    std::string hexDigest();

private:
    void block(const uint8_t* p);
    std::array<uint32_t, 8> h_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes so far
};

// The SHA-256 of bytes as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

}  // namespace qbx
