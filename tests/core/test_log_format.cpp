// The log format: time stamps, scores, place names, log names and every
// record, exactly as the analysis scripts read them, written by the
// writers the game uses and read back by the parser qbxtool uses.

#include <clocale>
#include <gtest/gtest.h>

#include "core/eventlog/LogFormat.h"

using namespace qbx;

namespace {

LocalTime at(int h, int m, int s, int ms) { return LocalTime{2026, 12, 7, h, m, s, ms}; }

TEST(TimeStamp, SecondsSinceMidnightAndMillisecondsWithoutLeadingZeros) {
    EXPECT_EQ(timeStamp(at(10, 30, 45, 7)), "37845.7:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 250)), "37845.250:");
    EXPECT_EQ(timeStamp(at(0, 0, 5, 3)), "5.3:");
    EXPECT_EQ(timeStamp(at(0, 0, 0, 0)), "0.0:");
    EXPECT_EQ(timeStamp(at(23, 59, 59, 999)), "86399.999:");
}

TEST(TimeStamp, DelaysAreAddedToTheMillisecondsWithoutCarry) {
    EXPECT_EQ(timeStamp(at(10, 30, 45, 999), 1), "37845.1000:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 999), 6), "37845.1005:");
    EXPECT_EQ(timeStamp(at(10, 30, 45, 7), 3), "37845.10:");
}

TEST(Score, ShortestDecimalFormWithAPointWhateverTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // a comma locale, where installed
    EXPECT_EQ(scoreText(850), "850");
    EXPECT_EQ(scoreText(-250), "-250");
    EXPECT_EQ(scoreText(950.5), "950.5");
    EXPECT_EQ(scoreText(937.5), "937.5");
    EXPECT_EQ(scoreText(0), "0");
    EXPECT_EQ(scoreText(-0.5), "-0.5");
    EXPECT_EQ(scoreText(1073741823.5), "1073741823.5");
    EXPECT_EQ(scoreText(-1073741824), "-1073741824");
    std::setlocale(LC_ALL, "C");
}

TEST(PlaceNames, EachPlaceHasAShortAndALongNameAndTheLongOneReadsBack) {
    const std::pair<const char*, const char*> names[kPlaces] = {{"ck", "colorCardView"},  {"c", "downColorCardView"},
                                                                {"up", "upCardView"},     {"n", "downNumberCardView"},
                                                                {"nk", "numberCardView"}, {"t", "targetCardView"}};
    for (uint8_t p = 0; p < kPlaces; ++p) {
        EXPECT_EQ(placeShortName(p), names[p].first);
        EXPECT_EQ(placeName(p), names[p].second);
        EXPECT_EQ(placeOfName(names[p].second), p);
    }
    EXPECT_EQ(placeName(deckPosition), "");
    EXPECT_EQ(placeShortName(deckPosition), "");
    // Near misses of the same lengths are no places.
    for (const char* other : {"Game started", "", "ck", "upCardVieW", "numberCardVieW", "targetCardViev",
                              "colorCardView ", "downColorCardVie", "downNumberCardViev"})
        EXPECT_EQ(placeOfName(other), -1) << other;
}

// Every record the game writes, written by its writer and read back by the
// parser: the line is the one the lab's scripts know, and every field comes
// back as it went in.
struct WrittenRecord {
    std::string line;
    LogRecordKind kind = LogRecordKind::RoleHeader;
    int stamps = 0;
    std::string code{}, cardA{}, positionA{}, cardB{}, positionB{}, text{};
    char role = 0;
    int moves = -1;
    std::string score{};
    long long total = -1;
    std::string participant{};
};

TEST(RecordWriters, EveryRecordReadsBackAsItWasWritten) {
    const std::string T = "37845.7:", L = "37845.9:";
    const std::vector<WrittenRecord> records = {
        {roleHeaderRecord(T, Role::Ck), LogRecordKind::RoleHeader, 1, "TF", "", "", "", "", "CK", 'c'},
        {roleHeaderRecord(T, Role::Nk), LogRecordKind::RoleHeader, 1, "TF", "", "", "", "", "NK", 'n'},
        {gameBeginsRecord(T), LogRecordKind::GameBegins, 1, "", "", "", "", "", "Game begins"},
        {participantRecord(T, "P1, \"x\"   "), LogRecordKind::UserHeader, 1, "", "", "", "", "",
         "userID:userName P1, \"x\"   :gameNum -1:partner 1", 0, -1, "", -1, "P1, \"x\"   "},
        {fixedHeaderRecord(T), LogRecordKind::FixedHeader, 1, "", "", "", "", "", "errorsMade 0:score 0:row 0column 0"},
        {gameStartedRecord(T), LogRecordKind::GameStarted, 2, "GS", "", "", "", "", "Game started"},
        {cardDealtRecord(T, "3c", numberCardView), LogRecordKind::CardDealt, 2, "GC", "3c", "numberCardView", "", "",
         "Card dealt"},
        {pickUpRecord(T, Role::Nk, cardIndex(4, 2), targetCardView), LogRecordKind::PickedUp, 2, "pR", "4C",
         "targetCardView", "", "", "NumberKeeperRemoved card", 'n'},
        {lookRecord(T, Role::Ck), LogRecordKind::LookedAt, 2, "pL", "", "", "", "", "ColorKeeper looked at hand card",
         'c'},
        {moveRecord(T, Role::Ck, Role::Ck, cardIndex(2, 2), upCardView, cardIndex(2, 1), colorCardView),
         LogRecordKind::OwnMove, 2, "PM", "2C", "upCardView", "2H", "colorCardView", "Color Keeper moved card", 'c'},
        {moveRecord(T, Role::Ck, Role::Nk, cardIndex(3, 1), downColorCardView, cardIndex(3, 2), numberCardView),
         LogRecordKind::RemoteMove, 2, "RM", "3H", "downColorCardView", "3C", "numberCardView", "Remote move card"},
        {moveRecord(T, Role::Nk, Role::Nk, cardIndex(3, 1), targetCardView, cardIndex(3, 2), numberCardView),
         LogRecordKind::OwnMove, 2, "PM", "3H", "targetCardView", "3C", "numberCardView", "Number Keeper moved card",
         'n'},
        {passRecord(T, Role::Nk, Role::Nk), LogRecordKind::OwnPass, 2, "PP", "", "", "", "", "Numberkeeper passed turn",
         'n'},
        {passRecord(T, Role::Ck, Role::Ck), LogRecordKind::OwnPass, 2, "PP", "", "", "", "", "Colorkeeper passed turn",
         'c'},
        {passRecord(T, Role::Ck, Role::Nk), LogRecordKind::RemotePass, 2, "RP", "", "", "", "", "Remote pass received"},
        {handEndRecord(L, T, HandEndCode::Goal, 3, 850), LogRecordKind::HandEnded, 2, "GE", "", "", "", "",
         "Hand Ended", 0, 3, "850"},
        {handEndRecord(L, T, HandEndCode::FourPasses, 12, -2.5), LogRecordKind::HandEnded, 2, "GP", "", "", "", "",
         "Hand Ended", 0, 12, "-2.5"},
        {handEndRecord(L, T, HandEndCode::MoveLimit, 0, 0), LogRecordKind::HandEnded, 2, "GM", "", "", "", "",
         "Hand Ended", 0, 0, "0"},
        {handEndCloseRecord(T), LogRecordKind::HandEndClose, 1, "", "", "", "", "", "Hand Ended"},
        {shoeExhaustedRecord(T), LogRecordKind::ShoeExhausted, 2, "GE", "", "", "", "",
         "Game ended due to exhaustion of shoe"},
        {gameDoneRecord(T), LogRecordKind::GameDone, 1, "", "", "", "", "", "gameDone"},
        {totalMovesRecord(1234567), LogRecordKind::TotalMoves, 0, "", "", "", "", "", "TotalMove", 0, -1, "", 1234567},
    };
    const auto expectAsWritten = [](const LogRecord& r, const WrittenRecord& w) {
        EXPECT_EQ(r.kind, w.kind);
        EXPECT_EQ(r.line, 7);
        EXPECT_EQ(r.raw, w.line);
        EXPECT_EQ(r.stampCount, w.stamps);
        // A hand end writes its later clock reading first.
        const bool handEnd = w.kind == LogRecordKind::HandEnded;
        if (w.stamps > 0) {
            EXPECT_EQ(r.first.ms(), handEnd ? 37845009 : 37845007);
        }
        if (w.stamps == 2) {
            EXPECT_EQ(r.second.ms(), 37845007);
        }
        EXPECT_EQ(r.code, w.code);
        EXPECT_EQ(r.cardA, w.cardA);
        EXPECT_EQ(r.positionA, w.positionA);
        EXPECT_EQ(r.cardB, w.cardB);
        EXPECT_EQ(r.positionB, w.positionB);
        EXPECT_EQ(r.text, w.text);
        EXPECT_EQ(r.role, w.role);
        EXPECT_EQ(r.moves, w.moves);
        EXPECT_EQ(r.score, w.score);
        EXPECT_EQ(r.totalMoves, w.total);
        EXPECT_EQ(r.participant, w.participant);
    };
    for (const WrittenRecord& w : records) {
        SCOPED_TRACE(w.line);
        std::string line = w.line;
        LogRecord r;
        LogFault fault;
        ASSERT_TRUE(parseLogLine(line, 7, r, fault)) << fault.what;
        expectAsWritten(r, w);
        // A record kept past its line, on a copy of it, reads the same once
        // the line is gone.
        const std::string copy = line;
        LogRecord kept = r;
        kept.moveViewsTo(copy.data());
        line.assign(line.size(), '#');
        expectAsWritten(kept, w);
    }
}

TEST(RecordWriters, WriteTheLinesTheLabsScriptsRead) {
    const std::string T = "36007.70:";
    EXPECT_EQ(moveRecord(T, Role::Nk, Role::Ck, cardIndex(2, 2), upCardView, cardIndex(2, 1), colorCardView),
              "36007.70:36007.70:RM:2C;upCardView;2H;colorCardView:Remote move card");
    EXPECT_EQ(passRecord(T, Role::Ck, Role::Ck), "36007.70:36007.70:PP::Colorkeeper passed turn:;;;");
    EXPECT_EQ(passRecord(T, Role::Nk, Role::Ck), "36007.70:36007.70:RP::Remote pass received:;;;");
    EXPECT_EQ(pickUpRecord(T, Role::Ck, cardIndex(4, 1), downNumberCardView),
              "36007.70:36007.70:pR:4H:downNumberCardView:ColorKeeperRemoved card");
    EXPECT_EQ(lookRecord(T, Role::Nk), "36007.70:36007.70:pL::NumberKeeper looked at hand card");
    EXPECT_EQ(handEndRecord("36007.72:", "36007.71:", HandEndCode::Goal, 2, 950.5),
              "36007.72:36007.71:GE:2;950.5:Hand Ended");
    EXPECT_EQ(cardDealtRecord("36007.73:", "2k", targetCardView), "36007.73:36007.73:GC:2k;targetCardView:Card dealt");
    EXPECT_EQ(gameStartedRecord(T), "36007.70:36007.70:GS:;Game started;;");
    EXPECT_EQ(participantRecord(T, "P1   "), "36007.70:userID:userName P1   :gameNum -1:partner 1");
    EXPECT_EQ(shoeExhaustedRecord(T), "36007.70:36007.70:GE::Game ended due to exhaustion of shoe");
    EXPECT_EQ(totalMovesRecord(0), "TotalMove:0");
}

TEST(LogNames, ASessionsTwoLogsShareOneSuffixThatReadsBack) {
    const std::string suffix = logFileSuffix(LocalTime{2026, 12, 7, 10, 0, 0, 0}, 417);
    EXPECT_EQ(suffix, "071226_417.txt");
    const std::optional<LogName> name = parseLogName("ck" + suffix);
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->colorKeeper);
    EXPECT_EQ(name->suffix, "071226_417");
    EXPECT_EQ(name->number, 417);
    EXPECT_EQ(name->isoDate(), "2026-12-07");
    EXPECT_EQ(partnerLogName(*name), "nk" + suffix);
    for (const char* bad : {"ck071226_0417.txt", "xk071226_4.txt", "ck071226_.txt", "ck321226_4.txt", "ck071326_4.txt",
                            "ck071226_12345.txt", "ck071226_4.csv", "ck071226-4.txt"})
        EXPECT_FALSE(parseLogName(bad)) << bad;
}

}  // namespace

TEST(LogText, WellFormedUtf8PassesAndAnythingElseReadsAsWindows1252) {
    // Passes unchanged: ASCII, two-, three- and four-byte forms.
    for (const std::string text : {"P07", "Jos\xC3\xA9",
                                   "\xE2\x82\xAC"
                                   "5",
                                   "\xF0\x9F\x82\xA1"}) {
        EXPECT_TRUE(isUtf8(text)) << text;
        EXPECT_EQ(asUtf8(text), text);
    }
    // Read as Windows-1252, byte for byte: a lone high byte, an overlong NUL,
    // a surrogate, a form above U+10FFFF, a sequence cut at the end, valid
    // UTF-8 beside a byte that is not.
    const std::pair<std::string, std::string> windows1252[] = {
        {"Jos\xE9", "Jos\xC3\xA9"},
        {"\xC0\x80", "\xC3\x80\xE2\x82\xAC"},
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"A\xC3", "A\xC3\x83"},
        {"\xC3\xA9\x80", "\xC3\x83\xC2\xA9\xE2\x82\xAC"},
        {"\xE2\x82\xAC\x93x\x94", "\xC3\xA2\xE2\x80\x9A\xC2\xAC\xE2\x80\x9Cx\xE2\x80\x9D"},
    };
    for (const auto& [bytes, utf8] : windows1252) {
        EXPECT_FALSE(isUtf8(bytes)) << bytes;
        EXPECT_EQ(asUtf8(bytes), utf8);
        EXPECT_TRUE(isUtf8(asUtf8(bytes)));
    }
}

