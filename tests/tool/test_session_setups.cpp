// Each session read with the setup its run record saved: a folder of mixed
// conditions analysed right with no option, --setup overriding with a
// warning per session of another setup, what sessions, csv and report show
// of each session's record, and the codebook beside the tables.

#include <gtest/gtest.h>

#include <map>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "core/eventlog/LogFormat.h"
#include "core/runrecord/SetupDigest.h"
#include "core/runrecord/Sha256.h"
#include "tool/LogMaking.h"
#include "tool/Tool.h"
#include "tool/csv/Codebook.h"
#include "tool/logs/Verify.h"

using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

using Rows = std::vector<std::vector<std::string>>;
using json = nlohmann::ordered_json;

Rows readCsvWithPython(const fs::path& file) {
    const std::string command = "python3 '" + std::string(QBX_TOOL_TESTS) + "/read_csv.py' '" + file.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string text;
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return nlohmann::json::parse(text).get<Rows>();
}

// The rows of one session, as column -> value maps.
std::vector<std::map<std::string, std::string>> rowsOf(const Rows& table, const std::string& session) {
    std::vector<std::map<std::string, std::string>> rows;
    for (size_t i = 1; i < table.size(); ++i) {
        std::map<std::string, std::string> row;
        for (size_t c = 0; c < table[0].size(); ++c) row[table[0][c]] = table[i].at(c);
        if (row["session"] == session) rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> columnOf(const std::vector<std::map<std::string, std::string>>& rows,
                                  const std::string& name) {
    std::vector<std::string> values;
    for (const auto& row : rows) values.push_back(row.at(name));
    return values;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Writes a file, making its folders.
void writeInto(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    writeFile(path, bytes);
}

// A setup as a run record names it: its files with their SHA-256, and its hash.
struct SavedSetup {
    std::map<std::string, std::string> files;  // by name in setup/
    std::string hash;
    json listed = json::array();
    std::string shortHash() const { return hash.substr(0, 12); }
};

SavedSetup describe(const std::map<std::string, std::string>& files) {
    SavedSetup setup;
    setup.files = files;
    std::vector<qbx::SetupFile> listed;
    for (const auto& [name, bytes] : files) {
        listed.push_back({"setup/" + name, static_cast<long long>(bytes.size()), qbx::sha256Hex(bytes), "other"});
        setup.listed.push_back({{"path", listed.back().path},
                                {"bytes", bytes.size()},
                                {"sha256", listed.back().sha256},
                                {"use", "other"}});
    }
    setup.hash = qbx::setupHash(listed);
    return setup;
}

// A saved setup as the program keeps it: dataout/setups/<hash>/setup/.
SavedSetup saveSetup(const fs::path& dataout, const std::map<std::string, std::string>& files) {
    SavedSetup setup = describe(files);
    for (const auto& [name, bytes] : files) writeInto(dataout / "setups" / setup.hash / "setup" / name, bytes);
    return setup;
}

// The run record of `session` as the program leaves it at the end, naming
// the saved setup `setup`; `patch` changes or adds fields.
void writeRunRecord(const fs::path& dataout, const std::string& session, const SavedSetup& setup,
                    const json& patch = json::object()) {
    json r = {{"record", "QBXSolo run record"},
              {"format", 1},
              {"session", session},
              {"logs", {"ck" + session + ".txt", "nk" + session + ".txt"}},
              {"state", "ended"},
              {"program", {{"version", "1.4.0"}, {"commit", "96e76e4"}}},
              {"system", {{"os", "Debian GNU/Linux 12 (bookworm)"}, {"windowManager", nullptr}}},
              {"workingDirectory", "lab"},
              {"participant", "Z9 \xc3\xa9   "},
              {"setup",
               {{"hash", setup.hash},
                {"short", setup.shortHash()},
                {"saved", "setups/" + setup.hash},
                {"files", setup.listed}}},
              {"parameters", json::object()},
              {"continues", nullptr},
              {"started", "2026-12-07T14:00:00.000"},
              {"end", {{"time", "2026-12-07T14:20:00.000"}, {"how", "game ended"}, {"hands", 5}}},
              {"keptInFront", json::array()},
              {"problems", json::array()}};
    r.merge_patch(patch);
    writeFile(dataout / qbx::runRecordName(session), r.dump(2));
}

std::map<std::string, std::string> mixSetupFiles() {
    return {{"QBXParameter.ini",
             qbx::test::parameterFile(
                 {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"MaxRounds", "8"}, {"PremiumRound", "2001"}})},
            {"shoe.txt", qbx::test::kMixShoe}};
}

// The setup playScriptedGame plays with, for these hands and seed.
std::map<std::string, std::string> scriptedSetupFiles(int hands, unsigned seed) {
    return {{"QBXParameter.ini", qbx::test::parameterFile({{"ViewCard", "NONE"}, {"MaxRounds", "50"}})},
            {"messages.ini", qbx::test::englishCatalogue()},
            {"shoe.txt", qbx::test::randomShoe(hands, seed)}};
}

class SessionSetups : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    fs::path out = tmp.path() / "tables";
    SavedSetup mixSetup, scriptedSetup;

    // The mix game (071226_1) and a scripted game of six hands (071226_2),
    // each with its run record and its own saved setup: their shoes differ.
    void twoSessionsOfTwoSetups() {
        copyMixGame(dataout, "071226_1");
        playScriptedGame(dataout, 6, 11, "071226_2");
        mixSetup = saveSetup(dataout, mixSetupFiles());
        scriptedSetup = saveSetup(dataout, scriptedSetupFiles(6, 11));
        writeRunRecord(dataout, "071226_1", mixSetup, {{"workingDirectory", "lab-a"}});
        writeRunRecord(dataout, "071226_2", scriptedSetup,
                       {{"workingDirectory", "lab-b"},
                        {"program", {{"version", "1.5.0"}}},
                        {"continues", {{"session", "061226_7"}, {"hand", 3}}}});
    }

    ProcessResult csv(std::vector<std::string> extra = {}) {
        fs::create_directories(out);
        std::vector<std::string> args = {
            "csv",    dataout.string(), "-o", (out / "events.csv").string(), "--hands", (out / "hands.csv").string(),
            "--force"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runTool(args);
    }
};

TEST_F(SessionSetups, TwoSessionsOfDifferentSetupsInOneFolderGetEachItsOwnEfficiencyWithNoOption) {
    twoSessionsOfTwoSetups();
    const ProcessResult run = csv();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("warning"), std::string::npos) << run.output;
    const Rows hands = readCsvWithPython(out / "hands.csv");
    const auto mix = rowsOf(hands, "071226_1"), scripted = rowsOf(hands, "071226_2");
    // The mix game under its own rules, as with --setup of its setup.
    EXPECT_EQ(columnOf(mix, "fewest"), (std::vector<std::string>{"1", "3", "1", "3", "1"}));
    EXPECT_EQ(columnOf(mix, "efficiency"), (std::vector<std::string>{"0.1429", "", "1.0000", "", "1.0000"}));
    // The scripted game under its own: the same figures as --setup of that setup gives.
    const fs::path own = tmp.path() / "scripted";
    for (const auto& [name, bytes] : scriptedSetupFiles(6, 11)) writeInto(own / "setup" / name, bytes);
    fs::create_directories(tmp.path() / "alone");
    fs::copy_file(dataout / "ck071226_2.txt", tmp.path() / "alone" / "ck071226_2.txt");
    fs::copy_file(dataout / "nk071226_2.txt", tmp.path() / "alone" / "nk071226_2.txt");
    const fs::path aloneHands = tmp.path() / "alone-hands.csv";
    ASSERT_EQ(runTool({"csv", (tmp.path() / "alone").string(), "-o", (tmp.path() / "alone-events.csv").string(),
                       "--hands", aloneHands.string(), "--setup", own.string()})
                  .exitCode,
              0);
    const auto expected = rowsOf(readCsvWithPython(aloneHands), "071226_2");
    ASSERT_EQ(scripted.size(), 6u);
    EXPECT_EQ(columnOf(scripted, "fewest"), columnOf(expected, "fewest"));
    EXPECT_EQ(columnOf(scripted, "efficiency"), columnOf(expected, "efficiency"));
    size_t known = 0;
    for (const std::string& f : columnOf(scripted, "fewest")) known += !f.empty();
    EXPECT_EQ(known, 6u);

    // Each hand names its session's setup, the program's version and the
    // session it continues; a session without a record leaves them empty.
    EXPECT_EQ(columnOf(mix, "setup"), std::vector<std::string>(5, mixSetup.shortHash()));
    EXPECT_EQ(columnOf(mix, "program_version"), std::vector<std::string>(5, "1.4.0"));
    EXPECT_EQ(columnOf(mix, "continues_session"), std::vector<std::string>(5, ""));
    EXPECT_EQ(columnOf(scripted, "setup"), std::vector<std::string>(6, scriptedSetup.shortHash()));
    EXPECT_EQ(columnOf(scripted, "program_version"), std::vector<std::string>(6, "1.5.0"));
    EXPECT_EQ(columnOf(scripted, "continues_session"), std::vector<std::string>(6, "061226_7"));
    EXPECT_EQ(columnOf(scripted, "continues_hand"), std::vector<std::string>(6, "3"));
    const auto noRecord = rowsOf(readCsvWithPython(aloneHands), "071226_2");
    EXPECT_EQ(columnOf(noRecord, "setup"), std::vector<std::string>(6, ""));
    EXPECT_EQ(columnOf(noRecord, "program_version"), std::vector<std::string>(6, ""));

    // A log given alone brings its run record along, as it brings its partner.
    const fs::path oneHands = tmp.path() / "one-hands.csv";
    ASSERT_EQ(runTool({"csv", (dataout / "nk071226_2.txt").string(), "-o", (tmp.path() / "one.csv").string(), "--hands",
                       oneHands.string(), "--force"})
                  .exitCode,
              0);
    EXPECT_EQ(columnOf(rowsOf(readCsvWithPython(oneHands), "071226_2"), "efficiency"),
              columnOf(scripted, "efficiency"));

    // verify replays each session under its own rules: both whole.
    const ProcessResult verify = runTool({"verify", "--json", dataout.string()});
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
}

// verify holds each session to its own saved setup: the mix game's logs are
// whole under the setup they were played with, and their scores faulty
// under a setup of another premium that a record names.
TEST_F(SessionSetups, VerifyHoldsEachSessionToTheRulesOfItsOwnSavedSetup) {
    twoSessionsOfTwoSetups();
    copyMixGame(dataout, "071226_3");
    std::map<std::string, std::string> otherPremium = mixSetupFiles();
    otherPremium["QBXParameter.ini"] = qbx::test::parameterFile(
        {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"MaxRounds", "8"}, {"PremiumRound", "3001"}});
    writeRunRecord(dataout, "071226_3", saveSetup(dataout, otherPremium));
    const ProcessResult run = runTool({"verify", "--json", dataout.string()});
    EXPECT_EQ(run.exitCode, 1);
    // The faults named on standard error come with the JSON.
    const size_t from = run.output.find("{\n"), to = run.output.rfind("\n}") + 2;
    ASSERT_NE(from, std::string::npos) << run.output;
    const auto j = nlohmann::json::parse(run.output.substr(from, to - from));
    std::map<std::string, std::string> verdicts;
    for (const auto& s : j["sessions"]) {
        std::string kinds;
        for (const auto& f : s["faults"]) kinds += f["kind"].get<std::string>() + " ";
        verdicts[s["session"]] = s["ok"].get<bool>() ? "ok" : kinds;
    }
    EXPECT_EQ(verdicts,
              (std::map<std::string, std::string>{{"071226_1", "ok"}, {"071226_2", "ok"}, {"071226_3", "score "}}));
}

