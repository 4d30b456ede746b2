// Reading one line of a log back into its fields, with the words the
// writers of LogFormat.cpp write. Every log line of every qbxtool command
// passes through here, so the common case is kept cheap: fixed words are
// compared by length and then in place, stamps read in one pass.

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/eventlog/LogFormat.h"

namespace qbx {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Equality with one of the fixed words of the records: the lengths first,
// then the bytes, which the compiler compares in place once it knows the
// word's length (a string_view's == is a call, then a call of memcmp).
bool equals(std::string_view text, std::string_view word) {
    return text.size() == word.size() && std::memcmp(text.data(), word.data(), word.size()) == 0;
}

// True when the line holds a byte below 0x20 (a control byte, a CR, or a
// tab, which is allowed): sixteen bytes at a time in a vector register where
// the compiler has them (one compare and one test), else eight in a word, as
// every line is looked at.
bool hasControlByte(std::string_view line) {
    const size_t n = line.size();
    const char* data = line.data();
#if defined(__GNUC__)
    if (n >= 16) {
        using Bytes = unsigned char __attribute__((vector_size(16)));
        using Words = uint64_t __attribute__((vector_size(16)));
        const auto below = [](const char* at) {
            Bytes bytes;
            std::memcpy(&bytes, at, 16);
            const Words flags = reinterpret_cast<Words>(bytes < 0x20);
            return (flags[0] | flags[1]) != 0;
        };
        for (size_t i = 0; i + 16 <= n; i += 16)
            if (below(data + i)) return true;
        // The last bytes as one more block, which overlaps the one before it.
        return below(data + n - 16);
    }
#endif
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    const auto below = [](uint64_t word) { return ((word - 0x20 * kOnes) & ~word & kHighs) != 0; };
    if (n < 8) {
        for (const char c : line)
            if (static_cast<unsigned char>(c) < 0x20) return true;
        return false;
    }
    uint64_t word;
    for (size_t i = 0; i + 8 <= n; i += 8) {
        std::memcpy(&word, data + i, 8);
        if (below(word)) return true;
    }
    // The last bytes as one more word, which overlaps the one before it.
    std::memcpy(&word, data + n - 8, 8);
    return below(word);
}

// A decimal number without leading zeros ("0" itself is fine).
bool readNumber(std::string_view text, size_t& at, long long& value, size_t maxDigits = 9) {
    const size_t start = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    const size_t digits = at - start;
    if (digits == 0 || digits > maxDigits) return false;
    if (digits > 1 && text[start] == '0') return false;
    value = 0;
    for (size_t i = start; i < at; ++i) value = value * 10 + (text[i] - '0');
    return true;
}

bool consume(std::string_view text, size_t& at, std::string_view literal) {
    if (text.substr(at, literal.size()) != literal) return false;
    at += literal.size();
    return true;
}

bool isPosition(std::string_view p) { return placeOfName(p) >= 0; }

// A card of a move or pick-up record: its number and H or C.
bool isCard(std::string_view c) { return c.size() == 2 && c[0] >= '2' && c[0] <= '4' && (c[1] == 'H' || c[1] == 'C'); }

// A dealt card is written as the shoe line had it: any colour letter the
// shoe reader takes (H for hearts, the others clubs).
bool isDealtCard(std::string_view c) {
    return c.size() == 2 && c[0] >= '2' && c[0] <= '4' &&
           (c[1] == 'H' || c[1] == 'C' || c[1] == 'c' || c[1] == 'k' || c[1] == 'n');
}

// One part of a stamp: 1 to maxDigits digits without leading zeros, then
// `after`. Every line has one or two stamps, so this is one pass.
[[gnu::always_inline]] inline bool readStampPart(const char*& at, const char* end, int maxDigits, char after,
                                                 long& value) {
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at once when the line has them: the digits found by a
        // mask and summed by three multiplications, not one at a time.
        if (end - at >= 8) {
            constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
            uint64_t word;
            std::memcpy(&word, at, 8);
            const uint64_t offsets = word ^ (0x30 * kOnes);  // a digit's byte is 0 to 9
            // A byte's high bit is set unless it is a digit (no carry crosses
            // a byte: its own high bit is kept aside).
            const uint64_t notDigit = (((offsets & ~kHighs) + 0x76 * kOnes) | offsets) & kHighs;
            const int digits = notDigit ? std::countr_zero(notDigit) / 8 : 8;
            if (digits == 0 || digits > maxDigits || (digits > 1 && *at == '0') || at[digits] != after) return false;
            // The digits moved to the top bytes, zeros below them, then
            // summed in pairs, fours and eights (the first byte is the highest digit).
            uint64_t v = offsets << (8 * (8 - digits));
            v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
            v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
            v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFULL;
            value = static_cast<long>(v);
            at += digits + 1;
            return true;
        }
    }
    // One digit more than a part may have is enough to refuse it.
    const char* limit = end - at > maxDigits ? at + maxDigits + 1 : end;
    const char* digit = at;
    long v = 0;
    for (; digit != limit && isDigit(*digit); ++digit) v = v * 10 + (*digit - '0');
    if (digit == at || digit - at > maxDigits || (digit - at > 1 && *at == '0') || digit == end || *digit != after)
        return false;
    value = v;
    at = digit + 1;
    return true;
}

