// csv read back with Python's csv module: a row per record and per hand,
// fields that match the logs, and a participant code that round-trips.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "core/replay/SessionReplay.h"
#include "tool/LogMaking.h"

using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows readCsvWithPython(const fs::path& file) {
    const std::string script = std::string(QBX_TOOL_TESTS) + "/read_csv.py";
    const std::string command = "python3 '" + script + "' '" + file.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return nlohmann::json::parse(text).get<Rows>();
}

size_t column(const Rows& rows, const std::string& name) {
    for (size_t i = 0; i < rows[0].size(); ++i)
        if (rows[0][i] == name) return i;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

std::vector<std::string> logLines(const fs::path& path) {
    std::vector<std::string> out;
    const std::string text = readFile(path);
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

class CsvTables : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    fs::path events = tmp.path() / "events.csv", hands = tmp.path() / "hands.csv";

    // hands.csv of the mix game, with the setup it was played under.
    Rows handsOfTheMixGameWithItsSetup() {
        copyMixGame(dataout);
        writeMixSetup(tmp.path() / "setup");
        const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string(),
                                           "--setup", tmp.path().string()});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return readCsvWithPython(hands);
    }
};

TEST_F(CsvTables, OneRowPerRecordAndPerHandWithTheFieldsOfTheLogs) {
    copyMixGame(dataout);
    playScriptedGame(dataout, 6, 11, "071226_2");
    writeMixSetup(tmp.path() / "setup");
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    const Rows e = readCsvWithPython(events);
    size_t records = 0;
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> logs;
    for (const std::string name : {"ck071226_1", "nk071226_1", "ck071226_2", "nk071226_2"}) {
        logs[{name.substr(2), name.substr(0, 2)}] = logLines(dataout / (name + ".txt"));
        records += logs[{name.substr(2), name.substr(0, 2)}].size();
    }
    ASSERT_EQ(e.size(), records + 1);
    const size_t session = column(e, "session"), log = column(e, "log"), line = column(e, "line"),
                 stamp = column(e, "stamp_ms"), code = column(e, "code"), cardA = column(e, "card_a"),
                 posB = column(e, "position_b"), score = column(e, "score"), hand = column(e, "hand"),
                 since = column(e, "since_start_ms");
    for (size_t i = 1; i < e.size(); ++i) {
        const auto& row = e[i];
        ASSERT_EQ(row.size(), e[0].size());
        const std::string& raw = logs[{row[session], row[log]}].at(std::stoul(row[line]) - 1);
        // The line's own text holds the fields the row gives.
        if (!row[code].empty() && row[code] != "TF") {
            EXPECT_NE(raw.find(row[code] + ":"), std::string::npos) << raw;
        }
        if (!row[cardA].empty()) {
            EXPECT_NE(raw.find(row[cardA]), std::string::npos) << raw;
        }
        if (!row[posB].empty()) {
            EXPECT_NE(raw.find(";" + row[posB] + ":"), std::string::npos) << raw;
        }
        if (!row[score].empty()) {
            EXPECT_NE(raw.find(";" + row[score] + ":Hand Ended"), std::string::npos) << raw;
        }
        if (!row[stamp].empty()) {
            // The stamp as written: a delayed stamp's milliseconds may pass 999.
            const size_t dot = raw.find('.'), colon = raw.find(':');
            EXPECT_EQ(std::stoll(row[stamp]),
                      std::stoll(raw.substr(0, dot)) * 1000 + std::stoll(raw.substr(dot + 1, colon - dot - 1)))
                << raw;
        }
    }
    // Row 60 or so of the mix game's ColorKeeper log: the hand-end of hand 4.
    bool sawGm = false;
    for (const auto& row : e)
        if (row[session] == "071226_1" && row[log] == "ck" && row[line] == "67") {
            sawGm = row[code] == "GM" && row[hand] == "4" && row[score] == "600.5" && row[since] == "44882";
        }
    EXPECT_TRUE(sawGm);

    const Rows h = readCsvWithPython(hands);
    ASSERT_EQ(h.size(), 1u + 5 + 6);
    const size_t ended = column(h, "ended_by"), codes = column(h, "end_codes"), target = column(h, "targetCardView"),
                 opener = column(h, "opener"), actions = column(h, "actions"), fewest = column(h, "fewest");
    // The mix game's hands, wherever its session comes in the order of the
    // sessions' first records.
    size_t mix = 1;
    while (mix < h.size() && h[mix][column(h, "session")] != "071226_1") ++mix;
    ASSERT_LT(mix + 4, h.size());
    EXPECT_EQ(h[mix][ended], "goal");
    EXPECT_EQ(h[mix][target], "3H");
    EXPECT_EQ(h[mix][actions], "7");
    EXPECT_EQ(h[mix + 1][ended], "four_passes");
    EXPECT_EQ(h[mix + 1][opener], "nk");
    EXPECT_EQ(h[mix + 3][ended], "several");
    EXPECT_EQ(h[mix + 3][codes], "GP+GM");
    EXPECT_EQ(h[mix][fewest], "");  // no solver without --setup
}

