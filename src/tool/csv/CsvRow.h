#pragma once
// The rows of the csv tables, written straight into a block of bytes. The
// tables are most of what csv does (it writes twice the bytes it reads), so
// a field costs no allocation, no length check, no call of memcpy and no
// loop over its digits. Outside this file a row is one call per column,
// and each call places its own separator:
//
//     RowWriter row(rows, longest);
//     row.field("ck");
//     row.number(17);
//     row.empty();
//     row.end();  // "ck,17,\r\n"

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "core/eventlog/LogReader.h"

namespace qbx::tool::logs {

// Appends one field, quoted when it holds a comma, a quote or a line end.
void appendCsvField(std::string& row, std::string_view field);

namespace csv {

// The rows of one table for one session. The block keeps its size from
// session to session, and each row makes room once for the longest it can
// be, so that its fields are written without a check.
class RowBytes {
public:
    char* reserve(size_t bytes) {
        if (used_ + bytes > capacity_) grow(bytes);
        return block_.get() + used_;
    }
    void commit(char* end) { used_ = static_cast<size_t>(end - block_.get()); }
    void append(std::string_view bytes);
    const char* data() const { return block_.get(); }
    size_t size() const { return used_; }
    void clear() { used_ = 0; }

private:
    void grow(size_t bytes);
    std::unique_ptr<char[]> block_;
    size_t capacity_ = 0, used_ = 0;
};

// Most fields are a few bytes long (a card, a code, a place): they are
// copied with two loads and two stores of a fixed size that may overlap,
// never touching a byte outside the field, instead of a call of memcpy each.
template <size_t Size>
void copyEnds(char* to, const char* from, size_t n) {
    char head[Size], tail[Size];
    std::memcpy(head, from, Size);
    std::memcpy(tail, from + n - Size, Size);
    std::memcpy(to, head, Size);
    std::memcpy(to + n - Size, tail, Size);
}

// Always inlined: a dozen calls per row, and a field of fixed length ("ck")
// then takes no branch at all.
[[gnu::always_inline]] inline char* put(char* at, std::string_view text) {
    const char* from = text.data();
    const size_t n = text.size();
    // The shortest first: most fields are empty or a card or code of two bytes.
    if (n < 4) {
        if (n > 0) {
            at[0] = from[0];
            at[n / 2] = from[n / 2];
            at[n - 1] = from[n - 1];
        }
    } else if (n < 8) {
        copyEnds<4>(at, from, n);
    } else if (n < 16) {
        copyEnds<8>(at, from, n);
    } else if (n <= 32) {
        copyEnds<16>(at, from, n);
    } else {
        std::memcpy(at, from, n);
    }
    return at + n;
}

// The hundred two-digit numbers, "00" to "99".
inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A number's decimal digits, two at a time from the right, into exactly the
// room they take (20 bytes at most): a few numbers in every row.
inline char* putNumber(char* at, long long value) {
    // Hand numbers and most counts: one or two digits.
    if (static_cast<unsigned long long>(value) < 100) {
        if (value < 10) {
            *at = static_cast<char>('0' + value);
            return at + 1;
        }
        std::memcpy(at, kPairs + 2 * value, 2);
        return at + 2;
    }
    if (value < 0) *at++ = '-';
    unsigned long long rest = value < 0 ? 0 - static_cast<unsigned long long>(value) : value;
    // The digits from the highest bit (1233 / 4096 is just below log10 2),
    // set right by one look at the powers of ten: no loop to stall on.
    // clang-format off
    static constexpr unsigned long long kPowers[20] = {
        1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL, 100000000ULL, 1000000000ULL,
        10000000000ULL, 100000000000ULL, 1000000000000ULL, 10000000000000ULL, 100000000000000ULL,
        1000000000000000ULL, 10000000000000000ULL, 100000000000000000ULL, 1000000000000000000ULL,
        10000000000000000000ULL};
    // clang-format on
    const int below = static_cast<int>(std::bit_width(rest | 1) * 1233 >> 12);
    const int digits = below + ((rest | 1) >= kPowers[below]);
    char* end = at + digits;
    char* p = end;
    // Four digits per division while there are more than four, then two.
    for (; rest >= 10000; rest /= 10000) {
        const auto four = static_cast<unsigned>(rest % 10000);
        p -= 4;
        std::memcpy(p, kPairs + 2 * (four / 100), 2);
        std::memcpy(p + 2, kPairs + 2 * (four % 100), 2);
    }
    if (rest >= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest >= 10) {
        std::memcpy(p - 2, kPairs + 2 * rest, 2);
    } else {
        p[-1] = static_cast<char>('0' + rest);
    }
    return end;
}

// A stamp's milliseconds since midnight: the seconds' digits as the line
// has them, then the milliseconds in three digits. A stamp at second 0, or
// with its milliseconds past 999, is worked out instead.
inline char* putStampMs(char* at, const LogRecord& r) {
    if (r.first.seconds == 0 || r.first.millis > 999) return putNumber(at, r.first.ms());
    // The seconds are written without leading zeros: their digits are as
    // many as their value has (five from 02:46:40 on).
    const long s = r.first.seconds;
    const size_t digits = s >= 10000 ? 5 : s >= 1000 ? 4 : s >= 100 ? 3 : s >= 10 ? 2 : 1;
    at = put(at, r.raw.substr(0, digits));
    *at++ = static_cast<char>('0' + r.first.millis / 100);
    std::memcpy(at, kPairs + 2 * static_cast<size_t>(r.first.millis % 100), 2);
    return at + 2;
}

// True when the field holds a comma, a quote, a CR or a LF.
bool needsQuotes(std::string_view field);

// One field, quoted when it needs to be: at most twice its length and two
// bytes. The one quoting of the tables, for rows and for appendCsvField.
char* putField(char* at, std::string_view field);

// Fields written once and copied to the start of many rows (a session's
// own): each quoted when it needs to be and followed by its comma, as
// RowWriter::fields takes them.
std::string leadingFields(std::initializer_list<std::string_view> fields);

// One row, written field by field into the room reserved for it. Each call
// writes its field and the comma after it; end() turns the last comma into
// the row's CR LF. The calls are inlined, so a field costs what its bytes do.
class RowWriter {
public:
    // `longest`: the most bytes the row can take.
    RowWriter(RowBytes& rows, size_t longest) : rows_(rows), at_(rows.reserve(longest)) {}
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Fields made by leadingFields (or none).
    [[gnu::always_inline]] void fields(std::string_view leading) { at_ = put(at_, leading); }
    // Text that needs no quotes: a piece of a record the reader has matched
    // against its fixed words, a number as written, a name of ours.
    [[gnu::always_inline]] void field(std::string_view text) {
        assert(!needsQuotes(text));
        at_ = put(at_, text);
        *at_++ = ',';
    }
    // Free text, quoted when it needs to be.
    void text(std::string_view words) {
        at_ = putField(at_, words);
        *at_++ = ',';
    }
    [[gnu::always_inline]] void number(long long value) {
        at_ = putNumber(at_, value);
        *at_++ = ',';
    }
    // The number when there is one, else an empty field.
    [[gnu::always_inline]] void numberIf(bool known, long long value) {
        if (known) at_ = putNumber(at_, value);
        *at_++ = ',';
    }
    // The record's first stamp in milliseconds since midnight.
    [[gnu::always_inline]] void stampMs(const LogRecord& r) {
        at_ = putStampMs(at_, r);
        *at_++ = ',';
    }
    // As printf's "%.4f".
    void fourDecimals(double value);
    [[gnu::always_inline]] void empty() { *at_++ = ','; }
    // A row has at least one field: its last comma becomes the CR.
    [[gnu::always_inline]] void end() {
        at_[-1] = '\r';
        *at_++ = '\n';
        rows_.commit(at_);
    }

private:
    RowBytes& rows_;
    char* at_;
};

}  // namespace csv

}  // namespace qbx::tool::logs