// Reads "<seconds>.<millis>:".
enum class StampRead { Ok, NotAStamp, Bad };
StampRead readStamp(std::string_view text, size_t& at, LogStamp& stamp) {
    if (at >= text.size() || !isDigit(text[at])) return StampRead::NotAStamp;
    const char* p = text.data() + at;
    const char* end = text.data() + text.size();
    long seconds = 0, millis = 0;
    if (!readStampPart(p, end, 5, '.', seconds) || seconds >= 86400) return StampRead::Bad;
    if (!readStampPart(p, end, 4, ':', millis) || millis > 1005) return StampRead::Bad;
    at = static_cast<size_t>(p - text.data());
    stamp.seconds = seconds;
    stamp.millis = static_cast<int>(millis);
    return StampRead::Ok;
}

// True when the line's first `length` bytes, a stamp and its colon (4 to 11
// bytes), come again right after it: compared as two words that may
// overlap, not by a call of memcmp.
bool stampWrittenTwice(std::string_view line, size_t length) {
    if (line.size() < 2 * length) return false;
    const char* first = line.data();
    const char* second = first + length;
    if (length >= 8) {
        uint64_t a[2], b[2];
        std::memcpy(&a[0], first, 8);
        std::memcpy(&a[1], first + length - 8, 8);
        std::memcpy(&b[0], second, 8);
        std::memcpy(&b[1], second + length - 8, 8);
        return a[0] == b[0] && a[1] == b[1];
    }
    return std::memcmp(first, second, length) == 0;
}

// Where the first `byte` at or after `from` is; the text's size when none is.
size_t findByte(std::string_view text, size_t from, char byte) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
        const uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
        for (; text.size() - from >= 8; from += 8) {
            uint64_t word;
            std::memcpy(&word, text.data() + from, 8);
            const uint64_t x = word ^ pattern;  // 0 where the byte is
            // The lowest flag marks the first zero byte exactly (a borrow
            // can only flag bytes above it).
            if (const uint64_t zero = (x - kOnes) & ~x & kHighs) return from + std::countr_zero(zero) / 8;
        }
    }
    while (from < text.size() && text[from] != byte) ++from;
    return from;
}

// Splits "a;b;c;d" at `at` up to the first ':' after it.
bool splitFields(std::string_view text, size_t& at, std::string_view* fields, int count, char separator = ';') {
    // The fields are a few bytes long: no call per field; eight bytes looked
    // at together while the line has them.
    for (int i = 0; i < count; ++i) {
        const char end = i + 1 < count ? separator : ':';
        const size_t stop = findByte(text, at, end);
        if (stop == text.size()) return false;
        fields[i] = text.substr(at, stop - at);
        at = stop + 1;
    }
    return true;
}

char roleOfKeeper(std::string_view text, std::string_view ck, std::string_view nk) {
    if (equals(text, ck)) return 'c';
    if (equals(text, nk)) return 'n';
    return 0;
}

// True when `score` is a score as the game writes it: the shortest decimal
// of its value (scoreText). A plain decimal of at most 12 digits before the
// point and 3 after it, the last of them not 0, is that form by itself (15
// significant digits survive a double, and such a value is never written
// with an exponent): most scores are checked without being written again.
bool isWrittenScore(std::string_view score, double value) {
    size_t at = score.size() > 1 && score[0] == '-' ? 1 : 0;
    const size_t intStart = at;
    while (at < score.size() && isDigit(score[at])) ++at;
    const size_t intDigits = at - intStart;
    bool plain = intDigits >= 1 && intDigits <= 12 && (intDigits == 1 || score[intStart] != '0');
    if (plain && at < score.size()) {
        const size_t fracStart = ++at;
        while (at < score.size() && isDigit(score[at])) ++at;
        const size_t fracDigits = at - fracStart;
        plain = score[fracStart - 1] == '.' && fracDigits >= 1 && fracDigits <= 3 && score[at - 1] != '0';
    }
    if (plain && at == score.size() && !(intStart == 1 && value == 0)) return true;  // "-0" is not written
    return scoreText(value) == score;
}

