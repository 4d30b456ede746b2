// The log parser of the core: what a log line says, and every way a file can
// fail to be a log, each named with its line.

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "core/eventlog/LogReader.h"
#include "core/eventlog/LogFormat.h"

using namespace qbx;

namespace {

struct Read {
    std::vector<LogRecord> records;  // views copied out below
    std::vector<std::string> raws;
    std::vector<LogFault> faults;
};

Read readAll(const std::string& bytes) {
    LogReader reader;
    reader.openText(bytes);
    Read out;
    LogRecord r;
    LogFault f;
    for (;;) {
        const auto next = reader.next(r, f);
        if (next == LogReader::Next::End) break;
        if (next == LogReader::Next::Fault)
            out.faults.push_back(f);
        else
            out.raws.emplace_back(r.raw), out.records.push_back(r);
    }
    return out;
}

LogRecord parse(const std::string& line) {
    LogRecord r;
    LogFault f;
    EXPECT_TRUE(parseLogLine(line, 1, r, f)) << line << ": " << f.what;
    return r;
}

TEST(LogReader, SplitsEveryKindOfRecordIntoItsParts) {
    LogRecord r = parse("37870.250:37870.250:PM:3H;targetCardView;2H;colorCardView:Color Keeper moved card");
    EXPECT_EQ(r.kind, LogRecordKind::OwnMove);
    EXPECT_EQ(r.first.seconds, 37870);
    EXPECT_EQ(r.first.millis, 250);
    EXPECT_EQ(r.cardA, "3H");
    EXPECT_EQ(r.positionA, "targetCardView");
    EXPECT_EQ(r.cardB, "2H");
    EXPECT_EQ(r.positionB, "colorCardView");
    EXPECT_EQ(r.role, 'c');

    r = parse("50418.54:50418.54:GC:4c;numberCardView:Card dealt");  // 54 ms; a clubs letter from the shoe
    EXPECT_EQ(r.kind, LogRecordKind::CardDealt);
    EXPECT_EQ(r.first.ms(), 50418054);
    EXPECT_EQ(r.cardA, "4c");

    r = parse("50414.1000:50414.999:GP:4;-650.5:Hand Ended");
    EXPECT_EQ(r.kind, LogRecordKind::HandEnded);
    EXPECT_EQ(r.code, "GP");
    EXPECT_EQ(r.moves, 4);
    EXPECT_EQ(r.score, "-650.5");
    EXPECT_EQ(r.second.ms(), 50414999);

    r = parse("37845.7:userID:userName A:1 \xe9   :gameNum -1:partner 1");
    EXPECT_EQ(r.kind, LogRecordKind::UserHeader);
    EXPECT_EQ(r.participant, "A:1 \xe9   ");

    EXPECT_EQ(parse("8.138:8.138:pR:3H:upCardView:NumberKeeperRemoved card").role, 'n');
    EXPECT_EQ(parse("1.2:1.2:PP::Numberkeeper passed turn:;;;").kind, LogRecordKind::OwnPass);
    EXPECT_EQ(parse("1.2:1.2:RP::Remote pass received:;;;").kind, LogRecordKind::RemotePass);
    EXPECT_EQ(parse("1.2::Hand Ended").kind, LogRecordKind::HandEndClose);
    EXPECT_EQ(parse("1.2::gameDone").kind, LogRecordKind::GameDone);
    EXPECT_EQ(parse("1.2:1.2:GE::Game ended due to exhaustion of shoe").kind, LogRecordKind::ShoeExhausted);
    EXPECT_EQ(parse("TotalMove:21").totalMoves, 21);
    EXPECT_EQ(parse("0.0:TF:NK").role, 'n');
}

TEST(LogReader, RefusesLinesThatAreAlmostRecords) {
    for (const char* line : {
             "37845.07:TF:CK",                                                     // leading zero in the milliseconds
             "037845.7:TF:CK",                                                     // and in the seconds
             "3784x.7:37845.7:GS:;Game started;;",                                 // not a number
             "86400.0:TF:CK",                                                      // past midnight
             "1.2:1.2:GC:5H;numberCardView:Card dealt",                            // no such card
             "1.2:1.2:GC:2H;numberCard:Card dealt",                                // no such place
             "1.2:1.2:GC:2H;numberCardView",                                       // no ':' after the place
             "1.2:1.2:GC:2H",                                                      // nor ';' after the card
             "1.2:1.2:PM:3C;upCardView;4H:Color Keeper moved card",                // a place missing
             "1.2:1.2:PM:2c;upCardView;2H;colorCardView:Color Keeper moved card",  // moves write H or C
             "1.2:1.2:GE:1;950.50:Hand Ended",  // a score is written in its shortest form
             "1.2:1.2:GE:01;950:Hand Ended",
             "1.2:1.2:PP::Colorkeeper passed turn",  // without its :;;;
             "1.2:Hand Ended",                       // a stamp, then ":Hand Ended"
             "TotalMove:",
             "Game begins",  // no stamp
         }) {
        LogRecord r;
        LogFault f;
        EXPECT_FALSE(parseLogLine(line, 7, r, f)) << line;
        EXPECT_EQ(f.line, 7);
        EXPECT_FALSE(f.what.empty());
    }
}

// A score is taken only in the form the game writes (scoreText): the quick
// check of plain decimals agrees with writing the value again, for every
// score a hand can have and for texts that are almost one.
TEST(LogReader, TakesAScoreExactlyWhenTheGameWritesItSo) {
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "0.0",
                                      "-0.0",
                                      "00",
                                      "07",
                                      "1.",
                                      ".5",
                                      "-.5",
                                      "1.50",
                                      "1e3",
                                      "+5",
                                      "--5",
                                      "5-",
                                      "0.001",
                                      "0.0001",
                                      "0.00001",
                                      "-0.5",
                                      "999999999999",
                                      "1000000000000",
                                      "123456789012.125",
                                      "1234567890123.5",
                                      "0.1234",
                                      "100000000000000000000",
                                      "1e+20",
                                      "inf",
                                      "nan",
                                      " 5",
                                      "5 "};
    for (int half = -4001; half <= 4001; half += 7) texts.push_back(scoreText(half * 0.5));
    for (int thousandth = -2000; thousandth <= 2000; thousandth += 13) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", thousandth / 1000.0);
        texts.push_back(text);
    }
    for (const std::string& score : texts) {
        const std::string line = "1.2:1.2:GE:3;" + score + ":Hand Ended";
        double value = 0;
        const auto read = std::from_chars(score.data(), score.data() + score.size(), value);
        const bool written =
            read.ec == std::errc() && read.ptr == score.data() + score.size() && scoreText(value) == score;
        LogRecord r;
        LogFault f;
        EXPECT_EQ(parseLogLine(line, 1, r, f), written) << score;
        if (written) {
            EXPECT_EQ(r.score, score);
        }
    }
}

