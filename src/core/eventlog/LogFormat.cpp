// The log's names and the writers of its records. The parser that reads
// them back is in LogParsing.cpp; both take their words from LogFormat.h.

#include "core/eventlog/LogFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace qbx {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view kPlaceShortNames[kPlaces] = {"ck", "c", "up", "n", "nk", "t"};

// "<stamp><stamp>": most records write one clock reading twice.
std::string twoStamps(std::string_view stamp, size_t more) {
    std::string line;
    line.reserve(2 * stamp.size() + more);
    line += stamp;
    line += stamp;
    return line;
}

}  // namespace

// ---- File names ---------------------------------------------------------------

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
    // The number: one to four digits, no leading zero.
    const std::string_view number = fileName.substr(9, fileName.size() - 9 - 4);
    if (number.empty() || number.size() > 4 || (number.size() > 1 && number[0] == '0')) return std::nullopt;
    int value = 0;
    for (char c : number) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    name.date = std::string(date);
    name.number = value;
    name.suffix = name.date + "_" + std::string(number);
    return name;
}

std::string participantCodeForLog(std::string_view code) {
    const bool utf8 = isUtf8(code);
    std::string out;
    out.reserve(std::min(code.size(), kLongestParticipantCode));
    for (size_t i = 0; i < code.size();) {
        const auto c = static_cast<unsigned char>(code[i]);
        // One character: a byte in 8-bit text, a whole sequence in UTF-8.
        size_t length = 1;
        if (utf8 && c >= 0xC0) length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        const std::string_view character = code.substr(i, length);
        i += length;
        if (c < 0x20 || c == 0x7F) continue;
        if (utf8 && length == 2 && c == 0xC2 && static_cast<unsigned char>(character[1]) <= 0x9F) continue;
        if (utf8 && (character == "\xE2\x80\xA8" || character == "\xE2\x80\xA9")) continue;
        if (out.size() + character.size() > kLongestParticipantCode) break;
        out += character;
    }
    return out;
}

std::string runRecordName(std::string_view session) { return "run" + std::string(session) + ".json"; }

std::optional<std::string> runRecordSession(std::string_view fileName) {
    // The same date and number as the logs': read as a log name would be.
    if (fileName.size() < 3 + 5 || fileName.substr(0, 3) != "run" || fileName.substr(fileName.size() - 5) != ".json")
        return std::nullopt;
    const std::string asLog = "ck" + std::string(fileName.substr(3, fileName.size() - 3 - 5)) + ".txt";
    const std::optional<LogName> name = parseLogName(asLog);
    if (!name) return std::nullopt;
    return name->suffix;
}

std::string partnerLogName(const LogName& name) { return (name.colorKeeper ? "nk" : "ck") + name.suffix + ".txt"; }

std::string logFileSuffix(const LocalTime& date, int number) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d%02d%02d_%d.txt", date.day % 100, date.month % 100, date.year % 100,
                  number);
    return buffer;
}

// ---- Time stamps and scores ---------------------------------------------------

std::string timeStamp(const LocalTime& t, int delayMs) {
    const long seconds = t.hour * 3600L + t.minute * 60L + t.second;
    std::string s = std::to_string(seconds);
    s += '.';
    s += std::to_string(t.millisecond + delayMs);
    s += ':';
    return s;
}

