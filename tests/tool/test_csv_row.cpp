// The row writer of the csv tables: digits, field copies, quoting and stamps
// byte for byte, with the bytes around them left alone, and rows that give
// each column of their table its field.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tool/csv/Csv.h"
#include "tool/csv/CsvRow.h"

using namespace qbx;
using namespace qbx::tool::logs;

namespace {

// Room for a writer, filled with a byte none of them writes, so that a
// byte written before or after the field shows.
constexpr char kUntouched = '\x7f';
constexpr size_t kBefore = 8;

struct Room {
    char bytes[160];
    Room() { std::memset(bytes, kUntouched, sizeof bytes); }
    char* at() { return bytes + kBefore; }
    // The bytes written from at() to `end`; fails when any other byte changed.
    std::string written(const char* end) const {
        const size_t n = static_cast<size_t>(end - bytes) - kBefore;
        for (size_t i = 0; i < sizeof bytes; ++i) {
            if (i < kBefore || i >= kBefore + n) {
                EXPECT_EQ(bytes[i], kUntouched) << "byte " << i << " of " << n;
            }
        }
        return std::string(bytes + kBefore, n);
    }
};

TEST(CsvRowNumbers, EveryDigitCountSignAndPowerOfTwoComesOutAsItsDecimalText) {
    std::vector<long long> values = {0, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1};
    for (long long ten = 1;; ten *= 10) {
        for (const long long v : {ten - 1, ten, ten + 1}) values.insert(values.end(), {v, -v});
        if (ten > LLONG_MAX / 10) break;
    }
    // The digit count comes from the highest bit: each side of every power of two.
    for (int bit = 1; bit < 63; ++bit)
        for (const long long v : {(1LL << bit) - 1, 1LL << bit}) values.insert(values.end(), {v, -v});
    for (const long long v : values) {
        Room room;
        EXPECT_EQ(room.written(csv::putNumber(room.at(), v)), std::to_string(v));
    }
}

TEST(CsvRowCopies, EveryLengthUpToFortyEightIsCopiedWithoutTouchingTheBytesAroundIt) {
    std::string source;
    for (int i = 0; i < 64; ++i) source += static_cast<char>('!' + i);
    for (size_t n = 0; n <= 48; ++n)
        for (const size_t from : {size_t{0}, size_t{3}}) {
            Room room;
            const std::string_view field(source.data() + from, n);
            EXPECT_EQ(room.written(csv::put(room.at(), field)), field) << n;
        }
}

std::string quotedByHand(std::string_view field) {
    std::string out = "\"";
    for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The field through both forms of the one quoting: into a row's bytes, and
// appended to a std::string after what it holds.
void expectWrittenAs(std::string_view field, const std::string& expected) {
    Room room;
    EXPECT_EQ(room.written(csv::putField(room.at(), field)), expected) << field;
    std::string row = "a,";
    appendCsvField(row, field);
    EXPECT_EQ(row, "a," + expected) << field;
}

TEST(CsvRowQuoting, ACommaAQuoteACrOrALfAnywhereQuotesTheFieldAndDoublesItsQuotes) {
    for (const char c : {',', '"', '\r', '\n'})
        for (const size_t length : {1, 2, 7, 8, 9, 16, 17, 26})
            for (const size_t at : {size_t{0}, length / 2, length - 1, size_t{8}, size_t{9}, size_t{15}, size_t{20}}) {
                if (at >= length) continue;
                std::string field;
                for (size_t i = 0; i < length; ++i) field += static_cast<char>('a' + i);
                field[at] = c;
                expectWrittenAs(field, quotedByHand(field));
            }
    // The longest a field can become: twice its length and two bytes.
    expectWrittenAs(std::string(30, '"'), "\"" + std::string(60, '"') + "\"");
    expectWrittenAs("K,\"9\" \xc3\xa9", "\"K,\"\"9\"\" \xc3\xa9\"");
}

TEST(CsvRowQuoting, AnyOtherByteAtAnyPlaceLeavesTheFieldAsItIs) {
    expectWrittenAs("", "");
    expectWrittenAs("Z9 \xc3\xa9", "Z9 \xc3\xa9");
    // Bytes one bit away from those that need quotes, the high bit above all.
    std::set<unsigned char> near;
    for (const unsigned char c : {',', '"', '\r', '\n'}) {
        near.insert(c | 0x80);
        near.insert(c + 1);
        near.insert(c - 1);
    }
    near.insert({0x80, 0xa9, 0xc3, 0xff, 0x01});
    for (const unsigned char c : near)
        for (size_t at = 0; at < 21; ++at) {
            std::string field(21, 'x');
            field[at] = static_cast<char>(c);
            expectWrittenAs(field, field);
        }
}

TEST(CsvRowStamps, TheStampInMillisecondsAtSecondZeroWithZerosInsideAndDelayed) {
    const std::map<std::string, std::string> stamps = {{"0.5:Game begins", "5"},
                                                       {"0.0:Game begins", "0"},
                                                       {"7.5:Game begins", "7005"},
                                                       {"50398.0:Game begins", "50398000"},
                                                       {"50398.5:Game begins", "50398005"},
                                                       {"50398.50:Game begins", "50398050"},
                                                       {"50398.999:Game begins", "50398999"},
                                                       {"50398.1003:Game begins", "50399003"},
                                                       {"86399.999:86399.999:GS:;Game started;;", "86399999"}};
    for (const auto& [line, ms] : stamps) {
        LogRecord r;
        LogFault f;
        ASSERT_TRUE(parseLogLine(line, 1, r, f)) << line << ": " << f.what;
        Room room;
        EXPECT_EQ(room.written(csv::putStampMs(room.at(), r)), ms) << line;
    }
}

// The fields of one row of RFC 4180, which must end in CR LF and hold no
// other line end outside quotes.
std::vector<std::string> splitRow(std::string_view row) {
    std::vector<std::string> fields(1);
    size_t i = 0;
    for (;;) {
        if (i < row.size() && row[i] == '"') {
            for (++i;; ++i) {
                if (i == row.size()) {
                    ADD_FAILURE() << "a quote without its end: " << row;
                    return fields;
                }
                if (row[i] == '"' && (i + 1 == row.size() || row[i + 1] != '"')) break;
                if (row[i] == '"') ++i;  // a quote written twice
                fields.back() += row[i];
            }
            ++i;
        } else {
            for (; i < row.size() && row[i] != ',' && row[i] != '\r'; ++i) {
                EXPECT_TRUE(row[i] != '"' && row[i] != '\n') << row;
                fields.back() += row[i];
            }
        }
        if (i < row.size() && row[i] == ',') {
            fields.emplace_back();
            ++i;
            continue;
        }
        EXPECT_EQ(row.substr(i), "\r\n") << row;
        return fields;
    }
}

size_t column(const std::vector<std::string>& columns, const std::string& name) {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == name) return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

// Each field in its own column, not merely as many fields as columns.
TEST(CsvRowColumns, EveryRecordOfAWholeGameGivesAnEventRowWithItsFieldsUnderTheirColumns) {
    const std::vector<std::string>& columns = eventColumns();
    const std::string leading = csv::leadingFields({"071226_1", "2026-12-07", "K,\"9\" \xc3\xa9"});
    std::set<LogRecordKind> kinds;
    for (const auto& [file, ck] : {std::pair{"mix_game_ck.txt", true}, std::pair{"mix_game_nk.txt", false}}) {
        LogReader reader;
        std::string error;
        ASSERT_TRUE(reader.open(std::string(QBX_TEST_DATA) + "/" + file, error)) << error;
        LogRecord r;
        LogFault f;
        while (reader.next(r, f) == LogReader::Next::Record) {
            kinds.insert(r.kind);
            const RecordPlace place{ck, nullptr, static_cast<int>(r.line % 3), r.line * 37 - 500};
            for (const bool waiting : {false, true}) {
                csv::RowBytes rows;
                appendEventRow(rows, waiting ? std::string_view() : std::string_view(leading), place, r);
                std::vector<std::string> fields = splitRow(std::string_view(rows.data(), rows.size()));
                if (waiting) fields.insert(fields.begin(), {"071226_1", "2026-12-07", "K,\"9\" \xc3\xa9"});
                ASSERT_EQ(fields.size(), columns.size()) << r.raw;
                EXPECT_EQ(fields[column(columns, "participant")], "K,\"9\" \xc3\xa9");
                EXPECT_EQ(fields[column(columns, "log")], ck ? "ck" : "nk");
                EXPECT_EQ(fields[column(columns, "line")], std::to_string(r.line));
                EXPECT_EQ(fields[column(columns, "since_start_ms")],
                          r.stampCount ? std::to_string(place.sinceStartMs) : "");
                EXPECT_EQ(fields[column(columns, "hand")], place.hand ? std::to_string(place.hand) : "");
                EXPECT_EQ(fields[column(columns, "code")], r.code);
                EXPECT_EQ(fields[column(columns, "card_a")], r.cardA);
                EXPECT_EQ(fields[column(columns, "position_a")], r.positionA);
                EXPECT_EQ(fields[column(columns, "card_b")], r.cardB);
                EXPECT_EQ(fields[column(columns, "position_b")], r.positionB);
                EXPECT_EQ(fields[column(columns, "score")], r.score);
                EXPECT_EQ(fields[column(columns, "text")], r.text);
            }
        }
    }
    // Rows without a stamp, with free text, with the actor worked out.
    for (const LogRecordKind kind : {LogRecordKind::TotalMoves, LogRecordKind::UserHeader, LogRecordKind::RemoteMove,
                                     LogRecordKind::RemotePass, LogRecordKind::HandEnded})
        EXPECT_EQ(kinds.count(kind), 1u);

    LogRecord r;
    LogFault f;
    ASSERT_TRUE(parseLogLine("50398.990:userID:userName K,\"9\"   :gameNum -1:partner 1", 3, r, f)) << f.what;
    csv::RowBytes rows;
    appendEventRow(rows, leading, RecordPlace{}, r);
    const std::vector<std::string> fields = splitRow(std::string_view(rows.data(), rows.size()));
    ASSERT_EQ(fields.size(), columns.size());
    EXPECT_EQ(fields.back(), r.text);
}

TEST(CsvRowColumns, EveryKindOfHandGivesAHandRowWithItsFieldsUnderTheirColumns) {
    const std::vector<std::string>& columns = handColumns();
    Hand goal;
    goal.number = 1;
    goal.dealt = {"2H", "4C", "2C", "4H", "3C", "3H"};
    goal.opener = "ck";
    goal.goal = "2H";
    goal.ckSwaps = 3, goal.ckPasses = 1, goal.nkSwaps = 1, goal.nkPasses = 2;
    goal.ends = {{"GE", 4, 3, "650.5", "650.5"}};
    goal.dealMs = 100, goal.endMs = 12935;
    goal.fewest = 1;
    Hand several = goal;
    several.number = 12;
    several.ends = {{"GP", -1, -1, "", ""}, {"GM", 4, 4, "600.5", "600.5"}};
    several.dealMs = -1;
    several.fewest.reset();
    Hand noActions = goal;
    noActions.ckSwaps = noActions.ckPasses = noActions.nkSwaps = noActions.nkPasses = 0;
    Hand cutShort = goal;  // the logs end before the hand does
    cutShort.ends.clear();
    const Hand nothing;
    const std::string leading = csv::leadingFields({"071226_1", "2026-12-07", ""});
    // Each hand with some of its fields, as "column=value" separated by blanks.
    const std::pair<const Hand&, std::string> hands[] = {
        {goal,
         "hand=1 targetCardView=3H actions=7 ended_by=goal nk_count=3 nk_score=650.5 deal_to_end_ms=12835 fewest=1 "
         "efficiency=0.1429"},
        {several, "hand=12 ended_by=several end_codes=GP+GM ck_count= ck_score= deal_to_end_ms= fewest= efficiency="},
        {noActions, "actions=0 fewest=1 efficiency="},
        {cutShort, "ended_by= ck_count= nk_score= deal_to_end_ms= efficiency="},
        {nothing, "hand=0 colorCardView= goal="}};
    for (const auto& [hand, expected] : hands) {
        csv::RowBytes rows;
        appendHandRow(rows, leading, hand);
        const std::vector<std::string> fields = splitRow(std::string_view(rows.data(), rows.size()));
        ASSERT_EQ(fields.size(), columns.size());
        for (size_t place = 0; place < 6; ++place)
            EXPECT_EQ(fields[column(columns, "colorCardView") + place], hand.dealt[place]);
        std::istringstream pairs(expected);
        for (std::string pair; pairs >> pair;) {
            const size_t is = pair.find('=');
            EXPECT_EQ(fields[column(columns, pair.substr(0, is))], pair.substr(is + 1)) << pair;
        }
    }
}

}  // namespace
