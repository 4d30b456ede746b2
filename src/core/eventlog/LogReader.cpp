#include "core/eventlog/LogReader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/eventlog/TimeStamp.h"

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
// tab, which is allowed): eight bytes at a time, as every line is looked at.
bool hasControlByte(std::string_view line) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    size_t i = 0;
    for (; i + 8 <= line.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, line.data() + i, 8);
        if ((word - 0x20 * kOnes) & ~word & kHighs) return true;
    }
    for (; i < line.size(); ++i)
        if (static_cast<unsigned char>(line[i]) < 0x20) return true;
    return false;
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

// The six places differ in length but for two: one comparison each.
bool isPosition(std::string_view p) {
    switch (p.size()) {
    case 10: return equals(p, "upCardView");
    case 13: return equals(p, "colorCardView");
    case 14: return p == (p[0] == 'n' ? "numberCardView" : "targetCardView");
    case 17: return equals(p, "downColorCardView");
    case 18: return equals(p, "downNumberCardView");
    default: return false;
    }
}

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
bool readStampPart(const char*& at, const char* end, int maxDigits, char after, long& value) {
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

// Splits "a;b;c;d" at `at` up to the first ':' after it.
bool splitFields(std::string_view text, size_t& at, std::string_view* fields, int count, char separator = ';') {
    // The fields are a few bytes long: a plain loop, no call per field.
    for (int i = 0; i < count; ++i) {
        const char end = i + 1 < count ? separator : ':';
        size_t stop = at;
        while (stop < text.size() && text[stop] != end) ++stop;
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

// A blank record but for its line number and raw line, which the parser
// sets: field by field, a few plain stores, where assigning LogRecord{} is
// one string instruction slow to start, on every line.
void clearRecord(LogRecord& r) {
    // (The size as built for 64-bit Linux, a reminder when a field is added.)
    static_assert(sizeof(long) != 8 || sizeof(void*) != 8 || sizeof(LogRecord) == 216,
                  "a field added to LogRecord is cleared here too");
    r.kind = LogRecordKind::RoleHeader;
    r.stampCount = 0;
    // Each field set on its own: a chain (a = b = {}) has the compiler store
    // a field and load it again for the next, which stalls.
    r.first = LogStamp{};
    r.second = LogStamp{};
    r.code = {};
    r.cardA = {};
    r.positionA = {};
    r.cardB = {};
    r.positionB = {};
    r.role = 0;
    r.moves = -1;
    r.score = {};
    r.scoreValue = 0;
    r.totalMoves = -1;
    r.participant = {};
    r.text = {};
}

bool unknown(long lineNumber, LogFault& fault, const std::string& what) {
    fault = {lineNumber, LogFaultKind::UnknownRecord, what};
    return false;
}

bool parseOneStampBody(std::string_view body, LogRecord& r) {
    if (equals(body, "TF:CK") || equals(body, "TF:NK")) {
        r.kind = LogRecordKind::RoleHeader;
        r.code = body.substr(0, 2);
        r.role = body[3] == 'C' ? 'c' : 'n';
        r.text = body.substr(3);
        return true;
    }
    if (equals(body, "Game begins")) {
        r.kind = LogRecordKind::GameBegins;
        r.text = body;
        return true;
    }
    static constexpr std::string_view kUser = "userID:userName ";
    static constexpr std::string_view kUserEnd = ":gameNum -1:partner 1";
    if (body.size() >= kUser.size() + kUserEnd.size() && body.substr(0, kUser.size()) == kUser &&
        body.substr(body.size() - kUserEnd.size()) == kUserEnd) {
        r.kind = LogRecordKind::UserHeader;
        r.participant = body.substr(kUser.size(), body.size() - kUser.size() - kUserEnd.size());
        r.text = body;
        return true;
    }
    if (equals(body, "errorsMade 0:score 0:row 0column 0")) {
        r.kind = LogRecordKind::FixedHeader;
        r.text = body;
        return true;
    }
    if (equals(body, ":Hand Ended")) {
        r.kind = LogRecordKind::HandEndClose;
        r.text = body.substr(1);
        return true;
    }
    if (equals(body, ":gameDone")) {
        r.kind = LogRecordKind::GameDone;
        r.text = body.substr(1);
        return true;
    }
    return false;
}

bool parseTwoStampBody(std::string_view body, LogRecord& r) {
    if (body.size() < 3 || body[2] != ':') return false;
    r.code = body.substr(0, 2);
    size_t at = 3;
    const std::string_view code = r.code;
    if (equals(code, "GS")) {
        if (!equals(body, "GS:;Game started;;")) return false;
        r.kind = LogRecordKind::GameStarted;
        r.text = "Game started";
        return true;
    }
    if (equals(code, "GC")) {
        std::string_view f[2];
        if (!splitFields(body, at, f, 2) || !isDealtCard(f[0]) || !isPosition(f[1])) return false;
        if (!equals(body.substr(at), "Card dealt")) return false;
        r.kind = LogRecordKind::CardDealt;
        r.cardA = f[0];
        r.positionA = f[1];
        r.text = body.substr(at);
        return true;
    }
    if (equals(code, "pR")) {
        std::string_view f[2];
        if (!splitFields(body, at, f, 2, ':') || !isCard(f[0]) || !isPosition(f[1])) return false;
        r.role = roleOfKeeper(body.substr(at), "ColorKeeperRemoved card", "NumberKeeperRemoved card");
        if (!r.role) return false;
        r.kind = LogRecordKind::PickedUp;
        r.cardA = f[0];
        r.positionA = f[1];
        r.text = body.substr(at);
        return true;
    }
    if (equals(code, "pL")) {
        r.role = roleOfKeeper(body.substr(3), ":ColorKeeper looked at hand card", ":NumberKeeper looked at hand card");
        if (!r.role) return false;
        r.kind = LogRecordKind::LookedAt;
        r.text = body.substr(4);
        return true;
    }
    if (equals(code, "PM") || equals(code, "RM")) {
        std::string_view f[4];
        if (!splitFields(body, at, f, 4) || !isCard(f[0]) || !isPosition(f[1]) || !isCard(f[2]) || !isPosition(f[3]))
            return false;
        r.cardA = f[0];
        r.positionA = f[1];
        r.cardB = f[2];
        r.positionB = f[3];
        r.text = body.substr(at);
        if (equals(code, "RM")) {
            if (!equals(r.text, "Remote move card")) return false;
            r.kind = LogRecordKind::RemoteMove;
            return true;
        }
        r.role = roleOfKeeper(r.text, "Color Keeper moved card", "Number Keeper moved card");
        if (!r.role) return false;
        r.kind = LogRecordKind::OwnMove;
        return true;
    }
    if (equals(code, "PP")) {
        r.role = roleOfKeeper(body.substr(3), ":Colorkeeper passed turn:;;;", ":Numberkeeper passed turn:;;;");
        if (!r.role) return false;
        r.kind = LogRecordKind::OwnPass;
        r.text = body.substr(4, body.size() - 4 - 4);
        return true;
    }
    if (equals(code, "RP")) {
        if (!equals(body, "RP::Remote pass received:;;;")) return false;
        r.kind = LogRecordKind::RemotePass;
        r.text = body.substr(4, body.size() - 4 - 4);
        return true;
    }
    if (equals(code, "GE") && equals(body, "GE::Game ended due to exhaustion of shoe")) {
        r.kind = LogRecordKind::ShoeExhausted;
        r.text = body.substr(4);
        return true;
    }
    if (equals(code, "GE") || equals(code, "GP") || equals(code, "GM")) {
        long long moves = 0;
        if (!readNumber(body, at, moves, 9) || !consume(body, at, ";")) return false;
        const size_t colon = body.find(':', at);
        if (colon == std::string_view::npos || !equals(body.substr(colon), ":Hand Ended")) return false;
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

std::string LogName::isoDate() const {
    return "20" + date.substr(4, 2) + "-" + date.substr(2, 2) + "-" + date.substr(0, 2);
}

std::optional<LogName> parseLogName(std::string_view fileName) {
    LogName name;
    if (fileName.substr(0, 2) == "ck")
        name.colorKeeper = true;
    else if (fileName.substr(0, 2) == "nk")
        name.colorKeeper = false;
    else
        return std::nullopt;
    if (fileName.size() < 2 + 6 + 1 + 1 + 4 || fileName.substr(fileName.size() - 4) != ".txt") return std::nullopt;
    const std::string_view date = fileName.substr(2, 6);
    for (char c : date)
        if (!isDigit(c)) return std::nullopt;
    const int day = (date[0] - '0') * 10 + (date[1] - '0');
    const int month = (date[2] - '0') * 10 + (date[3] - '0');
    if (day < 1 || day > 31 || month < 1 || month > 12) return std::nullopt;
    if (fileName[8] != '_') return std::nullopt;
    const std::string_view number = fileName.substr(9, fileName.size() - 9 - 4);
    size_t at = 0;
    long long value = 0;
    if (!readNumber(number, at, value, 4) || at != number.size()) return std::nullopt;
    name.date = std::string(date);
    name.number = static_cast<int>(value);
    name.suffix = name.date + "_" + std::string(number);
    return name;
}

std::string partnerLogName(const LogName& name) { return (name.colorKeeper ? "nk" : "ck") + name.suffix + ".txt"; }

const char* recordKindName(LogRecordKind kind) {
    switch (kind) {
    case LogRecordKind::RoleHeader: return "role header";
    case LogRecordKind::GameBegins: return "game begins";
    case LogRecordKind::UserHeader: return "participant header";
    case LogRecordKind::FixedHeader: return "fixed header";
    case LogRecordKind::GameStarted: return "game started";
    case LogRecordKind::CardDealt: return "card dealt";
    case LogRecordKind::PickedUp: return "pick-up";
    case LogRecordKind::LookedAt: return "look";
    case LogRecordKind::OwnMove: return "own move";
    case LogRecordKind::RemoteMove: return "remote move";
    case LogRecordKind::OwnPass: return "own pass";
    case LogRecordKind::RemotePass: return "remote pass";
    case LogRecordKind::HandEnded: return "hand end";
    case LogRecordKind::HandEndClose: return "hand end close";
    case LogRecordKind::ShoeExhausted: return "end of shoe";
    case LogRecordKind::GameDone: return "game done";
    case LogRecordKind::TotalMoves: return "total moves";
    }
    return "?";
}

const char* faultKindName(LogFaultKind kind) {
    switch (kind) {
    case LogFaultKind::CannotRead: return "cannot read";
    case LogFaultKind::CutLine: return "cut line";
    case LogFaultKind::BareLineFeed: return "line feed without carriage return";
    case LogFaultKind::BareReturn: return "carriage return without line feed";
    case LogFaultKind::NotText: return "not text";
    case LogFaultKind::LongLine: return "line too long";
    case LogFaultKind::BadStamp: return "bad time stamp";
    case LogFaultKind::UnknownRecord: return "unknown record";
    }
    return "?";
}

bool parseLogLine(std::string_view line, long lineNumber, LogRecord& r, LogFault& fault) {
    clearRecord(r);
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
    static constexpr std::string_view kTotal = "TotalMove:";
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

LogReader::~LogReader() {
    if (fd_ >= 0) ::close(fd_);
}

namespace {

// Logs are read as bytes: on Windows a file opened without O_BINARY would
// turn each CR LF into LF, and every line would look cut.
#ifdef _WIN32
constexpr int kReadFlags = O_RDONLY | O_BINARY;
#else
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC;
#endif

}  // namespace

bool LogReader::open(const std::string& path, std::string& error, size_t bufferSize) {
    fd_ = ::open(path.c_str(), kReadFlags);
    struct stat st {};
    if (fd_ < 0) {
        const int why = errno;
        error =
            ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? "a directory, not a log file" : std::strerror(why);
        return false;
    }
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "a directory, not a log file" : std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    // A regular file is read up to the size it has now; a log still being
    // written is then read as far as it had come.
    sizeAtOpen_ = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
    readSoFar_ = 0;
    capacity_ = std::max(bufferSize, 2 * kLongestLine);
    buffer_.reset(new char[capacity_]);
    return true;
}

void LogReader::openText(std::string_view bytes) {
    fromMemory_ = true;
    memory_ = bytes;
    begin_ = 0;
    end_ = bytes.size();
    eof_ = true;
}

bool LogReader::fill() {
    if (eof_ || fromMemory_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) return false;  // a full buffer and no line end: the caller deals with it
    for (;;) {
        const size_t wanted = capacity_ - end_;
        const ssize_t got = ::read(fd_, buffer_.get() + end_, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            readError_ = true;
            readErrorText_ = std::strerror(errno);
            eof_ = true;
            return false;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        end_ += static_cast<size_t>(got);
        readSoFar_ += got;
        // Its whole size read, a regular file has ended: a log usually fits
        // the buffer, and is then read with one call. A short read before
        // that (a network file system may give one) is no end.
        if (sizeAtOpen_ >= 0 && readSoFar_ >= sizeAtOpen_) eof_ = true;
        return true;
    }
}

LogReader::Next LogReader::next(LogRecord& record, LogFault& fault) {
    for (;;) {
        const char* data = fromMemory_ ? memory_.data() : buffer_.get();
        const char* lf = static_cast<const char*>(std::memchr(data + begin_, '\n', end_ - begin_));
        if (!lf) {
            // No complete line yet: read more, unless the line is already
            // longer than any record, or the file has ended.
            if (end_ - begin_ <= kLongestLine && fill()) continue;
            data = fromMemory_ ? memory_.data() : buffer_.get();
            if (readError_) {
                readError_ = false;
                fault = {line_ + 1, LogFaultKind::CannotRead, "read error (" + readErrorText_ + ")"};
                begin_ = end_;
                return Next::Fault;
            }
            if (end_ == begin_) return Next::End;
            if (end_ - begin_ > kLongestLine) {
                // Drop the start of an overlong line and keep looking for its end.
                if (!skippingLongLine_) {
                    skippingLongLine_ = true;
                    ++line_;
                    consumedTotal_ += static_cast<long long>(end_ - begin_);
                    begin_ = end_;
                    fault = {line_, LogFaultKind::LongLine,
                             "a line longer than " + std::to_string(kLongestLine) + " bytes: not a log record"};
                    return Next::Fault;
                }
                consumedTotal_ += static_cast<long long>(end_ - begin_);
                begin_ = end_;
                continue;
            }
            // The file ends inside a line.
            const std::string_view rest(data + begin_, end_ - begin_);
            consumedTotal_ += static_cast<long long>(rest.size());
            begin_ = end_;
            if (skippingLongLine_) {
                skippingLongLine_ = false;
                return Next::End;
            }
            ++line_;
            fault = {line_, LogFaultKind::CutLine,
                     "the file ends inside this line (no CR LF after \"" + std::string(rest.substr(0, 40)) + "\")"};
            return Next::Fault;
        }
        const size_t lineEnd = static_cast<size_t>(lf - data);
        std::string_view line(data + begin_, lineEnd - begin_);
        consumedTotal_ += static_cast<long long>(line.size() + 1);
        begin_ = lineEnd + 1;
        if (skippingLongLine_) {
            skippingLongLine_ = false;
            continue;
        }
        ++line_;
        if (line.size() > kLongestLine) {
            fault = {line_, LogFaultKind::LongLine,
                     "a line longer than " + std::to_string(kLongestLine) + " bytes: not a log record"};
            return Next::Fault;
        }
        if (line.empty() || line.back() != '\r') {
            fault = {line_, LogFaultKind::BareLineFeed, "the line ends in LF without CR"};
            return Next::Fault;
        }
        line.remove_suffix(1);
        if (!parseLogLine(line, line_, record, fault)) return Next::Fault;
        return Next::Record;
    }
}

}  // namespace qbx
