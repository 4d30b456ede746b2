// Logs altered on their way from the lab (a byte order mark, their line ends
// changed, the last line end lost) read as the logs the game wrote: the same
// session, hands, scores and csv rows, one warning per altered file and no
// fault; while a damaged line is still a fault of its own line.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include "tool/LogMaking.h"
#include "tool/csv/Csv.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/logs/Verify.h"

using namespace qbx::tool;
using namespace qbx::tool::test;
using namespace qbx::tool::logs;

namespace {

// Every CR LF of a log as the game wrote it made `lineEnd`.
std::string withLineEnds(const std::string& crlf, const std::string& lineEnd) {
    std::string out;
    for (size_t at = 0; at < crlf.size();) {
        const size_t end = crlf.find("\r\n", at);
        out += crlf.substr(at, end - at) + lineEnd;
        at = end + 2;
    }
    return out;
}

std::string withoutLastLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

const std::string kBom = "\xEF\xBB\xBF";

struct Alteration {
    const char* story;
    std::function<std::string(const std::string&)> apply;
    const char* warning;  // what verify says of the file
};

const Alteration kAlterations[] = {
    {"ByteOrderMark", [](const std::string& t) { return kBom + t; }, "a byte order mark added after the session"},
    {"LfOnly", [](const std::string& t) { return withLineEnds(t, "\n"); },
     "line ends changed after the session: LF only"},
    {"CrCrLf", [](const std::string& t) { return withLineEnds(t, "\r\r\n"); },
     "line ends changed after the session: CR CR LF"},
    {"LastLineEndMissing", [](const std::string& t) { return withoutLastLineEnd(t); }, "the last line end missing"},
    {"MarkedLfOnlyAndLastLineEndMissing",
     [](const std::string& t) { return kBom + withoutLastLineEnd(withLineEnds(t, "\n")); },
     "a byte order mark added after the session; line ends changed after the session: LF only; the last line "
     "end missing"},
    {"MarkedCrCrLf", [](const std::string& t) { return kBom + withLineEnds(t, "\r\r\n"); },
     "a byte order mark added after the session; line ends changed after the session: CR CR LF"},
    {"CrCrLfAndLastLineEndMissing", [](const std::string& t) { return withoutLastLineEnd(withLineEnds(t, "\r\r\n")); },
     "line ends changed after the session: CR CR LF; the last line end missing"},
};

void PrintTo(const Alteration& a, std::ostream* os) { *os << a.story; }

class Collected : public SessionSink {
public:
    void fault(const SessionFault& f) override {
        faults += f.file + ":" + std::to_string(f.line) + " " + faultKindText(f.kind) + ": " + f.what + "\n";
    }
    void warning(const SessionFault& w) override {
        EXPECT_EQ(w.line, 0);
        EXPECT_EQ(w.kind, SessionFaultKind::Warning);
        warnings[w.file].push_back(w.what);
    }
    std::string faults;
    std::map<std::string, std::vector<std::string>> warnings;
};

// Everything a command takes from a session, as text, to compare whole.
std::string summary(const Session& s) {
    std::ostringstream out;
    out << "participant " << s.participant << ", start " << clockText(s.start) << ", last " << clockText(s.last) << " ("
        << s.lastMs << " ms, hand " << s.lastHand << "), ended " << s.gameEnded << ", total moves " << s.totalMoves
        << ", hands played " << s.handsPlayed() << ", scores " << totalText(s.ckTotal()) << " "
        << totalText(s.nkTotal()) << ", faults " << s.faults << "\n";
    for (const Hand& h : s.hands) {
        out << "hand " << h.number << ":";
        for (const std::string& card : h.dealt) out << " " << card;
        out << " deal " << h.dealMs << " end " << h.endMs << " opener " << h.opener << " goal " << h.goal << " swaps "
            << h.ckSwaps << "/" << h.nkSwaps << " passes " << h.ckPasses << "/" << h.nkPasses << " pick-ups "
            << h.ckPickUps << "/" << h.nkPickUps << " looks " << h.ckLooks << "/" << h.nkLooks << " fewest "
            << (h.fewest ? std::to_string(*h.fewest) : "-");
        for (const HandEndBlock& b : h.ends)
            out << " " << b.code << " " << b.ckCount << "/" << b.nkCount << " " << b.ckScore << "/" << b.nkScore;
        out << "\n";
    }
    return out.str();
}

struct Game {
    const char* name;
    bool withSetup;
};

class AlteredLogs : public ::testing::TestWithParam<Alteration> {
protected:
    TempDir tmp;

