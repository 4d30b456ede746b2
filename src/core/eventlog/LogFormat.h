#pragma once
// The event logs' format in one place: the names of their files, the time
// stamp, the places and record codes with their fixed texts, a writer for
// every record the game writes, and the parser that reads a line back into
// the same fields. The game writes only through these writers, and
// qbxtool's commands read only through this parser (LogReader streams whole
// files into it), so the two cannot drift apart. The records, one per line
// and each ended by CR LF, are described for the lab in docs/log-format.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/Platform.h"
#include "core/rules/Cards.h"
#include "core/text/Encoding.h"  // the logs' 8-bit text read as Unicode

namespace qbx {

// ---- File names ---------------------------------------------------------------

// A log's name: "ck" or "nk", the date "ddmmyy", "_", a number 0..9999 without
// leading zeros, ".txt". Both logs of a session share everything after the role.
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
// What follows "ck" and "nk" in the names of a session's two logs, for its
// date and number: "061226_417.txt".
std::string logFileSuffix(const LocalTime& date, int number);
// The run record beside a session's logs: "run061226_417.json" for the
// session "061226_417".
std::string runRecordName(std::string_view session);
// The session of a run record's file name ("061226_417"), or nullopt for
// any other name.
std::optional<std::string> runRecordSession(std::string_view fileName);

// ---- Time stamps and scores ---------------------------------------------------

// Seconds since local midnight, ".", the milliseconds, ":", both in decimal
// without leading zeros: 10:30:45.007 is "37845.7:". A delay of k
// milliseconds is added to the milliseconds alone, without carrying into
// the seconds (999 + 6 is written 1005).
std::string timeStamp(const LocalTime& t, int delayMs = 0);

// A stamp as read back: seconds since midnight and milliseconds. The
// milliseconds of a delayed stamp may pass 999 (they are never carried).
struct LogStamp {
    long seconds = 0;
    int millis = 0;
    long long ms() const { return seconds * 1000LL + millis; }
};

// A score in the shortest decimal form, up to 15 significant digits, with
// "." whatever the user's locale: 850, -250, 950.5. Never "-0".
std::string scoreText(double score);

// ---- Places -------------------------------------------------------------------

// The names the places have in the records, by code.
inline constexpr std::string_view kPlaceNames[kPlaces] = {"colorCardView",      "downColorCardView", "upCardView",
                                                          "downNumberCardView", "numberCardView",    "targetCardView"};
// The name a place has in the records; "" for any other code.
inline std::string_view placeName(uint8_t position) { return position < kPlaces ? kPlaceNames[position] : ""; }
// The short name people read (qbxtool's lines of play): "ck", "c", "up",
// "n", "nk", "t"; "" for any other code.
std::string_view placeShortName(uint8_t position);
// The place a record's name gives; -1 for any other text. The six names
// differ in length but for two, so this is one comparison each: every
// record of a move or a deal names places.
inline int placeOfName(std::string_view name) {
    switch (name.size()) {
    case 10: return name == kPlaceNames[upCardView] ? upCardView : -1;
    case 13: return name == kPlaceNames[colorCardView] ? colorCardView : -1;
    case 14:
        if (name == kPlaceNames[numberCardView]) return numberCardView;
        return name == kPlaceNames[targetCardView] ? targetCardView : -1;
    case 17: return name == kPlaceNames[downColorCardView] ? downColorCardView : -1;
    case 18: return name == kPlaceNames[downNumberCardView] ? downNumberCardView : -1;
    default: return -1;
    }
}

// The order in which a deal writes its six cards, by place.
inline constexpr uint8_t kDealRecordOrder[kPlaces] = {numberCardView,    downNumberCardView, upCardView,
                                                      downColorCardView, colorCardView,      targetCardView};

// ---- Record codes and their fixed texts ---------------------------------------

// A participant code as a log line can carry it: no byte below 0x20 and no
// DEL (a line end would split the record, any other would make the log not
// text); in UTF-8, also none of the C1 controls and the line and paragraph
// separators U+2028 and U+2029, which Unicode-aware readers take as line
// ends; at most kLongestParticipantCode bytes, cut between characters. A
// code without any of these comes back byte for byte.
inline constexpr size_t kLongestParticipantCode = 1024;
std::string participantCodeForLog(std::string_view code);

namespace logtext {
// The header, one line each, with one stamp.
inline constexpr std::string_view kRoleHeaderCode = "TF";
inline constexpr std::string_view kCkHeader = "TF:CK", kNkHeader = "TF:NK";
inline constexpr std::string_view kGameBegins = "Game begins";
inline constexpr std::string_view kParticipantStart = "userID:userName ";
inline constexpr std::string_view kParticipantEnd = ":gameNum -1:partner 1";
inline constexpr std::string_view kFixedHeader = "errorsMade 0:score 0:row 0column 0";
// Records with two stamps: a code, ":", and what the code carries.
inline constexpr std::string_view kGameStartCode = "GS", kGameStarted = "GS:;Game started;;";
inline constexpr std::string_view kDealCode = "GC", kCardDealt = "Card dealt";
inline constexpr std::string_view kPickUpCode = "pR";
inline constexpr std::string_view kCkPickUp = "ColorKeeperRemoved card", kNkPickUp = "NumberKeeperRemoved card";
inline constexpr std::string_view kLookCode = "pL";
inline constexpr std::string_view kCkLook = ":ColorKeeper looked at hand card";
inline constexpr std::string_view kNkLook = ":NumberKeeper looked at hand card";
inline constexpr std::string_view kOwnMoveCode = "PM", kRemoteMoveCode = "RM";
inline constexpr std::string_view kCkMoved = "Color Keeper moved card", kNkMoved = "Number Keeper moved card";
inline constexpr std::string_view kRemoteMove = "Remote move card";
inline constexpr std::string_view kOwnPassCode = "PP", kRemotePassCode = "RP";
inline constexpr std::string_view kCkPassed = ":Colorkeeper passed turn", kNkPassed = ":Numberkeeper passed turn";
inline constexpr std::string_view kRemotePass = ":Remote pass received";
inline constexpr std::string_view kPassTail = ":;;;";
// The end of a hand: four passes in a row, the move limit, the goal card at
// the Target; then one closing line with one stamp.
inline constexpr std::string_view kFourPassesCode = "GP", kMoveLimitCode = "GM", kGoalCode = "GE";
inline constexpr std::string_view kHandEnded = ":Hand Ended";
// The end of the game.
inline constexpr std::string_view kShoeExhausted = "GE::Game ended due to exhaustion of shoe";
inline constexpr std::string_view kGameDone = ":gameDone";
inline constexpr std::string_view kTotalMove = "TotalMove:";
}  // namespace logtext

// How a hand ended, and the code of its hand-end record; a hand that ends
// two ways at once writes its blocks in this order.
enum class HandEndCode : uint8_t { FourPasses, MoveLimit, Goal };
std::string_view handEndCode(HandEndCode code);  // "GP", "GM", "GE"

// ---- Writers: each gives one record, without its CR LF ------------------------
// `stamp` is a time stamp as timeStamp() writes it; records with two stamps
// write one clock reading twice.

std::string roleHeaderRecord(std::string_view stamp, Role logRole);
std::string gameBeginsRecord(std::string_view stamp);
// The participant line carries the code as participantCodeForLog gives it.
std::string participantRecord(std::string_view stamp, std::string_view participantCode);
std::string fixedHeaderRecord(std::string_view stamp);
std::string gameStartedRecord(std::string_view stamp);
// A dealt card as the shoe line writes it ("2H", or "2c": any letter but H
// is clubs), and the place it is dealt to.
std::string cardDealtRecord(std::string_view stamp, std::string_view card, uint8_t position);
std::string pickUpRecord(std::string_view stamp, Role role, int card, uint8_t position);
std::string lookRecord(std::string_view stamp, Role role);
// A swap as the log of `logRole` writes it: "PM" when that role moved, "RM"
// when the other did. The card that is not the mover's hand card comes
// first, both at their places before the swap.
std::string moveRecord(std::string_view stamp, Role logRole, Role mover, int otherCard, uint8_t otherPosition,
                       int handCard, uint8_t handPosition);
// A pass as the log of `logRole` writes it: "PP" by that role, "RP" by the other.
std::string passRecord(std::string_view stamp, Role logRole, Role passer);
// Two clock readings, the later one written first; the role's moves and
// passes in the hand, and its score.
std::string handEndRecord(std::string_view laterStamp, std::string_view earlierStamp, HandEndCode code, int moves,
                          double score);
std::string handEndCloseRecord(std::string_view stamp);
std::string shoeExhaustedRecord(std::string_view stamp);
std::string gameDoneRecord(std::string_view stamp);
std::string totalMovesRecord(long long totalMoves);

// ---- Reading a line back --------------------------------------------------------

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

// One line split into its fields. The views point into the line parsed.
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