bool unknown(long lineNumber, LogFault& fault, const std::string& what) {
    fault = {lineNumber, LogFaultKind::UnknownRecord, what};
    return false;
}

// `text` is `first` followed by `second`.
bool equalsJoined(std::string_view text, std::string_view first, std::string_view second) {
    return text.size() == first.size() + second.size() && equals(text.substr(0, first.size()), first) &&
           equals(text.substr(first.size()), second);
}

bool parseOneStampBody(std::string_view body, LogRecord& r) {
    using namespace logtext;
    if (equals(body, kCkHeader) || equals(body, kNkHeader)) {
        r.kind = LogRecordKind::RoleHeader;
        r.code = body.substr(0, kRoleHeaderCode.size());
        r.role = body[3] == 'C' ? 'c' : 'n';
        r.text = body.substr(3);
        return true;
    }
    if (equals(body, kGameBegins)) {
        r.kind = LogRecordKind::GameBegins;
        r.text = body;
        return true;
    }
    if (body.size() >= kParticipantStart.size() + kParticipantEnd.size() &&
        body.substr(0, kParticipantStart.size()) == kParticipantStart &&
        body.substr(body.size() - kParticipantEnd.size()) == kParticipantEnd) {
        r.kind = LogRecordKind::UserHeader;
        r.participant =
            body.substr(kParticipantStart.size(), body.size() - kParticipantStart.size() - kParticipantEnd.size());
        r.text = body;
        return true;
    }
    if (equals(body, kFixedHeader)) {
        r.kind = LogRecordKind::FixedHeader;
        r.text = body;
        return true;
    }
    if (equals(body, kHandEnded)) {
        r.kind = LogRecordKind::HandEndClose;
        r.text = body.substr(1);
        return true;
    }
    if (equals(body, kGameDone)) {
        r.kind = LogRecordKind::GameDone;
        r.text = body.substr(1);
        return true;
    }
    return false;
}

bool parseTwoStampBody(std::string_view body, LogRecord& r) {
    using namespace logtext;
    if (body.size() < 3 || body[2] != ':') return false;
    r.code = body.substr(0, 2);
    size_t at = 3;
    const std::string_view code = r.code;
    if (equals(code, kGameStartCode)) {
        if (!equals(body, kGameStarted)) return false;
        r.kind = LogRecordKind::GameStarted;
        r.text = body.substr(4, body.size() - 4 - 2);  // "Game started"
        return true;
    }
    if (equals(code, kDealCode)) {
        std::string_view f[2];
        if (!splitFields(body, at, f, 2) || !isDealtCard(f[0]) || !isPosition(f[1])) return false;
        if (!equals(body.substr(at), kCardDealt)) return false;
        r.kind = LogRecordKind::CardDealt;
        r.cardA = f[0];
        r.positionA = f[1];
        r.text = body.substr(at);
        return true;
    }
    if (equals(code, kPickUpCode)) {
        std::string_view f[2];
        if (!splitFields(body, at, f, 2, ':') || !isCard(f[0]) || !isPosition(f[1])) return false;
        r.role = roleOfKeeper(body.substr(at), kCkPickUp, kNkPickUp);
        if (!r.role) return false;
        r.kind = LogRecordKind::PickedUp;
        r.cardA = f[0];
        r.positionA = f[1];
        r.text = body.substr(at);
        return true;
    }
    if (equals(code, kLookCode)) {
        r.role = roleOfKeeper(body.substr(3), kCkLook, kNkLook);
        if (!r.role) return false;
        r.kind = LogRecordKind::LookedAt;
        r.text = body.substr(4);
        return true;
    }
    if (equals(code, kOwnMoveCode) || equals(code, kRemoteMoveCode)) {
        std::string_view f[4];
        if (!splitFields(body, at, f, 4) || !isCard(f[0]) || !isPosition(f[1]) || !isCard(f[2]) || !isPosition(f[3]))
            return false;
        r.cardA = f[0];
        r.positionA = f[1];
        r.cardB = f[2];
        r.positionB = f[3];
        r.text = body.substr(at);
        if (equals(code, kRemoteMoveCode)) {
            if (!equals(r.text, kRemoteMove)) return false;
            r.kind = LogRecordKind::RemoteMove;
            return true;
        }
        r.role = roleOfKeeper(r.text, kCkMoved, kNkMoved);
        if (!r.role) return false;
        r.kind = LogRecordKind::OwnMove;
        return true;
    }
    if (equals(code, kOwnPassCode)) {
        const std::string_view rest = body.substr(3);
        r.role = equalsJoined(rest, kCkPassed, kPassTail) ? 'c' : equalsJoined(rest, kNkPassed, kPassTail) ? 'n' : 0;
        if (!r.role) return false;
        r.kind = LogRecordKind::OwnPass;
        r.text = body.substr(4, body.size() - 4 - kPassTail.size());
        return true;
    }
    if (equals(code, kRemotePassCode)) {
        if (!equalsJoined(body.substr(3), kRemotePass, kPassTail)) return false;
        r.kind = LogRecordKind::RemotePass;
        r.text = body.substr(4, body.size() - 4 - kPassTail.size());
        return true;
    }
    if (equals(code, kGoalCode) && equals(body, kShoeExhausted)) {
        r.kind = LogRecordKind::ShoeExhausted;
        r.text = body.substr(4);
        return true;
    }
    if (equals(code, kGoalCode) || equals(code, kFourPassesCode) || equals(code, kMoveLimitCode)) {
        long long moves = 0;
        if (!readNumber(body, at, moves, 9) || !consume(body, at, ";")) return false;
        const size_t colon = body.find(':', at);
        if (colon == std::string_view::npos || !equals(body.substr(colon), kHandEnded)) return false;
        const std::string_view score = body.substr(at, colon - at);
        double value = 0;
        const auto result = std::from_chars(score.data(), score.data() + score.size(), value);
        if (result.ec != std::errc() || result.ptr != score.data() + score.size()) return false;
        // Scores are written in one form only: the shortest decimal.
        if (!isWrittenScore(score, value)) return false;
        r.kind = LogRecordKind::HandEnded;
        r.moves = static_cast<int>(moves);
        r.score = score;
        r.scoreValue = value;
        r.text = body.substr(colon + 1);
        return true;
    }
    return false;
}

}  // namespace