TEST_F(CsvTables, WithTheSetupEachHandCarriesTheSolversFewestAndNoHandBeatsIt) {
    const Rows h = handsOfTheMixGameWithItsSetup();
    ASSERT_EQ(h.size(), 1u + 5);
    const size_t ended = column(h, "ended_by"), actions = column(h, "actions"), fewest = column(h, "fewest"),
                 efficiency = column(h, "efficiency");
    // The same answers as `qbxtool solve` gives for the same shoe and setup.
    const ProcessResult solved =
        runTool({"solve", (tmp.path() / "setup" / "shoe.txt").string(), "--setup", tmp.path().string(), "--json"});
    const nlohmann::json answers = nlohmann::json::parse(solved.output);
    for (size_t i = 1; i < h.size(); ++i) {
        SCOPED_TRACE("hand " + std::to_string(i));
        const auto& answer = answers.at("hands").at(i - 1);
        if (!answer.contains("fewestActions") || answer.at("fewestActions").is_null()) {
            EXPECT_EQ(h[i][fewest], "");
            continue;
        }
        ASSERT_EQ(h[i][fewest], std::to_string(answer.at("fewestActions").get<int>()));
        // Whoever reached the goal did so in no fewer actions than the fewest.
        if (h[i][ended] == "goal") {
            EXPECT_LE(std::stoi(h[i][fewest]), std::stoi(h[i][actions]));
            EXPECT_FALSE(h[i][efficiency].empty());
        }
    }
    // The first deal: the ColorKeeper holds 2H, the goal, and 3H lies at the
    // Target: one swap of the same colour ends the hand.
    EXPECT_EQ(h[1][fewest], "1");
}

// Efficiency is the fewest actions over the actions taken of a hand that
// reached its goal: none for a hand that ended on passes or on the limit; a
// goal dealt at the Target takes one action; and sessions whose deals are
// not the shoe's of --setup get neither figure, with a warning.
TEST_F(CsvTables, EfficiencyIsGivenOnlyForHandsThatReachedTheirGoalUnderTheirOwnShoe) {
    const Rows h = handsOfTheMixGameWithItsSetup();
    ASSERT_EQ(h.size(), 1u + 5);
    const size_t ended = column(h, "ended_by"), fewest = column(h, "fewest"), efficiency = column(h, "efficiency");
    const std::vector<std::vector<std::string>> expected = {
        {"goal", "1", "0.1429"},  // one swap would do; seven were taken
        {"four_passes", "3", ""},
        {"goal", "1", "1.0000"},  // the goal dealt at the Target: the first action ends the hand
        {"several", "3", ""},     // four passes and the move limit at once
        {"goal", "1", "1.0000"},
    };
    for (size_t i = 1; i < h.size(); ++i)
        EXPECT_EQ((std::vector<std::string>{h[i][ended], h[i][fewest], h[i][efficiency]}), expected[i - 1])
            << "hand " << i;
    // solve says the same of a goal at the Target.
    const ProcessResult solved =
        runTool({"solve", (tmp.path() / "setup" / "shoe.txt").string(), "--setup", tmp.path().string(), "--json"});
    EXPECT_EQ(nlohmann::json::parse(solved.output).at("hands").at(2).at("fewestActions"), 1);

    // Another shoe under the same name: no fewest, no efficiency, and a word on it.
    std::string shoe = qbx::test::kMixShoe;
    shoe.replace(shoe.find("4C  2H  2C"), 10, "2C  2H  4C");
    writeFile(tmp.path() / "setup" / "shoe.txt", shoe);
    const ProcessResult wrong = runTool({"csv", dataout.string(), "-o", (tmp.path() / "w.csv").string(), "--hands",
                                         (tmp.path() / "wh.csv").string(), "--setup", tmp.path().string(), "--force"});
    EXPECT_EQ(wrong.exitCode, 0) << wrong.output;
    EXPECT_NE(wrong.output.find("071226_1: warning: its hands are not those of the shoe"), std::string::npos)
        << wrong.output;
    const Rows w = readCsvWithPython(tmp.path() / "wh.csv");
    for (size_t i = 1; i < w.size(); ++i) {
        EXPECT_EQ(w[i][fewest], "") << "hand " << i;
        EXPECT_EQ(w[i][efficiency], "") << "hand " << i;
    }
}