// --setup reads every session with the setup given; each session whose
// saved setup has other files is warned of, once, and left without the
// fewest when its hands are not the given shoe's.
TEST_F(SessionSetups, TheSetupGivenOverridesAllWithAWarningForEachSessionOfAnotherSetup) {
    twoSessionsOfTwoSetups();
    copyMixGame(dataout, "071226_3");  // a second session of the mix setup
    writeRunRecord(dataout, "071226_3", mixSetup);
    const fs::path given = tmp.path() / "given";
    for (const auto& [name, bytes] : mixSetupFiles()) writeInto(given / "setup" / name, bytes);
    const ProcessResult run = csv({"--setup", given.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(occurrences(run.output, "differs from the setup given"), 1u) << run.output;
    EXPECT_NE(
        run.output.find("071226_2: warning: played with setup " + scriptedSetup.shortHash() +
                        " (lab-b), which differs from the "
                        "setup given with --setup (setup/QBXParameter.ini differs, setup/messages.ini only in the "
                        "saved setup, setup/shoe.txt differs): read with the setup given"),
        std::string::npos)
        << run.output;
    const Rows hands = readCsvWithPython(out / "hands.csv");
    EXPECT_EQ(columnOf(rowsOf(hands, "071226_3"), "efficiency"),
              (std::vector<std::string>{"0.1429", "", "1.0000", "", "1.0000"}));
    EXPECT_EQ(columnOf(rowsOf(hands, "071226_2"), "fewest"), std::vector<std::string>(6, ""));
    // The record still names the setup the session was played with.
    EXPECT_EQ(columnOf(rowsOf(hands, "071226_2"), "setup"), std::vector<std::string>(6, scriptedSetup.shortHash()));
    // The same warnings for verify and report.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"verify", dataout.string(), "--setup", given.string()},
          {"report", dataout.string(), "-o", (out / "r.html").string(), "--setup", given.string()}})
        EXPECT_EQ(occurrences(runTool(args).output, "differs from the setup given"), 1u) << args[0];
}