bool parseLogLine(std::string_view line, long lineNumber, LogRecord& r, LogFault& fault) {
    r.clear();
    r.line = lineNumber;
    r.raw = line;
    // Most lines have no byte below 0x20; the loop only names the one found.
    if (hasControlByte(line)) {
        for (unsigned char c : line) {
            if (c == '\r') {
                fault = {lineNumber, LogFaultKind::BareReturn, "carriage return without line feed inside the line"};
                return false;
            }
            if (c < 0x20 && c != '\t') {
                char what[64];
                std::snprintf(what, sizeof what, "byte 0x%02x: not text", c);
                fault = {lineNumber, LogFaultKind::NotText, what};
                return false;
            }
        }
    }
    constexpr std::string_view kTotal = logtext::kTotalMove;
    if (line.substr(0, kTotal.size()) == kTotal) {
        size_t at = kTotal.size();
        long long total = 0;
        if (!readNumber(line, at, total, 12) || at != line.size())
            return unknown(lineNumber, fault, "TotalMove is not followed by a number");
        r.kind = LogRecordKind::TotalMoves;
        r.totalMoves = total;
        r.text = line.substr(0, kTotal.size() - 1);
        return true;
    }
    size_t at = 0;
    switch (readStamp(line, at, r.first)) {
    case StampRead::NotAStamp: return unknown(lineNumber, fault, "no time stamp at the start of the line");
    case StampRead::Bad:
        fault = {lineNumber, LogFaultKind::BadStamp,
                 "the time stamp is not seconds.milliseconds: without leading zeros"};
        return false;
    case StampRead::Ok: break;
    }
    r.stampCount = 1;
    const size_t afterFirst = at;
    // Most records write one clock reading twice: the same bytes give the
    // same stamp.
    if (stampWrittenTwice(line, afterFirst)) {
        r.second = r.first;
        r.stampCount = 2;
        if (!parseTwoStampBody(line.substr(2 * afterFirst), r))
            return unknown(lineNumber, fault,
                           "not a record of the game: \"" + std::string(line.substr(2 * afterFirst, 40)) + "\"");
        return true;
    }
    switch (readStamp(line, at, r.second)) {
    case StampRead::NotAStamp:
        if (!parseOneStampBody(line.substr(afterFirst), r))
            return unknown(lineNumber, fault,
                           "not a record of the game: \"" + std::string(line.substr(afterFirst, 40)) + "\"");
        return true;
    case StampRead::Bad:
        fault = {lineNumber, LogFaultKind::BadStamp,
                 "the second time stamp is not seconds.milliseconds: without leading zeros"};
        return false;
    case StampRead::Ok: break;
    }
    r.stampCount = 2;
    if (!parseTwoStampBody(line.substr(at), r))
        return unknown(lineNumber, fault, "not a record of the game: \"" + std::string(line.substr(at, 40)) + "\"");
    return true;
}

}  // namespace qbx