    LogFolder folderOf(const fs::path& dataout) {
        LogFolder folder = findLogs(dataout.string());
        EXPECT_EQ(folder.pairs.size(), 1u);
        return folder;
    }
};

// Each game of tests/data with the ColorKeeper's log altered, the
// NumberKeeper's, and both: the session read, its csv rows and verify's
// verdict are those of the logs as the game wrote them.
TEST_P(AlteredLogs, ReadAsTheLogsTheGameWrote) {
    const Alteration& alteration = GetParam();
    writeMixSetup(tmp.path() / "setup");
    const GameSetup mixSetup = *setupFromOption((tmp.path() / "setup").string());
    for (const Game game : {Game{"mix_game", true}, Game{"circular_game", false}}) {
        const GameSetup* setup = game.withSetup ? &mixSetup : nullptr;
        const std::string ckText = readFile(std::string(QBX_TEST_DATA) + "/" + game.name + "_ck.txt");
        const std::string nkText = readFile(std::string(QBX_TEST_DATA) + "/" + game.name + "_nk.txt");
        const fs::path original = tmp.path() / game.name / "original";
        fs::create_directories(original);
        writeFile(original / "ck071226_1.txt", ckText);
        writeFile(original / "nk071226_1.txt", nkText);
        Collected originalSink;
        const LogFolder originalLogs = folderOf(original);
        const std::string want = summary(readSession(originalLogs.pairs[0], setup, originalSink));
        ASSERT_TRUE(originalSink.faults.empty()) << originalSink.faults;
        ASSERT_NE(want.find("ended 1"), std::string::npos) << want;
        std::ostringstream quiet;
        writeCsv(originalLogs, {(original / "events.csv").string(), (original / "hands.csv").string(), {setup}, "", {}},
                 quiet);

        for (const auto& [alterCk, alterNk] : {std::pair{true, false}, {false, true}, {true, true}}) {
            const std::string which = std::string(game.name) + (alterCk ? " ck" : "") + (alterNk ? " nk" : "");
            SCOPED_TRACE(which);
            const fs::path dataout =
                tmp.path() / game.name / (std::string(alterCk ? "ck" : "") + (alterNk ? "nk" : "")) / "dataout";
            const fs::path ck = dataout / "ck071226_1.txt", nk = dataout / "nk071226_1.txt";
            fs::create_directories(dataout);
            writeFile(ck, alterCk ? alteration.apply(ckText) : ckText);
            writeFile(nk, alterNk ? alteration.apply(nkText) : nkText);
            std::vector<std::string> altered;
            if (alterCk) altered.push_back(ck.string());
            if (alterNk) altered.push_back(nk.string());
            const LogFolder logs = folderOf(dataout);

            Collected sink;
            EXPECT_EQ(summary(readSession(logs.pairs[0], setup, sink)), want);
            EXPECT_EQ(sink.faults, "");
            EXPECT_EQ(sink.warnings.size(), altered.size());
            for (const std::string& file : altered)
                EXPECT_EQ(sink.warnings[file], std::vector<std::string>{alteration.warning}) << file;

            // The same rows; the warnings said once per file, and no line left out.
            std::ostringstream messages;
            const CsvCounts counts = writeCsv(
                logs, {(dataout / "events.csv").string(), (dataout / "hands.csv").string(), {setup}, "", {}}, messages);
            EXPECT_EQ(readFile(dataout / "events.csv"), readFile(original / "events.csv"));
            EXPECT_EQ(readFile(dataout / "hands.csv"), readFile(original / "hands.csv"));
            EXPECT_FALSE(counts.problems());
            EXPECT_EQ(counts.sessionsWithFaults, 0);
            std::string said;
            for (const std::string& file : altered) said += file + ": warning: " + alteration.warning + "\n";
            EXPECT_EQ(messages.str(), said);

            // verify: a warning per altered file, and no fault.
            const VerifyResult verdict = verifyLogs(logs, {setup});
            EXPECT_FALSE(verdict.problems());
            std::ostringstream out, verifyMessages;
            printVerify(verdict, out, verifyMessages);
            EXPECT_EQ(verifyMessages.str(), said);
            EXPECT_EQ(verdict.pairs[0].warnings.size(), altered.size());
            const qbx::json::Value json = verifyJson(verdict).find("sessions")->elements()[0];
            EXPECT_TRUE(json.find("ok")->boolean());
            EXPECT_TRUE(json.find("faults")->elements().empty());
            const auto& warnings = json.find("warnings")->elements();
            ASSERT_EQ(warnings.size(), altered.size());
            EXPECT_EQ(warnings[0].find("file")->text(), altered[0]);
            EXPECT_EQ(warnings[0].find("what")->text(), alteration.warning);
            EXPECT_NE(out.str().find("071226_1: ok, "), std::string::npos) << out.str();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachCopy, AlteredLogs, ::testing::ValuesIn(kAlterations),
                         [](const ::testing::TestParamInfo<Alteration>& info) { return info.param.story; });

// One line damaged in a log, altered or not: that line is a fault with its
// number, every other line is read, and the alteration of the file as a
// whole is still named once.
struct Damage {
    const char* story;
    const char* lineEnd;                                    // of the file's lines
    int line;                                               // the line damaged, from 1
    std::function<std::string(const std::string&)> damage;  // the line with its line end
    const char* kind;
    const char* warning;  // "" for a log as the game wrote it
};

std::string endingIn(const std::string& line, const std::string& lineEnd) {
    return line.substr(0, line.find_first_of("\r\n")) + lineEnd;
}

const Damage kDamages[] = {
    {"UnalteredLineEndingInLfAlone", "\r\n", 14, [](const std::string& l) { return endingIn(l, "\n"); },
     "line feed without carriage return", ""},
    {"UnalteredFirstLineEndingInLfAlone", "\r\n", 1, [](const std::string& l) { return endingIn(l, "\n"); },
     "line feed without carriage return", ""},
    {"UnalteredLineWithACarriageReturnInside", "\r\n", 14,
     [](const std::string& l) { return l.substr(0, 10) + "\r" + l.substr(10); }, "carriage return without line feed",
     ""},
    {"UnalteredLineEndingInCrCrLf", "\r\n", 20, [](const std::string& l) { return endingIn(l, "\r\r\n"); },
     "carriage return without line feed", ""},
    {"LfOnlyLineEndingInCrLf", "\n", 14, [](const std::string& l) { return endingIn(l, "\r\n"); },
     "line end unlike the file's", "line ends changed after the session: LF only"},
    {"LfOnlyLineWithACarriageReturnInside", "\n", 30,
     [](const std::string& l) { return l.substr(0, 10) + "\r" + l.substr(10); }, "carriage return without line feed",
     "line ends changed after the session: LF only"},
    {"CrCrLfLineEndingInCrLf", "\r\r\n", 14, [](const std::string& l) { return endingIn(l, "\r\n"); },
     "line end unlike the file's", "line ends changed after the session: CR CR LF"},
    {"CrCrLfLineEndingInLfAlone", "\r\r\n", 2, [](const std::string& l) { return endingIn(l, "\n"); },
     "line end unlike the file's", "line ends changed after the session: CR CR LF"},
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.story; }

class DamagedLine : public ::testing::TestWithParam<Damage> {
protected:
    TempDir tmp;
};

TEST_P(DamagedLine, IsAFaultOfThatLineAlone) {
    const Damage& d = GetParam();
    const fs::path dataout = tmp.path() / "dataout";
    const fs::path ck = dataout / "ck071226_1.txt", nk = dataout / "nk071226_1.txt";
    const std::string ckText = withLineEnds(readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt"), d.lineEnd);
    fs::create_directories(dataout);
    std::string damaged;
    int line = 0;
    for (size_t at = 0; at < ckText.size();) {
        const size_t end = ckText.find('\n', at) + 1;
        const std::string text = ckText.substr(at, end - at);
        damaged += ++line == d.line ? d.damage(text) : text;
        at = end;
    }
    writeFile(ck, damaged);
    writeFile(nk, readFile(std::string(QBX_TEST_DATA) + "/mix_game_nk.txt"));

    qbx::LogReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(ck.string(), error)) << error;
    qbx::LogRecord r;
    qbx::LogFault f;
    std::vector<qbx::LogFault> faults;
    long records = 0;
    for (qbx::LogReader::Next next; (next = reader.next(r, f)) != qbx::LogReader::Next::End;)
        next == qbx::LogReader::Next::Fault ? faults.push_back(f) : void(++records);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].line, d.line) << faults[0].what;
    EXPECT_EQ(qbx::faultKindName(faults[0].kind), std::string(d.kind)) << faults[0].what;
    EXPECT_EQ(records, line - 1);
    EXPECT_EQ(qbx::alterationText(reader.alteration()), d.warning);

    // verify names the line, and says the warning (if any) once.
    const VerifyResult verdict = verifyLogs(findLogs(dataout.string()), {});
    ASSERT_TRUE(verdict.problems());
    bool named = false;
    for (const SessionFault& fault : verdict.pairs[0].firstOfEachKind)
        named |=
            fault.file == ck.string() && fault.line == d.line && faultKindText(fault.kind) == std::string_view(d.kind);
    EXPECT_TRUE(named);
    EXPECT_EQ(verdict.pairs[0].warnings.size(), std::string(d.warning).empty() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(InTheMixGame, DamagedLine, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) { return info.param.story; });

// The end of a log that was cut, not copied, stays a cut line: a record cut
// inside its text, a last line after a damaged one, a file of one line.
TEST(AlteredLogEnds, ACutRecordOrAnUnsureFileIsStillACutLine) {
    const std::string ck = readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt");
    const std::string lf = withLineEnds(ck, "\n");
    struct Case {
        const char* story;
        std::string text;
        long cutLine;  // 0: no cut line
    };
    const size_t lastLine = std::count(ck.begin(), ck.end(), '\n');
    const std::string damagedThenUnended = [&] {
        std::string t = withoutLastLineEnd(ck);
        t.replace(t.find("\r\n"), 2, "\n");  // line 1 ends in LF alone
        return t;
    }();
    const Case cases[] = {
        {"cut inside the last record", ck.substr(0, ck.size() - 5), static_cast<long>(lastLine)},
        {"cut inside the last record of a LF-only log", lf.substr(0, lf.size() - 4), static_cast<long>(lastLine)},
        {"last line end missing after a damaged line", damagedThenUnended, static_cast<long>(lastLine)},
        {"last line end missing, but its CR kept", ck.substr(0, ck.size() - 1), static_cast<long>(lastLine)},
        {"last line end missing after a line ending in CR CR LF",
         withoutLastLineEnd(ck).replace(ck.find("\r\n"), 2, "\r\r\n"), static_cast<long>(lastLine)},
        {"a file of one record without a line end", "50398.990:TF:CK", 1},
        {"the last line end missing after whole lines", withoutLastLineEnd(ck), 0},
    };
    for (const Case& c : cases) {
        qbx::LogReader reader;
        reader.openText(c.text);
        qbx::LogRecord r;
        qbx::LogFault f;
        long cut = 0;
        for (qbx::LogReader::Next next; (next = reader.next(r, f)) != qbx::LogReader::Next::End;)
            if (next == qbx::LogReader::Next::Fault && f.kind == qbx::LogFaultKind::CutLine) cut = f.line;
        EXPECT_EQ(cut, c.cutLine) << c.story;
        EXPECT_EQ(reader.alteration().lastLineEndMissing, c.cutLine == 0) << c.story;
        EXPECT_EQ(reader.bytesRead(), static_cast<long long>(c.text.size())) << c.story;
    }
}

// Each command as the experimenter runs it: the altered log read as the
// original, the warning said once, and exit 0.
TEST(AlteredLogCommands, SayTheWarningOnceAndFindNothingWrong) {
    TempDir tmp;
    const fs::path dataout = tmp.path() / "dataout";
    copyMixGame(dataout);
    const fs::path ck = dataout / "ck071226_1.txt";
    writeFile(ck, kBom + withLineEnds(readFile(ck), "\n"));
    const std::string warning =
        ck.string() +
        ": warning: a byte order mark added after the session; line ends changed after the session: LF only\n";
    const std::vector<std::vector<std::string>> commands = {
        {"sessions", dataout.string()},
        {"verify", dataout.string()},
        {"csv", dataout.string(), "-o", (tmp.path() / "events.csv").string()},
        {"report", dataout.string(), "-o", (tmp.path() / "report.html").string()},
    };
    for (const auto& args : commands) {
        const ProcessResult run = runTool(args);
        EXPECT_EQ(run.exitCode, 0) << args[0] << "\n" << run.output;
        const size_t at = run.output.find(warning);
        EXPECT_NE(at, std::string::npos) << args[0] << "\n" << run.output;
        EXPECT_EQ(run.output.find(warning, at + 1), std::string::npos) << args[0] << "\n" << run.output;
    }
    // The table of sessions is the original's.
    const fs::path original = tmp.path() / "original";
    copyMixGame(original);
    std::string table = runTool({"sessions", dataout.string()}).output;
    table.erase(table.find(warning), warning.size());
    EXPECT_EQ(table, runTool({"sessions", original.string()}).output);
}

}  // namespace