// One record is filled line after line: nothing of a line stays in it for
// the next.
TEST(LogReader, ARecordReadAgainKeepsNothingOfTheLineBefore) {
    const std::vector<std::string> lines = {
        "50398.990:TF:CK",
        "50398.990:userID:userName K7   :gameNum -1:partner 1",
        "50400.117:50400.117:PM:3C;upCardView;4H;colorCardView:Color Keeper moved card",
        "50400.210:50400.210:GC:2H;numberCardView:Card dealt",
        "50414.1000:50414.999:GP:4;-650.5:Hand Ended",
        "50414.1000::Hand Ended",
        "TotalMove:17",
        "50401.5:50401.5:pR:4C:targetCardView:ColorKeeperRemoved card",
        "50402.7:50402.7:PP::Colorkeeper passed turn:;;;",
    };
    LogRecord reused;
    LogFault f;
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t j = 0; j < lines.size(); ++j) {
            ASSERT_TRUE(parseLogLine(lines[i], 1, reused, f)) << lines[i] << ": " << f.what;
            LogRecord fresh;
            ASSERT_TRUE(parseLogLine(lines[j], 1, reused, f)) << lines[j] << ": " << f.what;
            ASSERT_TRUE(parseLogLine(lines[j], 1, fresh, f));
            const auto fields = [](const LogRecord& r) {
                return std::make_tuple(r.kind, r.stampCount, r.first.seconds, r.first.millis, r.second.seconds,
                                       r.second.millis, r.code, r.cardA, r.positionA, r.cardB, r.positionB, r.role,
                                       r.moves, r.score, r.scoreValue, r.totalMoves, r.participant, r.text, r.raw);
            };
            EXPECT_TRUE(fields(reused) == fields(fresh)) << lines[i] << " then " << lines[j];
        }
}

