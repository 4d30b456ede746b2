#include "tool/csv/CsvRow.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace qbx::tool::logs {

namespace csv {

void RowBytes::grow(size_t bytes) {
    const size_t capacity = std::max(capacity_ * 2, used_ + bytes + (1 << 16));
    std::unique_ptr<char[]> bigger(new char[capacity]);
    if (used_) std::memcpy(bigger.get(), block_.get(), used_);
    block_ = std::move(bigger);
    capacity_ = capacity;
}

void RowBytes::append(std::string_view bytes) { commit(put(reserve(bytes.size()), bytes)); }

// Eight bytes at a time: every participant header's text is looked at.
bool needsQuotes(std::string_view field) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    // True when a byte of the word is c: the bytes equal to c become zero,
    // and only a zero byte borrows into its own high bit.
    auto holds = [](uint64_t word, char c) {
        const uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
        return ((x - kOnes) & ~x & kHighs) != 0;
    };
    size_t i = 0;
    for (; i + 8 <= field.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, field.data() + i, 8);
        if (holds(word, ',') || holds(word, '"') || holds(word, '\r') || holds(word, '\n')) return true;
    }
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    }
    return false;
}

char* putField(char* at, std::string_view field) {
    if (!needsQuotes(field)) return put(at, field);
    *at++ = '"';
    for (const char c : field) {
        if (c == '"') *at++ = '"';
        *at++ = c;
    }
    *at++ = '"';
    return at;
}

std::string leadingFields(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (const std::string_view field : fields) {
        appendCsvField(out, field);
        out += ',';
    }
    return out;
}

void RowWriter::fourDecimals(double value) {
    at_ += std::snprintf(at_, 32, "%.4f", value);
    *at_++ = ',';
}

}  // namespace csv

void appendCsvField(std::string& row, std::string_view field) {
    const size_t from = row.size();
    row.resize(from + 2 * field.size() + 2);
    row.resize(static_cast<size_t>(csv::putField(row.data() + from, field) - row.data()));
}

}  // namespace qbx::tool::logs