// A record names a saved setup that is gone, another cannot be read, a
// third is no record at all: each is said once, and its sessions are read
// without a setup, as older logs are.
TEST_F(SessionSetups, AMissingSavedSetupOrABadRecordIsSaidOnceAndTheSessionReadWithoutASetup) {
    copyMixGame(dataout, "071226_1");
    copyMixGame(dataout, "071226_2");
    copyMixGame(dataout, "071226_3");
    std::map<std::string, std::string> goneFiles = mixSetupFiles();
    goneFiles["notes.txt"] = "pilot";
    const SavedSetup gone = describe(goneFiles);  // named, never saved
    writeRunRecord(dataout, "071226_1", gone);
    writeRunRecord(dataout, "071226_2", gone);
    writeFile(dataout / "run071226_3.json", "{\"record\": \"QBXSolo run record\", \"format\": 1, \"sess");
    writeRunRecord(dataout, "071226_9", gone);  // no logs of that session here
    // A saved setup whose parameter file was edited after the session: said,
    // and read as it is.
    copyMixGame(dataout, "071226_4");
    const SavedSetup edited = saveSetup(dataout, mixSetupFiles());
    writeRunRecord(dataout, "071226_4", edited);
    writeFile(dataout / "setups" / edited.hash / "setup" / "QBXParameter.ini",
              readFile(dataout / "setups" / edited.hash / "setup" / "QBXParameter.ini") + "\r\n");
    // A copy that lacks only what its record lists as not copied is the
    // setup the record names: nothing to say.
    copyMixGame(dataout, "071226_5");
    std::map<std::string, std::string> withLarge = mixSetupFiles();
    withLarge["large.bin"] = "too large to copy";
    const SavedSetup partial = describe(withLarge);
    for (const auto& [name, bytes] : mixSetupFiles())
        writeInto(dataout / "setups" / partial.hash / "setup" / name, bytes);
    writeRunRecord(dataout, "071226_5", partial,
                   {{"setup", {{"notCopied", {{{"path", "setup/large.bin"}, {"why", "larger than 32 MiB"}}}}}}});
    const ProcessResult run = csv();
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("071226_5: warning"), std::string::npos) << run.output;
    EXPECT_EQ(occurrences(run.output, "setups/" + gone.hash), 1u) << run.output;
    EXPECT_NE(run.output.find("071226_1 (and 1 more session): warning: the saved setup"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("is missing: read without a setup"), std::string::npos) << run.output;
    EXPECT_EQ(occurrences(run.output, "run071226_3.json: not JSON"), 1u) << run.output;
    EXPECT_NE(run.output.find("run071226_9.json: a run record without its logs"), std::string::npos) << run.output;
    EXPECT_EQ(
        occurrences(run.output, "071226_4: warning: the saved setup " + (dataout / "setups" / edited.hash).string() +
                                    " is no longer the setup its run record names"),
        1u)
        << run.output;
    // Nothing else is passed over: the records are no "not a log name", the
    // saved setups no folder left unread.
    EXPECT_EQ(run.output.find("not a log name"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("a folder, not read"), std::string::npos) << run.output;
    const Rows hands = readCsvWithPython(out / "hands.csv");
    EXPECT_EQ(columnOf(rowsOf(hands, "071226_1"), "fewest"), std::vector<std::string>(5, ""));
    EXPECT_EQ(columnOf(rowsOf(hands, "071226_3"), "setup"), std::vector<std::string>(5, ""));
}

// sessions shows each session's setup and what its record says: no record,
// a program stopped before the end, the session it continues, what could
// not be saved; the columns stay aligned, and --json says the same.
TEST_F(SessionSetups, SessionsShowsEachSetupAndFlagsWhatTheRecordSays) {
    twoSessionsOfTwoSetups();
    copyMixGame(dataout, "071226_3");  // older logs: no record
    copyMixGame(dataout, "071226_4");
    writeRunRecord(dataout, "071226_4", mixSetup,
                   {{"state", "started"},
                    {"end", nullptr},
                    {"workingDirectory", "pilot \xc3\xa9t\xc3\xa9"},
                    {"problems", {"the setup could not be copied: No space left on device"}}});
    const ProcessResult run = runTool({"sessions", dataout.string()});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::map<std::string, std::string> lines;
    std::string header;
    for (size_t at = 0; at < run.output.size();) {
        const size_t end = run.output.find('\n', at);
        const std::string line = run.output.substr(at, end - at);
        if (line.rfind("session ", 0) == 0) header = line;
        if (line.rfind("0712", 0) == 0) lines[line.substr(0, 8)] = line;
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 4u) << run.output;
    EXPECT_NE(lines["071226_1"].find(mixSetup.shortHash() + " lab-a"), std::string::npos);
    EXPECT_NE(lines["071226_2"].find("continues 061226_7 hand 3"), std::string::npos);
    EXPECT_NE(lines["071226_3"].find("no run record"), std::string::npos);
    EXPECT_NE(lines["071226_4"].find("the program was stopped before the end"), std::string::npos);
    EXPECT_NE(lines["071226_4"].find("run record: the setup could not be copied"), std::string::npos);
    EXPECT_EQ(lines["071226_1"].find("no run record"), std::string::npos);
    // The end column starts at the same place on every line, counted in
    // characters: the working directory's name has accents.
    const auto column = [](const std::string& line, size_t byte) {
        size_t chars = 0;
        for (size_t i = 0; i < byte; ++i) chars += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        return chars;
    };
    const size_t endColumn = column(header, header.find("  end") + 2);
    EXPECT_EQ(column(lines["071226_1"], lines["071226_1"].find("game ended")), endColumn) << run.output;
    EXPECT_EQ(column(lines["071226_4"], lines["071226_4"].find("game ended")), endColumn) << run.output;
    EXPECT_EQ(column(lines["071226_3"], lines["071226_3"].find("game ended")), endColumn) << run.output;

    const auto j = nlohmann::json::parse(runTool({"sessions", "--json", dataout.string()}).output);
    std::map<std::string, nlohmann::json> by;
    for (const auto& s : j["sessions"]) by[s["session"]] = s;
    EXPECT_EQ(by["071226_1"]["setup"]["short"], mixSetup.shortHash());
    EXPECT_EQ(by["071226_1"]["setup"]["workingDirectory"], "lab-a");
    EXPECT_EQ(by["071226_1"]["programVersion"], "1.4.0");
    EXPECT_EQ(by["071226_1"]["recordState"], "ended");
    EXPECT_EQ(by["071226_2"]["continues"], (nlohmann::json{{"session", "061226_7"}, {"hand", 3}}));
    EXPECT_TRUE(by["071226_3"]["runRecord"].is_null());
    EXPECT_TRUE(by["071226_3"]["setup"].is_null());
    EXPECT_EQ(by["071226_3"]["notes"], nlohmann::json::array({"no run record"}));
    EXPECT_EQ(by["071226_4"]["recordState"], "started");
    EXPECT_EQ(by["071226_4"]["problems"].size(), 1u);

    // The report names each session's setup and version too.
    const fs::path page = tmp.path() / "report.html";
    ASSERT_EQ(runTool({"report", dataout.string(), "-o", page.string()}).exitCode, 0);
    const std::string html = readFile(page);
    EXPECT_NE(html.find(scriptedSetup.shortHash() + "</code><br><span class=\"note\">lab-b · QBXSolo 1.5.0"),
              std::string::npos);
    EXPECT_NE(html.find("no run record"), std::string::npos);
}

// The codebook beside the tables names every column of both tables, in the
// order of their header rows, with a Table Schema type; docs/analysis.md
// holds the same codebook.
TEST_F(SessionSetups, TheCodebookNamesEveryColumnOfBothTablesAsTheirHeaderRows) {
    twoSessionsOfTwoSetups();
    ASSERT_EQ(csv().exitCode, 0);
    const auto package = nlohmann::json::parse(readFile(out / "datapackage.json"));
    EXPECT_EQ(package["profile"], "tabular-data-package");
    ASSERT_EQ(package["resources"].size(), 2u);
    for (const auto& resource : package["resources"]) {
        SCOPED_TRACE(resource["path"].get<std::string>());
        EXPECT_EQ(resource["profile"], "tabular-data-resource");
        EXPECT_EQ(resource["format"], "csv");
        EXPECT_EQ(resource["encoding"], "utf-8");
        const Rows table = readCsvWithPython(out / resource["path"].get<std::string>());
        std::vector<std::string> names;
        for (const auto& field : resource["schema"]["fields"]) {
            names.push_back(field["name"]);
            EXPECT_FALSE(field["description"].get<std::string>().empty());
            const std::string type = field["type"];
            EXPECT_TRUE(type == "string" || type == "integer" || type == "number" || type == "date") << type;
        }
        EXPECT_EQ(names, table.at(0));
    }
    EXPECT_EQ(package["resources"][1]["schema"]["fields"][27]["unit"], "ms");  // deal_to_end_ms
    EXPECT_EQ(package["setups"], nlohmann::json::array({std::min(mixSetup.hash, scriptedSetup.hash),
                                                        std::max(mixSetup.hash, scriptedSetup.hash)}));
    EXPECT_EQ(package["sessions"].size(), 2u);
    EXPECT_FALSE(package["qbxtool"]["version"].get<std::string>().empty());

    // An existing codebook is replaced only with --force, and none is
    // written when the one table goes to standard output.
    const ProcessResult again = runTool({"csv", dataout.string(), "-o", (out / "other.csv").string()});
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_NE(again.output.find("datapackage.json: exists already"), std::string::npos) << again.output;
    EXPECT_FALSE(fs::exists(out / "other.csv"));
    const ProcessResult piped = runTool({"csv", dataout.string(), "-o", "-"}, tmp.path());
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_FALSE(fs::exists(tmp.path() / "datapackage.json"));

    const std::string docs = readFile(std::string(QBX_TEST_DATA) + "/../../docs/analysis.md");
    EXPECT_NE(docs.find(logs::codebookMarkdown(logs::eventsCodebook())), std::string::npos)
        << "docs/analysis.md: the codebook of events.csv is not the tool's:\n"
        << logs::codebookMarkdown(logs::eventsCodebook());
    EXPECT_NE(docs.find(logs::codebookMarkdown(logs::handsCodebook())), std::string::npos)
        << "docs/analysis.md: the codebook of hands.csv is not the tool's:\n"
        << logs::codebookMarkdown(logs::handsCodebook());
}

}  // namespace