// Under MIX the role that picks up a card can be the other one than the log
// it is written in: the pick-up that hands the turn over is written in the
// log of the role whose swap is handing it over. The role that acted is the
// one the tables name.
TEST_F(CsvTables, APickUpIsTheRoleThatActedEvenInTheOtherRolesLog) {
    copyMixGame(dataout);
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Rows e = readCsvWithPython(events);
    const size_t log = column(e, "log"), line = column(e, "line"), actor = column(e, "actor"),
                 record = column(e, "record");
    std::map<std::string, std::string> pickUps;  // "ck 13" -> actor
    for (size_t i = 1; i < e.size(); ++i)
        if (e[i][record] == "pick_up") pickUps[e[i][log] + " " + e[i][line]] = e[i][actor];
    // Line 18 of the ColorKeeper's log: the NumberKeeper lifts 2C, which
    // hands it the turn, and swaps it for its hand card (the RM after it).
    EXPECT_EQ(pickUps.at("ck 18"), "nk");
    EXPECT_EQ(pickUps.at("ck 13"), "ck");
    EXPECT_EQ(pickUps.at("ck 16"), "ck");
    EXPECT_EQ(pickUps.at("nk 18"), "nk");
    const Rows h = readCsvWithPython(hands);
    EXPECT_EQ(h[1][column(h, "ck_pick_ups")], "3");
    EXPECT_EQ(h[1][column(h, "nk_pick_ups")], "2");
    // The report's time line names it the same way.
    const fs::path page = tmp.path() / "report.html";
    ASSERT_EQ(runTool({"report", dataout.string(), "-o", page.string()}).exitCode, 0);
    const std::string html = readFile(page);
    const size_t hand1 = html.find("data-hand=\"1\""), hand2 = html.find("data-hand=\"2\"");
    ASSERT_NE(hand1, std::string::npos);
    // Hand 1's time line on its own scale (the page draws it on the common scale too).
    const std::string whole = html.substr(hand1, hand2 - hand1);
    const std::string first = whole.substr(0, whole.find("class=\"tl-common\""));
    size_t nkPickUps = 0;
    for (size_t at = first.find("NumberKeeper pick-up"); at != std::string::npos;
         at = first.find("NumberKeeper pick-up", at + 1))
        ++nkPickUps;
    EXPECT_EQ(nkPickUps, 2u);
}