// Every single byte against the Windows-1252 code chart: ASCII as it is,
// 0x80-0x9F the chart's characters (the five it leaves out as the C1
// controls of the same number), 0xA0-0xFF Latin-1.
TEST(LogText, EachByteReadsAsTheWindows1252Chart) {
    const char* const chart80to9F[32] = {
        "\xE2\x82\xAC" /* € */,
        "\xC2\x81",
        "\xE2\x80\x9A" /* ‚ */,
        "\xC6\x92" /* ƒ */,
        "\xE2\x80\x9E" /* „ */,
        "\xE2\x80\xA6" /* … */,
        "\xE2\x80\xA0" /* † */,
        "\xE2\x80\xA1" /* ‡ */,
        "\xCB\x86" /* ˆ */,
        "\xE2\x80\xB0" /* ‰ */,
        "\xC5\xA0" /* Š */,
        "\xE2\x80\xB9" /* ‹ */,
        "\xC5\x92" /* Œ */,
        "\xC2\x8D",
        "\xC5\xBD" /* Ž */,
        "\xC2\x8F",
        "\xC2\x90",
        "\xE2\x80\x98" /* ‘ */,
        "\xE2\x80\x99" /* ’ */,
        "\xE2\x80\x9C" /* “ */,
        "\xE2\x80\x9D" /* ” */,
        "\xE2\x80\xA2" /* • */,
        "\xE2\x80\x93" /* – */,
        "\xE2\x80\x94" /* — */,
        "\xCB\x9C" /* ˜ */,
        "\xE2\x84\xA2" /* ™ */,
        "\xC5\xA1" /* š */,
        "\xE2\x80\xBA" /* › */,
        "\xC5\x93" /* œ */,
        "\xC2\x9D",
        "\xC5\xBE" /* ž */,
        "\xC5\xB8" /* Ÿ */,
    };
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string expected;
        if (b < 0x80) {
            expected = byte;
        } else if (b < 0xA0) {
            expected = chart80to9F[b - 0x80];
        } else {
            expected = {static_cast<char>(b < 0xC0 ? 0xC2 : 0xC3), static_cast<char>(0x80 | (b & 0x3F))};
        }
        EXPECT_EQ(asUtf8(byte), expected) << "byte " << b;
    }
    // A character after a Windows-1252 byte in a longer text reads the same.
    EXPECT_EQ(asUtf8("5\x80 Bonus\x85"), "5\xE2\x82\xAC Bonus\xE2\x80\xA6");
}