namespace {

// A saved setup edited after its sessions: the warning of sessions, verify
// and csv names each file that changed and every session read with it,
// once.
TEST_F(SessionSetups, AnEditedSavedSetupIsNamedWithItsChangedFilesAndEverySessionOfIt) {
    for (const char* session : {"071226_4", "071226_6", "071226_7"}) copyMixGame(dataout, session);
    const SavedSetup edited = saveSetup(dataout, mixSetupFiles());
    for (const char* session : {"071226_4", "071226_6", "071226_7"}) writeRunRecord(dataout, session, edited);
    const fs::path copy = dataout / "setups" / edited.hash / "setup";
    writeFile(copy / "QBXParameter.ini", readFile(copy / "QBXParameter.ini") + "; edited\r\n");
    writeFile(copy / "notes.txt", "added later");
    const std::string said = "071226_4, 071226_6 and 071226_7: warning: the saved setup " +
                             (dataout / "setups" / edited.hash).string() +
                             " is no longer the setup their run records name (setup/QBXParameter.ini changed, "
                             "setup/notes.txt added after the session): read as it is";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"sessions", dataout.string()}, {"verify", dataout.string()}}) {
        const ProcessResult run = runTool(command);
        EXPECT_EQ(occurrences(run.output, said), 1u) << command[0] << ": " << run.output;
        EXPECT_EQ(occurrences(run.output, "no longer the setup"), 1u) << command[0] << ": " << run.output;
    }
    EXPECT_EQ(occurrences(csv().output, said), 1u);
    // One session alone is named so.
    fs::remove(dataout / "run071226_6.json");
    fs::remove(dataout / "run071226_7.json");
    EXPECT_NE(runTool({"verify", dataout.string()})
                  .output.find("071226_4: warning: the saved setup " + (dataout / "setups" / edited.hash).string() +
                               " is no longer the setup its run record names (setup/QBXParameter.ini changed, "
                               "setup/notes.txt added after the session)"),
              std::string::npos);
}

}  // namespace