TEST_F(CsvTables, AParticipantCodeWithACommaAQuoteAndAnAccentRoundTrips) {
    copyMixGame(dataout);
    for (const char* role : {"ck", "nk"}) {
        const fs::path file = dataout / (std::string(role) + "071226_1.txt");
        std::string text = readFile(file);
        const std::string from = "userName Z9 \xc3\xa9   ", to = "userName K,\"9\" \xc3\xa9   ";
        text.replace(text.find(from), from.size(), to);
        writeFile(file, text);
    }
    const ProcessResult run =
        runTool({"csv", (dataout / "ck071226_1.txt").string(), "-o", events.string(), "--hands", hands.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const fs::path& table : {events, hands}) {
        const Rows rows = readCsvWithPython(table);
        const size_t participant = column(rows, "participant");
        ASSERT_GT(rows.size(), 1u);
        for (size_t i = 1; i < rows.size(); ++i) ASSERT_EQ(rows[i][participant], "K,\"9\" \xc3\xa9") << table;
    }
}

// Every reader of a session reads it alike: the code as typed (a blank the
// participant typed after it included, the program's three dropped), and
// each pick-up made by the role whose action follows it in its log.
TEST_F(CsvTables, TheReplayTheTablesAndTheSessionsListReadTheCodeAndThePickUpsAlike) {
    copyMixGame(dataout);
    const std::string typed = "Z9 \xc3\xa9 ";
    std::string ckText, nkText;
    for (std::string* text : {&ckText, &nkText}) {
        const fs::path file = dataout / (std::string(text == &ckText ? "ck" : "nk") + "071226_1.txt");
        *text = readFile(file);
        const std::string from = "userName Z9 \xc3\xa9   ", to = "userName " + typed + "   ";
        text->replace(text->find(from), from.size(), to);
        writeFile(file, *text);
    }

    std::string error;
    const auto replay =
        qbx::replay::SessionReplay::open({"ck071226_1.txt", "nk071226_1.txt", ckText, nkText, {}}, {1280, 1024}, error);
    ASSERT_TRUE(replay) << error;
    EXPECT_EQ(replay->participant(), typed);
    std::map<std::string, std::string> replayPickUps;  // "ck 18" -> who made it
    for (const qbx::replay::Action& a : replay->actions())
        if (a.kind == qbx::replay::ActionKind::PickUp)
            replayPickUps[a.file.substr(0, 2) + " " + std::to_string(a.line)] = qbx::roleName(a.role);

    ASSERT_EQ(runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()}).exitCode, 0);
    const Rows e = readCsvWithPython(events);
    const size_t participant = column(e, "participant"), log = column(e, "log"), line = column(e, "line"),
                 actor = column(e, "actor"), record = column(e, "record");
    std::map<std::string, std::string> tablePickUps;
    for (size_t i = 1; i < e.size(); ++i) {
        ASSERT_EQ(e[i][participant], typed);
        if (e[i][record] == "pick_up") tablePickUps[e[i][log] + " " + e[i][line]] = e[i][actor];
    }
    EXPECT_EQ(replayPickUps, tablePickUps);
    EXPECT_EQ(replayPickUps.at("ck 18"), "nk");  // lifted in the ColorKeeper's turn, by the NumberKeeper

    const ProcessResult listed = runTool({"sessions", "--json", dataout.string()});
    const nlohmann::json sessions = nlohmann::json::parse(listed.output.substr(0, listed.output.rfind('}') + 1));
    EXPECT_EQ(sessions["sessions"][0]["participant"], typed) << listed.output;
}

// A code typed on a Windows keyboard reaches the logs as Windows-1252 bytes;
// the tables and sessions --json read it as the table window shows it.
TEST_F(CsvTables, AnEightBitCodeReadsAsWindows1252InTablesAndJson) {
    copyMixGame(dataout);
    for (const char* role : {"ck", "nk"}) {
        const fs::path file = dataout / (std::string(role) + "071226_1.txt");
        std::string text = readFile(file);
        const std::string from = "userName Z9 \xc3\xa9   ", to = "userName \x80\x8a\x81\x9f\xe9   ";
        text.replace(text.find(from), from.size(), to);
        writeFile(file, text);
    }
    const std::string shown = "\xe2\x82\xac\xc5\xa0\xc2\x81\xc5\xb8\xc3\xa9";  // €Š, U+0081, Ÿé
    const ProcessResult run =
        runTool({"csv", (dataout / "ck071226_1.txt").string(), "-o", events.string(), "--hands", hands.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Rows rows = readCsvWithPython(hands);
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[1][column(rows, "participant")], shown);
    const ProcessResult sessions = runTool({"sessions", "--json", dataout.string()});
    const auto j = nlohmann::json::parse(sessions.output);
    EXPECT_EQ(j.at("sessions").at(0).at("participant"), shown);
}

TEST_F(CsvTables, ALineThatIsNoRecordIsNamedAndLeftOutTheRestIsWritten) {
    copyMixGame(dataout);
    std::string text = readFile(dataout / "nk071226_1.txt");
    text.replace(text.find("50407.160:50407.160:PP"), 5, "5o407");  // line 14
    writeFile(dataout / "nk071226_1.txt", text);
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("nk071226_1.txt:14:"), std::string::npos) << run.output;
    EXPECT_EQ(readCsvWithPython(events).size(), 1u + 80 + 76 - 1);
}