    // Back to a blank record but for `line` and `raw`, which the parser sets
    // for every line. One record is reused for every line of a log, so this
    // sets the fields one by one: a fresh record assigned whole costs a
    // block-fill instruction that is slow to start, on every line. A field
    // added above is cleared here too.
    void clear() {
        kind = LogRecordKind::RoleHeader;
        stampCount = 0;
        first = LogStamp{};
        second = LogStamp{};
        code = {};
        cardA = {};
        positionA = {};
        cardB = {};
        positionB = {};
        role = 0;
        moves = -1;
        score = {};
        scoreValue = 0;
        totalMoves = -1;
        participant = {};
        text = {};
    }

    // Points the views at `copy`, a copy of the line that `raw` views, so
    // that the record outlives the reader's buffer. A view added above is
    // moved here too.
    void moveViewsTo(const char* copy) {
        const char* from = raw.data();
        const auto move = [&](std::string_view& v) {
            if (!v.empty()) v = {copy + (v.data() - from), v.size()};
        };
        move(code);
        move(cardA);
        move(positionA);
        move(cardB);
        move(positionB);
        move(score);
        move(participant);
        move(text);
        raw = {copy, raw.size()};
    }
};

enum class LogFaultKind : uint8_t {
    CannotRead,     // the file cannot be opened or read
    CutLine,        // the last line has no line end
    BareLineFeed,   // LF without CR before it
    BareReturn,     // CR not followed by LF
    OtherLineEnd,   // in a file whose line ends were changed, a line that ends otherwise
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

// Parses one line (without its line end) into `record`; false with `fault`
// when the line is no record of the game.
bool parseLogLine(std::string_view line, long lineNumber, LogRecord& record, LogFault& fault);

}  // namespace qbx