// A log, a run record or a saved setup's file that is a link to a device
// that never ends, or a named pipe nobody writes to: each is named and passed
// over without waiting on it, and the other sessions are read as usual.
TEST_F(SessionSetups, NoFileButARegularOneIsReadAndNothingWaits) {
    copyMixGame(dataout, "071226_1");
    const SavedSetup endless = describe(mixSetupFiles());
    fs::create_directories(dataout / "setups" / endless.hash / "setup");
    for (const auto& [name, bytes] : mixSetupFiles())
        fs::create_symlink("/dev/zero", dataout / "setups" / endless.hash / "setup" / name);
    writeRunRecord(dataout, "071226_1", endless);
    copyMixGame(dataout, "071226_2");
    fs::create_symlink("/dev/zero", dataout / "run071226_2.json");
    copyMixGame(dataout, "071226_3");
    fs::remove(dataout / "ck071226_3.txt");
    fs::create_symlink("/dev/zero", dataout / "ck071226_3.txt");
    copyMixGame(dataout, "071226_4");
    fs::remove(dataout / "nk071226_4.txt");
    ASSERT_EQ(::mkfifo((dataout / "nk071226_4.txt").c_str(), 0600), 0);
    copyMixGame(dataout, "071226_5");
    // The last session's record is a named pipe too.
    ASSERT_EQ(::mkfifo((dataout / "run071226_5.json").c_str(), 0600), 0);

    fs::create_directories(out);
    const std::vector<std::vector<std::string>> commands = {
        {"verify", dataout.string()},
        {"sessions", dataout.string()},
        {"csv", dataout.string(), "-o", (out / "events.csv").string(), "--hands", (out / "hands.csv").string()},
        {"report", dataout.string(), "-o", (out / "report.html").string()}};
    for (const std::vector<std::string>& command : commands) {
        const ProcessResult run = runTool(command, {}, 60);
        ASSERT_EQ(run.exitCode, 1) << command[0] << ":\n" << run.output;
        // sessions counts the logs it could not read, and leaves their
        // names to verify.
        std::vector<std::string> named = {"run071226_2.json", "run071226_5.json"};
        if (command[0] != "sessions") named.insert(named.end(), {"ck071226_3.txt", "nk071226_4.txt"});
        for (const std::string& name : named) {
            const size_t at = run.output.find(name + ": ");
            ASSERT_NE(at, std::string::npos) << command[0] << " does not name " << name << ":\n" << run.output;
            const std::string line = run.output.substr(at, run.output.find('\n', at) - at);
            EXPECT_NE(line.find("not a regular file"), std::string::npos) << line;
        }
        EXPECT_NE(run.output.find("071226_1: warning: the saved setup " + (dataout / "setups" / endless.hash).string() +
                                  " cannot be read ("),
                  std::string::npos)
            << command[0] << ":\n"
            << run.output;
    }
    const Rows hands = readCsvWithPython(out / "hands.csv");
    for (const char* session : {"071226_1", "071226_2", "071226_3", "071226_5"})
        EXPECT_EQ(rowsOf(hands, session).size(), 5u) << session;
    // A log that could not be read has no total, rather than 0.
    bool seen = false;
    for (const logs::Session& session : logs::listSessions(logs::findLogs(dataout.string())).sessions) {
        if (session.pair.name.suffix != "071226_3") continue;
        seen = true;
        EXPECT_FALSE(session.ckTotal());
        EXPECT_TRUE(session.nkTotal());
    }
    EXPECT_TRUE(seen);
}