// Each row names its line in its log: after a line left out, and past
// lines 9 and 99, the number is still the line's own.
TEST_F(CsvTables, EachRowNamesItsOwnLinePastALeftOutLineAndPastAHundred) {
    playScriptedGame(dataout, 14, 5, "071226_1");
    const fs::path nk = dataout / "nk071226_1.txt";
    std::vector<std::string> lines = logLines(nk);
    ASSERT_GT(lines.size(), 120u);
    const std::string broken = lines[49];
    std::string text = readFile(nk);
    text.replace(text.find(broken), 1, "x");  // line 50 is no record now
    writeFile(nk, text);
    lines = logLines(nk);
    const std::map<std::string, std::vector<std::string>> logs = {{"ck", logLines(dataout / "ck071226_1.txt")},
                                                                  {"nk", lines}};

    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string()});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("nk071226_1.txt:50:"), std::string::npos) << run.output;
    const Rows e = readCsvWithPython(events);
    ASSERT_EQ(e.size(), 1 + logs.at("ck").size() + lines.size() - 1);
    const size_t log = column(e, "log"), line = column(e, "line"), code = column(e, "code"),
                 textColumn = column(e, "text");
    std::set<long> nkLines;
    for (size_t i = 1; i < e.size(); ++i) {
        const long n = std::stol(e[i][line]);
        const std::string& raw = logs.at(e[i][log]).at(static_cast<size_t>(n - 1));
        if (e[i][log] == "nk") nkLines.insert(n);
        EXPECT_NE(raw.find(e[i][textColumn]), std::string::npos) << n << ": " << raw;
        if (!e[i][code].empty() && e[i][code] != "TF") {
            EXPECT_NE(raw.find(e[i][code] + ":"), std::string::npos) << n << ": " << raw;
        }
    }
    EXPECT_EQ(nkLines.count(50), 0u);
    for (const long n : {9L, 10L, 49L, 51L, 99L, 100L, 101L, static_cast<long>(lines.size())})
        EXPECT_EQ(nkLines.count(n), 1u) << n;
}

// The participant code comes from the first four lines of the ColorKeeper's
// log, which is read beside the other log: rows written before that line
// was reached carry it too, a broken first line does not hide it, and a
// log without it gives every row an empty code, even if the other log has
// one.
TEST_F(CsvTables, EveryRowCarriesTheCodeFromTheFirstFourLinesOfTheColorKeepersLog) {
    copyMixGame(dataout, "071226_1");
    copyMixGame(dataout, "071226_2");
    const fs::path brokenFirst = dataout / "ck071226_1.txt", noCode = dataout / "ck071226_2.txt";
    std::string text = readFile(brokenFirst);
    text.replace(0, 5, "5o398");
    writeFile(brokenFirst, text);
    text = readFile(noCode);
    text.erase(text.find("50398.990:userID"), text.find("50398.990:errorsMade") - text.find("50398.990:userID"));
    writeFile(noCode, text);
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()});
    EXPECT_EQ(run.exitCode, 1) << run.output;  // the broken line is left out
    for (const fs::path& table : {events, hands}) {
        const Rows rows = readCsvWithPython(table);
        const size_t session = column(rows, "session"), participant = column(rows, "participant");
        int first = 0, second = 0;
        for (size_t i = 1; i < rows.size(); ++i) {
            const bool isFirst = rows[i][session] == "071226_1";
            ++(isFirst ? first : second);
            EXPECT_EQ(rows[i][participant], isFirst ? "Z9 \xc3\xa9" : "") << table << " row " << i;
        }
        EXPECT_GT(first, 0);
        EXPECT_GT(second, 0);
    }
}