// A stamp is read eight bytes at a time when the line has them and a byte
// at a time near its end: both take exactly the stamps of the game's form
// (no leading zeros, seconds below 86400, milliseconds up to 1005), with
// any count of digits and however few bytes follow.
TEST(LogReader, ReadsEveryStampAsItsDigitsSayNearTheLineEndOrNot) {
    const auto plain = [](const std::string& digits, int most, long& value) {
        if (digits.empty() || digits.size() > static_cast<size_t>(most) || (digits.size() > 1 && digits[0] == '0') ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = std::stol(digits);
        return true;
    };
    const std::vector<std::string> seconds = {"0",     "7",     "10",    "99",     "123",    "4567", "28800",
                                              "86399", "86400", "99999", "123456", "00",     "07",   "0123",
                                              "",      "1x",    "9",     "45000",  "100000", "3"};
    const std::vector<std::string> millis = {"0",    "5",     "54", "999", "1000", "1005",    "1006",
                                             "9999", "10000", "00", "05",  "",     "12345678"};
    // After the stamp: few bytes (the short path), or many.
    const std::vector<std::string> bodies = {"TF:CK", "Game begins", ":Hand Ended"};
    for (const std::string& s : seconds)
        for (const std::string& m : millis)
            for (const std::string& body : bodies) {
                const std::string line = s + "." + m + ":" + body;
                long sv = 0, mv = 0;
                const bool good = plain(s, 5, sv) && sv < 86400 && plain(m, 4, mv) && mv <= 1005;
                LogRecord r;
                LogFault f;
                ASSERT_EQ(parseLogLine(line, 3, r, f), good) << line << ": " << f.what;
                if (good) {
                    EXPECT_EQ(r.first.seconds, sv) << line;
                    EXPECT_EQ(r.first.millis, mv) << line;
                } else {
                    // No digit at all where the line begins: no stamp, not a bad one.
                    EXPECT_EQ(f.kind, s.empty() ? LogFaultKind::UnknownRecord : LogFaultKind::BadStamp) << line;
                }
                // The same stamp written twice, before a record of both.
                const std::string twice = s + "." + m + ":" + s + "." + m + ":RP::Remote pass received:;;;";
                ASSERT_EQ(parseLogLine(twice, 3, r, f), good) << twice << ": " << f.what;
                if (good) EXPECT_EQ(r.second.ms(), sv * 1000 + mv) << twice;
            }
}

// A byte that is not text is found wherever it stands, the last bytes of a
// line included (looked at together with the ones before them).
TEST(LogReader, FindsAByteThatIsNoTextAtEveryPlaceOfALine) {
    for (const std::string& good :
         {std::string("1.2:TF:CK"), std::string("28803.115:28803.115:GC:2H;numberCardView:Card dealt")})
        for (size_t at = 0; at < good.size(); ++at)
            for (const char bad : {'\x01', '\r', '\x1f'}) {
                std::string line = good;
                line[at] = bad;
                LogRecord r;
                LogFault f;
                ASSERT_FALSE(parseLogLine(line, 2, r, f)) << at;
                EXPECT_EQ(f.kind, bad == '\r' ? LogFaultKind::BareReturn : LogFaultKind::NotText) << at;
            }
}

TEST(LogReader, NamesTheLineOfEveryBrokenLine) {
    const std::string good = "1.2:TF:CK\r\n";
    const Read read = readAll(good + "1.2:Game begins\n" +               // 2: LF alone
                              "1.2:Game\rbegins\r\n" +                   // 3: CR alone
                              std::string("1.2:Game\0begins\r\n", 17) +  // 4: binary
                              "1.x:Game begins\r\n" +                    // 5: stamp not a number
                              std::string(5000, 'a') + "\r\n" +          // 6: longer than any record
                              good +                                     // 7: fine
                              "1.2:Game beg");                           // 8: cut
    ASSERT_EQ(read.faults.size(), 6u);
    const LogFaultKind kinds[] = {LogFaultKind::BareLineFeed, LogFaultKind::BareReturn, LogFaultKind::NotText,
                                  LogFaultKind::BadStamp,     LogFaultKind::LongLine,   LogFaultKind::CutLine};
    const long lines[] = {2, 3, 4, 5, 6, 8};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(read.faults[i].line, lines[i]) << read.faults[i].what;
        EXPECT_EQ(read.faults[i].kind, kinds[i]) << read.faults[i].what;
    }
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[1].line, 7);
}

TEST(LogReader, StreamsAFileLargerThanItsBufferWithLinesAcrossTheSeams) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += std::to_string(i % 86400) + "." + std::to_string(i % 1000) + ":" + std::to_string(i % 86400) + "." +
                std::to_string(i % 1000) + ":RP::Remote pass received:;;;\r\n";
    const std::string path = ::testing::TempDir() + "/qbx_stream_log.txt";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    LogReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(path, error)) << error;
    LogRecord r;
    LogFault fault;
    long count = 0;
    while (reader.next(r, fault) == LogReader::Next::Record) {
        ++count;
        ASSERT_EQ(r.kind, LogRecordKind::RemotePass) << r.line;
    }
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(reader.bytesRead(), static_cast<long long>(text.size()));
    std::remove(path.c_str());

    LogReader missing;
    EXPECT_FALSE(missing.open(path, error));
    LogReader folder;
    EXPECT_FALSE(folder.open(::testing::TempDir(), error));
    EXPECT_NE(error.find("directory"), std::string::npos);
}