// Escape sequences in a folder's name, a working directory or a
// participant code reach no terminal: every text output shows them escaped,
// in the sessions table too.
TEST_F(SessionSetups, ControlCharactersInNamesAreShownEscaped) {
    EXPECT_EQ(qbx::shownText("Z9 \xc3\xa9\x1b[31m\x7f\xc2\x9b"
                             "2J\n"),
              "Z9 \xc3\xa9\\x1b[31m\\x7f\\xc2\\x9b2J\\x0a");
    const fs::path folder = tmp.path() / "lab\x1b]0;owned\x07" / "dataout";
    copyMixGame(folder, "071226_1");
    copyMixGame(folder, "071226_2");
    // A log holds no C0 control character on a readable line; a C1 one in
    // UTF-8 it may.
    for (const char* log : {"ck071226_2.txt", "nk071226_2.txt"}) {
        std::string text = readFile(folder / log);
        text.replace(text.find("Z9 \xc3\xa9"), 5,
                     "Z9\xc2\x9b"
                     "2J");
        writeFile(folder / log, text);
    }
    // A log without its partner: each command names it with its path.
    fs::copy_file(folder / "nk071226_1.txt", folder / "nk071226_3.txt");
    const SavedSetup setup = saveSetup(folder, mixSetupFiles());
    writeRunRecord(folder, "071226_1", setup, {{"workingDirectory", "lab\x1b[31mred"}});
    fs::create_directories(out);
    const std::vector<std::vector<std::string>> commands = {
        {"verify", folder.string()},
        {"sessions", folder.string()},
        {"csv", folder.string(), "-o", (out / "events.csv").string()},
        {"report", folder.string(), "-o", (out / "report.html").string()}};
    for (const std::vector<std::string>& command : commands) {
        const ProcessResult run = runTool(command);
        EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.output;
        EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << command[0] << ":\n" << run.output;
        EXPECT_EQ(run.output.find('\x07'), std::string::npos) << command[0] << ":\n" << run.output;
        if (command[0] != "report") {  // which says no more than its counts here
            EXPECT_NE(run.output.find("lab\\x1b]0;owned\\x07/dataout/nk071226_3.txt"), std::string::npos)
                << command[0] << ":\n"
                << run.output;
        }
    }
    const ProcessResult sessions = runTool({"sessions", folder.string()});
    EXPECT_NE(sessions.output.find("lab\\x1b[31mred"), std::string::npos) << sessions.output;
    const size_t second = sessions.output.find("071226_2  ");
    ASSERT_NE(second, std::string::npos) << sessions.output;
    const std::string row = sessions.output.substr(second, sessions.output.find('\n', second) - second);
    EXPECT_NE(row.find("Z9\\xc2\\x9b"
                       "2J  13:59:58.990"),
              std::string::npos)
        << row;
}