// Numbers are written by the tables' own digit writer: a clock that goes
// back gives a negative time since the start, and a total of twelve digits
// and stamps with zeros inside come out as the values they are.
TEST_F(CsvTables, ATimeThatGoesBackAndATwelveDigitTotalAreWrittenAsTheirValues) {
    copyMixGame(dataout);
    for (const char* role : {"ck", "nk"}) {
        const fs::path file = dataout / (std::string(role) + "071226_1.txt");
        std::string text = readFile(file);
        text.replace(text.find("50398.990:50398.990:GS"), 19, "50398.7:50398.7");
        text.replace(text.find("TotalMove:21"), 12, "TotalMove:987654321012");
        writeFile(file, text);
    }
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Rows rows = readCsvWithPython(events);
    const size_t record = column(rows, "record"), stamp = column(rows, "stamp_ms"),
                 since = column(rows, "since_start_ms"), total = column(rows, "total_moves");
    int started = 0, totals = 0;
    for (size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][record] == "game_started") {
            ++started;
            EXPECT_EQ(rows[i][stamp], "50398007");
            EXPECT_EQ(rows[i][since], "-983");
        }
        if (rows[i][record] == "total_moves") {
            ++totals;
            EXPECT_EQ(rows[i][total], "987654321012");
        }
    }
    EXPECT_EQ(started, 2);
    EXPECT_EQ(totals, 2);
}

}  // namespace

// Sessions are read ahead of the one being written: many sessions, some
// with a cut line, still come out in their order, each whole, with the
// messages in the same order.
TEST_F(CsvTables, ManySessionsKeepTheirOrderAndTheirMessagesInTheRowsAndOnStandardError) {
    const int sessions = 30;
    std::vector<std::string> cutLogs;
    for (int n = 1; n <= sessions; ++n) {
        const std::string ck = copyMixGame(dataout, "071226_" + std::to_string(n));
        if (n % 7 == 3) {
            const std::string text = readFile(ck);
            writeFile(ck, text.substr(0, text.size() - 5));
            cutLogs.push_back(ck);
        }
    }
    const ProcessResult run = runTool({"csv", dataout.string(), "-o", events.string(), "--hands", hands.string()});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const Rows rows = readCsvWithPython(events);
    const size_t sessionColumn = column(rows, "session"), lineColumn = column(rows, "line"),
                 logColumn = column(rows, "log");
    const size_t perSession = logLines(dataout / "ck071226_1.txt").size() + logLines(dataout / "nk071226_1.txt").size();
    ASSERT_EQ(rows.size(), 1 + perSession * sessions - cutLogs.size());
    size_t at = 1;
    for (int n = 1; n <= sessions; ++n) {
        const std::string suffix = "071226_" + std::to_string(n);
        long lastCk = 0, lastNk = 0;
        for (; at < rows.size() && rows[at][sessionColumn] == suffix; ++at) {
            long& last = rows[at][logColumn] == "ck" ? lastCk : lastNk;
            EXPECT_EQ(std::stol(rows[at][lineColumn]), last + 1) << suffix;
            last = std::stol(rows[at][lineColumn]);
        }
        EXPECT_GT(lastNk, 0) << "session " << suffix << " is missing or out of order";
    }
    EXPECT_EQ(at, rows.size());
    const Rows handRows = readCsvWithPython(hands);
    const size_t handSession = column(handRows, "session");
    size_t handsOfOne = 0;
    while (1 + handsOfOne < handRows.size() && handRows[1 + handsOfOne][handSession] == "071226_1") ++handsOfOne;
    ASSERT_GT(handsOfOne, 0u);
    ASSERT_EQ(handRows.size(), 1 + handsOfOne * sessions);
    for (size_t i = 1; i < handRows.size(); ++i)
        EXPECT_EQ(handRows[i][handSession], "071226_" + std::to_string(1 + (i - 1) / handsOfOne));
    size_t from = 0;
    for (const std::string& cut : cutLogs) {
        const size_t found = run.output.find(cut + ":", from);
        EXPECT_NE(found, std::string::npos) << cut << " not named, or named out of order";
        if (found != std::string::npos) from = found;
    }
}