// A copied log is judged as a whole, on its first bytes, whatever the
// reader's buffer: the same records, faults and alteration from memory,
// from a file read in 64 KiB blocks and from one read in 4 KiB blocks, with
// CR CR LF line ends falling across every seam.
TEST(LogReader, JudgesTheLineEndsOfAFileOnItsFirstBytesWhateverItsBuffer) {
    const std::string record = "50414.17:50414.17:RP::Remote pass received:;;;";
    auto lines = [&](int count, const std::string& end) {
        std::string text;
        for (int i = 0; i < count; ++i) text += record + end;
        return text;
    };
    struct Case {
        const char* story;
        std::string text;
        LineEnds lineEnds;
        bool byteOrderMark, lastLineEndMissing;
        std::vector<long> faultLines;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const Case cases[] = {
        {"LF only, across the seams", lines(3000, "\n"), LineEnds::LfOnly, false, false, {}},
        {"CR CR LF, marked, across the seams", bom + lines(3000, "\r\r\n"), LineEnds::CrCrLf, true, false, {}},
        {"CR CR LF without its last line end", lines(3000, "\r\r\n") + record, LineEnds::CrCrLf, false, true, {}},
        // As many lines in LF as in CR LF: the game's form, and the others faults.
        {"half and half", lines(2, "\n") + lines(2, "\r\n"), LineEnds::CrLf, false, false, {1, 2}},
        // The form of the first 4 KiB holds for the whole file.
        {"CR LF first, LF after", lines(100, "\r\n") + lines(2, "\n"), LineEnds::CrLf, false, false, {101, 102}},
        {"a byte order mark alone", bom, LineEnds::CrLf, true, false, {}},
        {"nothing", "", LineEnds::CrLf, false, false, {}},
    };
    const std::string path = ::testing::TempDir() + "/qbx_altered_log.txt";
    for (const Case& c : cases) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(c.text.data(), 1, c.text.size(), f);
        std::fclose(f);
        for (const size_t buffer : {size_t{0}, size_t{1} << 16, LogReader::kJudgedBytes}) {
            LogReader reader;
            std::string error;
            if (buffer)
                ASSERT_TRUE(reader.open(path, error, buffer)) << error;
            else
                reader.openText(c.text);
            LogRecord r;
            LogFault fault;
            long records = 0;
            std::vector<long> faultLines;
            for (LogReader::Next next; (next = reader.next(r, fault)) != LogReader::Next::End;) {
                if (next == LogReader::Next::Fault) {
                    faultLines.push_back(fault.line);
                    continue;
                }
                ++records;
                ASSERT_EQ(r.raw, record) << c.story << ", line " << r.line;
            }
            const std::string where = std::string(c.story) + ", buffer " + std::to_string(buffer);
            EXPECT_EQ(faultLines, c.faultLines) << where;
            EXPECT_EQ(records + static_cast<long>(faultLines.size()), reader.linesRead()) << where;
            EXPECT_EQ(reader.alteration().lineEnds, c.lineEnds) << where;
            EXPECT_EQ(reader.alteration().byteOrderMark, c.byteOrderMark) << where;
            EXPECT_EQ(reader.alteration().lastLineEndMissing, c.lastLineEndMissing) << where;
            EXPECT_EQ(reader.bytesRead(), static_cast<long long>(c.text.size())) << where;
        }
    }
    std::remove(path.c_str());
}

TEST(LogNames, PairByTheirSuffix) {
    auto ck = parseLogName("ck061226_417.txt");
    ASSERT_TRUE(ck);
    EXPECT_TRUE(ck->colorKeeper);
    EXPECT_EQ(ck->suffix, "061226_417");
    EXPECT_EQ(ck->isoDate(), "2026-12-06");
    EXPECT_EQ(partnerLogName(*ck), "nk061226_417.txt");
    EXPECT_FALSE(parseLogName("nk061226_0.txt")->colorKeeper);
    EXPECT_TRUE(parseLogName("ck311299_9999.txt"));
    for (const char* bad :
         {"ck061226_417.TXT", "ck061226_0417.txt", "ck061226_10000.txt", "ck321226_1.txt", "ck061326_1.txt",
          "ck06122_1.txt", "xk061226_1.txt", "ck061226-1.txt", "ck061226_.txt", "notes.txt"})
        EXPECT_FALSE(parseLogName(bad)) << bad;
}

}  // namespace