// The recipe docs/log-format.md gives for a setup's hash, run as written
// there, gives the program's own hash, a file name with blanks included.
TEST_F(SessionSetups, TheDocumentedHashRecipeGivesTheSetupsHash) {
    const std::string doc = readFile(std::string(QBX_TEST_DATA) + "/../../docs/log-format.md");
    const std::string start = "    cd lab-a && find setup";
    const size_t at = doc.find(start);
    ASSERT_NE(at, std::string::npos) << "docs/log-format.md has no hash recipe";
    std::string recipe = doc.substr(at + 4, doc.find('\n', at) - at - 4);
    const fs::path lab = tmp.path() / "lab a";
    std::map<std::string, std::string> files = mixSetupFiles();
    files["my shoe notes.txt"] = "two blanks in the name";
    files["images/card back.bmp"] = "BM";
    for (const auto& [name, bytes] : files) writeInto(lab / "setup" / name, bytes);
    recipe.replace(recipe.find("lab-a"), 5, "'" + lab.string() + "'");
    FILE* pipe = ::popen(recipe.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    const size_t got = std::fread(line, 1, sizeof line - 1, pipe);
    ::pclose(pipe);
    EXPECT_EQ(std::string(line, got).substr(0, 64), describe(files).hash) << recipe;
}
