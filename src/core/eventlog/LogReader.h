#pragma once
// Reading an event log back: one record per line, split into its time
// stamps, code, cards and positions, counts, score and text. The reader
// streams (a fixed buffer, whatever the file's size) and never throws on bad
// bytes: every line that is not a record of the game is a fault with its
// line number. The views in a LogRecord point into the reader's buffer and
// stay valid until the next call of next().

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qbx {

// A log's name: "ck" or "nk", the date "ddmmyy", "_", a number 0..9999 without
// leading zeros, ".txt". Both logs of a run share everything after the role.
struct LogName {
    bool colorKeeper = true;
    std::string date;             // "061226"
    int number = 0;               // 417
    std::string suffix;           // "061226_417": the session
    std::string isoDate() const;  // "2026-12-06"
};
std::optional<LogName> parseLogName(std::string_view fileName);
// The other role's file name for a log name ("ck061226_417.txt" gives
// "nk061226_417.txt").
std::string partnerLogName(const LogName& name);

// A time stamp as written: seconds since midnight and milliseconds. The
// milliseconds of a delayed stamp may pass 999 (they are never carried).
struct LogStamp {
    long seconds = 0;
    int millis = 0;
    long long ms() const { return seconds * 1000LL + millis; }
};

enum class LogRecordKind : uint8_t {
    RoleHeader,     // TF:CK / TF:NK
    GameBegins,     // Game begins
    UserHeader,     // userID:userName <code>:gameNum -1:partner 1
    FixedHeader,    // errorsMade 0:score 0:row 0column 0
    GameStarted,    // GS:;Game started;;
    CardDealt,      // GC:<card>;<position>:Card dealt
    PickedUp,       // pR:<card>:<position>:ColorKeeperRemoved card
    LookedAt,       // pL::ColorKeeper looked at hand card
    OwnMove,        // PM:<card>;<position>;<hand card>;<hand position>:Color Keeper moved card
    RemoteMove,     // RM:...:Remote move card
    OwnPass,        // PP::Colorkeeper passed turn:;;;
    RemotePass,     // RP::Remote pass received:;;;
    HandEnded,      // GE:/GP:/GM:<moves>;<score>:Hand Ended
    HandEndClose,   // <stamp>:Hand Ended
    ShoeExhausted,  // GE::Game ended due to exhaustion of shoe
    GameDone,       // <stamp>:gameDone
    TotalMoves,     // TotalMove:<n>
};
const char* recordKindName(LogRecordKind kind);

struct LogRecord {
    long line = 0;
    LogRecordKind kind = LogRecordKind::RoleHeader;
    int stampCount = 0;  // 0, 1 or 2
    LogStamp first, second;
    std::string_view code;  // "TF", "GS", "GC", "pR", "pL", "PM", "RM", "PP", "RP", "GE", "GP", "GM"; empty otherwise
    std::string_view cardA, positionA, cardB, positionB;
    // The role the record's text names ('c' ColorKeeper, 'n' NumberKeeper),
    // for TF, pR, pL, PM and PP; 0 for the others.
    char role = 0;
    int moves = -1;          // hand ended
    std::string_view score;  // hand ended, as written
    double scoreValue = 0;
    long long totalMoves = -1;     // TotalMove
    std::string_view participant;  // user header: the code as written, blanks included
    std::string_view text;         // the record's text ("Card dealt", "Hand Ended", ...)
    std::string_view raw;          // the whole line without its CR LF
};

enum class LogFaultKind : uint8_t {
    CannotRead,     // the file cannot be opened or read
    CutLine,        // the last line has no line end
    BareLineFeed,   // LF without CR before it
    BareReturn,     // CR not followed by LF
    NotText,        // control bytes in a line
    LongLine,       // longer than any record can be
    BadStamp,       // a time stamp that is not a number of the right form
    UnknownRecord,  // a line that is no record of the game
};
const char* faultKindName(LogFaultKind kind);

struct LogFault {
    long line = 0;
    LogFaultKind kind = LogFaultKind::UnknownRecord;
    std::string what;
};

// Parses one line (without its line end). Used by the reader; exposed for
// tests and the fuzzer.
bool parseLogLine(std::string_view line, long lineNumber, LogRecord& record, LogFault& fault);

class LogReader {
public:
    LogReader() = default;
    ~LogReader();
    LogReader(const LogReader&) = delete;
    LogReader& operator=(const LogReader&) = delete;

    // Opens a file; false with `error` saying why (missing, a directory,
    // unreadable). A reader that wants only the first lines asks for a
    // smaller buffer (at least twice the longest line); what it reads is
    // the same.
    bool open(const std::string& path, std::string& error, size_t bufferSize = size_t{1} << 16);
    // Reads from bytes in memory (kept by the caller).
    void openText(std::string_view bytes);

    enum class Next { Record, Fault, End };
    // The next record, or the next fault (the reader then goes on with the
    // line after it), or the end of the file.
    Next next(LogRecord& record, LogFault& fault);
    long linesRead() const { return line_; }
    long long bytesRead() const { return consumedTotal_; }

    static constexpr size_t kLongestLine = 2048;

private:
    bool fill();  // reads more bytes into the buffer; false at the end
    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;  // not cleared: only bytes read are looked at
    size_t capacity_ = 0;
    std::string_view memory_;
    bool fromMemory_ = false;
    size_t begin_ = 0, end_ = 0;  // unread bytes in buffer_
    bool eof_ = false;
    int64_t sizeAtOpen_ = -1;  // regular files: the size when opened
    int64_t readSoFar_ = 0;
    bool readError_ = false;
    std::string readErrorText_;
    long line_ = 0;
    long long consumedTotal_ = 0;
    bool skippingLongLine_ = false;
};

}  // namespace qbx