std::string scoreText(double score) {
    if (score == 0) return "0";  // never "-0"
    // to_chars ignores the locale, so the separator is always '.'.
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, score, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

// ---- Places -------------------------------------------------------------------

std::string_view placeShortName(uint8_t position) { return position < kPlaces ? kPlaceShortNames[position] : ""; }

std::string_view handEndCode(HandEndCode code) {
    switch (code) {
    case HandEndCode::FourPasses: return logtext::kFourPassesCode;
    case HandEndCode::MoveLimit: return logtext::kMoveLimitCode;
    case HandEndCode::Goal: return logtext::kGoalCode;
    }
    return "";
}

// ---- Writers ------------------------------------------------------------------

std::string roleHeaderRecord(std::string_view stamp, Role logRole) {
    return std::string(stamp) += logRole == Role::Ck ? logtext::kCkHeader : logtext::kNkHeader;
}

std::string gameBeginsRecord(std::string_view stamp) { return std::string(stamp) += logtext::kGameBegins; }

std::string participantRecord(std::string_view stamp, std::string_view participantCode) {
    std::string line(stamp);
    line += logtext::kParticipantStart;
    line += participantCodeForLog(participantCode);
    line += logtext::kParticipantEnd;
    return line;
}

std::string fixedHeaderRecord(std::string_view stamp) { return std::string(stamp) += logtext::kFixedHeader; }

std::string gameStartedRecord(std::string_view stamp) {
    return twoStamps(stamp, logtext::kGameStarted.size()) += logtext::kGameStarted;
}

std::string cardDealtRecord(std::string_view stamp, std::string_view card, uint8_t position) {
    std::string line = twoStamps(stamp, 48);
    line += logtext::kDealCode;
    line += ':';
    line += card;
    line += ';';
    line += placeName(position);
    line += ':';
    line += logtext::kCardDealt;
    return line;
}

std::string pickUpRecord(std::string_view stamp, Role role, int card, uint8_t position) {
    std::string line = twoStamps(stamp, 64);
    line += logtext::kPickUpCode;
    line += ':';
    line += cardText(card);
    line += ':';
    line += placeName(position);
    line += ':';
    line += role == Role::Ck ? logtext::kCkPickUp : logtext::kNkPickUp;
    return line;
}

std::string lookRecord(std::string_view stamp, Role role) {
    std::string line = twoStamps(stamp, 40);
    line += logtext::kLookCode;
    line += ':';
    line += role == Role::Ck ? logtext::kCkLook : logtext::kNkLook;
    return line;
}

std::string moveRecord(std::string_view stamp, Role logRole, Role mover, int otherCard, uint8_t otherPosition,
                       int handCard, uint8_t handPosition) {
    const bool own = logRole == mover;
    std::string line = twoStamps(stamp, 96);
    line += own ? logtext::kOwnMoveCode : logtext::kRemoteMoveCode;
    line += ':';
    line += cardText(otherCard);
    line += ';';
    line += placeName(otherPosition);
    line += ';';
    line += cardText(handCard);
    line += ';';
    line += placeName(handPosition);
    line += ':';
    line += !own ? logtext::kRemoteMove : mover == Role::Ck ? logtext::kCkMoved : logtext::kNkMoved;
    return line;
}

std::string passRecord(std::string_view stamp, Role logRole, Role passer) {
    std::string line = twoStamps(stamp, 40);
    if (logRole == passer) {
        line += logtext::kOwnPassCode;
        line += ':';
        line += passer == Role::Ck ? logtext::kCkPassed : logtext::kNkPassed;
    } else {
        line += logtext::kRemotePassCode;
        line += ':';
        line += logtext::kRemotePass;
    }
    line += logtext::kPassTail;
    return line;
}

std::string handEndRecord(std::string_view laterStamp, std::string_view earlierStamp, HandEndCode code, int moves,
                          double score) {
    std::string line(laterStamp);
    line += earlierStamp;
    line += handEndCode(code);
    line += ':';
    line += std::to_string(moves);
    line += ';';
    line += scoreText(score);
    line += logtext::kHandEnded;
    return line;
}

std::string handEndCloseRecord(std::string_view stamp) { return std::string(stamp) += logtext::kHandEnded; }

std::string shoeExhaustedRecord(std::string_view stamp) {
    return twoStamps(stamp, logtext::kShoeExhausted.size()) += logtext::kShoeExhausted;
}

std::string gameDoneRecord(std::string_view stamp) { return std::string(stamp) += logtext::kGameDone; }

std::string totalMovesRecord(long long totalMoves) {
    return std::string(logtext::kTotalMove) += std::to_string(totalMoves);
}

// ---- Names for messages -------------------------------------------------------

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
    case LogFaultKind::OtherLineEnd: return "line end unlike the file's";
    case LogFaultKind::NotText: return "not text";
    case LogFaultKind::LongLine: return "line too long";
    case LogFaultKind::BadStamp: return "bad time stamp";
    case LogFaultKind::UnknownRecord: return "unknown record";
    }
    return "?";
}

}  // namespace qbx
