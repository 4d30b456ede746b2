// qbxtool resume: a session that ended early continues in a working directory
// of its saved setup whose shoe starts at the hand in play, which the game
// itself then plays; and no session or directory that should not be resumed
// into ever is.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "KilledSession.h"
#include "support/ScriptedPlay.h"
#include "core/config/Shoe.h"
#include "tool/Tool.h"
#include "tool/logs/Resume.h"

namespace fs = std::filesystem;
using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

// The mix shoe's hand lines from hand `n` on, under the header that
// continues the killed session from that hand.
std::string continuedMixShoe(int n) {
    const std::string shoe = qbx::test::kMixShoe;
    size_t at = 0;
    for (int line = 0; line < n; ++line) at = shoe.find("\r\n", at) + 2;
    return qbx::continuationHeader({kKilledSession, n}) + "\r\n" + shoe.substr(at);
}

// The deal records of a log without their stamps, in order.
std::vector<std::string> dealRecords(const std::string& log) {
    std::vector<std::string> deals;
    for (const std::string& line : qbx::test::splitLines(log))
        if (line.find(":GC:") != std::string::npos) deals.push_back(line.substr(line.find("GC:")));
    return deals;
}

struct Resumed {
    int exitCode = -1;
    std::string out, err;
};

Resumed resume(const std::string& session, const std::string& dir = {}, const std::string& setup = {}) {
    logs::ResumeOptions options;
    options.session = session;
    options.dir = dir;
    options.setup = setup;
    std::ostringstream out, err;
    Resumed r;
    try {
        r.exitCode = logs::resumeSession(options, out, err);
    } catch (const CouldNotRun& e) {
        r.exitCode = kExitCouldNotRun;
        err << e.what();
    }
    r.out = out.str();
    r.err = err.str();
    return r;
}

size_t entries(const fs::path& dir) { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }

const LogCut kInHand3{"GC:", 18};  // both logs end with the deal of hand 3

}  // namespace

TEST(Resume, ASessionKilledInHand3GivesAShoeFromHand3WhichTheProgramPlays) {
    qbx::test::WorkDir lab;  // the lab's working directory
    const fs::path saved = writeKilledSession(lab.path(), kInHand3);
    const fs::path dir = fs::path(lab.path()) / ("resume_" + kKilledSession);
    const Resumed r = resume(lab.path() + "/dataout/ck" + kKilledSession + ".txt", dir.string());
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("Made " + dir.string()), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Z9 \xC3\xA9\""), std::string::npos) << "the code to type again: " << r.out;

    // The saved setup, its shoe from hand 3 on; an empty dataout; a launcher.
    EXPECT_EQ(readFile(dir / "setup" / "shoe.txt"), continuedMixShoe(3));
    for (const auto& file : fs::directory_iterator(saved / "setup")) {
        if (file.path().filename() == "shoe.txt") continue;
        EXPECT_EQ(readFile(dir / "setup" / file.path().filename()), readFile(file.path())) << file.path();
    }
    EXPECT_EQ(entries(dir / "setup"), entries(saved / "setup"));
    EXPECT_TRUE(fs::is_empty(dir / "dataout"));
    EXPECT_NE(readFile(dir / "qbxsolo.desktop").find("Path=" + dir.string() + "\n"), std::string::npos);
    EXPECT_EQ(entries(dir), 3u);
    EXPECT_EQ(entries(lab.path()), 3u) << "no temporary folder left beside it";

    // The game plays it: its first hand is the old session's hand 3, and the
    // shoe's hands after it are the rest of that session's shoe.
    qbx::test::Session s(dir.string());
    s.clock.set("09:00:00.000");
    s.game.startGame("Z9 \xC3\xA9   ");
    ASSERT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
    s.untilHandInPlay();
    EXPECT_EQ(s.game.progress().handNumber, 1);
    const std::vector<std::string> whole = dealRecords(readFile(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt"));
    const std::vector<std::string> fromHand3(whole.begin() + 12, whole.end());
    EXPECT_EQ(dealRecords(qbx::test::readLogs((dir / "dataout").string()).ck),
              std::vector<std::string>(fromHand3.begin(), fromHand3.begin() + 6));
    for (int actions = 0; !s.platform.terminated && actions < 100; ++actions) {
        s.untilHandInPlay();
        s.clock.advance(700);
        if (s.game.progress().handInPlay) s.pass();
    }
    ASSERT_TRUE(s.platform.terminated) << "the game ends when the continued shoe is played out";
    const qbx::test::Logs logs = qbx::test::readLogs((dir / "dataout").string());
    EXPECT_EQ(dealRecords(logs.ck), fromHand3);
    EXPECT_EQ(dealRecords(logs.nk), fromHand3);
    EXPECT_NE(logs.ck.find("GE::Game ended due to exhaustion of shoe"), std::string::npos);
}

// Wherever the kill fell, the new shoe begins with the hand that was in
// play, or the next one when the session stopped between hands.
TEST(Resume, TheHandInPlayOrTheNextWhereverTheSessionStopped) {
    const struct {
        const char* where;
        LogCut cut;
        int hand;
    } cases[] = {
        {"before the first deal", {"GS:", 1}, 1},
        {"after hand 2 ended", {"::Hand Ended", 2}, 3},
        {"inside the deal of hand 3, half a record written", {"GC:", 14, 20}, 3},
        {"after the deal of hand 3, half a record written", {"GC:", 18, 25}, 3},
        {"during hand 4, after two swaps", {"3C;downNumberCardView;3H;colorCardView", 1}, 4},
    };
    for (const auto& c : cases) {
        TempDir lab;
        writeKilledSession(lab.path(), c.cut);
        const fs::path dir = lab.path() / "continued";
        const Resumed r = resume((lab.path() / "dataout" / ("run" + kKilledSession + ".json")).string(), dir.string());
        ASSERT_EQ(r.exitCode, kExitOk) << c.where << ": " << r.err;
        EXPECT_EQ(readFile(dir / "setup" / "shoe.txt"), continuedMixShoe(c.hand)) << c.where;
    }
}

TEST(Resume, ASessionNotToContinueIsRefusedAndNothingIsMade) {
    const std::string mix = qbx::test::kMixShoe;
    size_t hand[5] = {mix.find("\r\n") + 2};  // where the lines of hands 1 to 5 start
    for (int i = 1; i < 5; ++i) hand[i] = mix.find("\r\n", hand[i - 1]) + 2;
    // Hands 2 and 3 in each other's places; hand 3 with two cards exchanged.
    const std::string swapped = mix.substr(0, hand[1]) + mix.substr(hand[2], hand[3] - hand[2]) +
                                mix.substr(hand[1], hand[2] - hand[1]) + mix.substr(hand[3]);
    const std::string hand3Changed =
        mix.substr(0, hand[2]) + "3H  4C  2H  4H  3C  2C  4H   ck\r\n" + mix.substr(hand[3]);
    const struct {
        const char* what;
        LogCut cut;
        std::string shoe;
        const char* said;
    } cases[] = {
        {"a game that ended", {}, qbx::test::kMixShoe, "ended normally (game ended)"},
        {"stopped after the shoe's last hand", {"Game ended", -1}, qbx::test::kMixShoe, "no hand left to play"},
        {"played with another shoe", kInHand3, swapped, "hand 2 is not the hand of line 3"},
        {"killed in the deal of another shoe's hand", {"GC:", 14}, hand3Changed, "hand 3 is not the hand of line 4"},
    };
    for (const auto& c : cases) {
        TempDir lab;
        writeKilledSession(lab.path(), c.cut, c.shoe);
        const Resumed r = resume((lab.path() / "dataout" / ("nk" + kKilledSession + ".txt")).string(),
                                 (lab.path() / "continued").string());
        EXPECT_EQ(r.exitCode, kExitProblems) << c.what;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(entries(lab.path()), 1u) << c.what << ": nothing made beside dataout";
    }
}

// Could not run (exit 2), each named and nothing made: a saved setup or a
// run record missing (--setup stands in for both), a DIR in use, and a copy
// that fails midway.
TEST(Resume, WhatIsMissingOrInTheWayIsNamedAndAFailureLeavesNothingHalfMade) {
    TempDir lab;
    const fs::path saved = writeKilledSession(lab.path(), kInHand3);
    const std::string log = (lab.path() / "dataout" / ("ck" + kKilledSession + ".txt")).string();
    const fs::path record = lab.path() / "dataout" / ("run" + kKilledSession + ".json");
    const fs::path elsewhere = lab.path() / "setup-of-that-day";
    // A setup given stands in for the saved one, with a warning when they differ.
    fs::copy(saved, elsewhere, fs::copy_options::recursive);
    Resumed r = resume(log, (lab.path() / "same").string(), elsewhere.string());
    EXPECT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    writeFile(elsewhere / "setup" / "help.html", "<p>another page</p>");
    r = resume(log, (lab.path() / "other").string(), elsewhere.string());
    EXPECT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_NE(r.err.find("differs from " + elsewhere.string()), std::string::npos) << r.err;
    fs::remove_all(lab.path() / "same");
    fs::remove_all(lab.path() / "other");
    fs::remove_all(saved);
    r = resume(log, (lab.path() / "a").string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun);
    EXPECT_NE(r.err.find(saved.string() + ": missing"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--setup DIR"), std::string::npos) << r.err;
    fs::remove(record);
    r = resume(log, (lab.path() / "a").string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun);
    EXPECT_NE(r.err.find(record.string() + ": missing"), std::string::npos) << r.err;
    EXPECT_EQ(entries(lab.path()), 2u) << "nothing made";
    r = resume(log, (lab.path() / "new" / "deeper").string(), elsewhere.string());
    ASSERT_EQ(r.exitCode, kExitOk) << r.err << " (missing folders above DIR are made)";
    EXPECT_EQ(readFile(lab.path() / "new" / "deeper" / "setup" / "shoe.txt"), continuedMixShoe(3));

    const fs::path used = lab.path() / "used";
    fs::create_directory(used);
    writeFile(used / "ck081226_5.txt", "another session\r\n");
    r = resume(log, used.string(), elsewhere.string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun);
    EXPECT_NE(r.err.find(used.string() + ": exists and is not empty"), std::string::npos) << r.err;
    EXPECT_EQ(entries(used), 1u);
    fs::create_directory(lab.path() / "empty");  // an empty one is taken
    EXPECT_EQ(resume(log, (lab.path() / "empty").string(), elsewhere.string()).exitCode, kExitOk);

    // A setup that cannot be copied (a pipe among its files): neither DIR,
    // nor the folders made above it, nor a temporary copy remain.
    ASSERT_EQ(::mkfifo((elsewhere / "setup" / "pipe").c_str(), 0600), 0);
    const size_t before = entries(lab.path());
    EXPECT_EQ(resume(log, (lab.path() / "made" / "here").string(), elsewhere.string()).exitCode, kExitCouldNotRun);
    EXPECT_EQ(entries(lab.path()), before) << "something was left behind";
}

// The new shoe keeps the old one's bytes from the hand on, whatever its line
// ends; blank lines are no hands, as the game skips them.
TEST(Resume, TheContinuedShoeKeepsTheOldBytesFromThatHandOn) {
    const std::string shoe =
        "old header\n\n2H 3C 4H 2C 3H 4C 3H ck\r  \r\n4C 2H 3C 3H 2C 4H 2H nk\r\n\n2C 3H 4H 4C 2H 3C 4C ck";
    const std::string header = qbx::continuationHeader({"071226_1", 2});
    EXPECT_EQ(logs::continuedShoe(shoe, "071226_1", 2),
              header + "\n4C 2H 3C 3H 2C 4H 2H nk\r\n\n2C 3H 4H 4C 2H 3C 4C ck");
    EXPECT_EQ(logs::continuedShoe(shoe, "071226_1", 3)->substr(header.size()), "\n2C 3H 4H 4C 2H 3C 4C ck");
    EXPECT_EQ(logs::continuedShoe(shoe, "071226_1", 4), std::nullopt);
}

TEST(Resume, TheCommandFindsASessionByNameInDataoutAndCheckPassesOnWhatItMade) {
    TempDir lab;
    writeKilledSession(lab.path(), kInHand3);
    const ProcessResult made = runTool({"resume", kKilledSession}, lab.path());
    ASSERT_EQ(made.exitCode, kExitOk) << made.output;
    EXPECT_NE(made.output.find("from hand 3"), std::string::npos) << made.output;
    const ProcessResult check = runTool({"check", "resume_" + kKilledSession}, lab.path());
    EXPECT_EQ(check.exitCode, kExitOk) << check.output;
    const ProcessResult unknown = runTool({"resume", "071226_9"}, lab.path());
    EXPECT_EQ(unknown.exitCode, kExitCouldNotRun);
    EXPECT_NE(unknown.output.find("holds no log of session 071226_9"), std::string::npos) << unknown.output;
    const ProcessResult help = runTool({"resume", "--help"});
    EXPECT_EQ(help.exitCode, kExitOk);
    EXPECT_NE(help.output.find("Example:\n  qbxtool resume"), std::string::npos) << help.output;
}

namespace {

// The killed session's run record, changed by `edit` and written back.
void editRecord(const fs::path& lab, const std::function<void(nlohmann::json&)>& edit) {
    const fs::path path = lab / "dataout" / ("run" + kKilledSession + ".json");
    nlohmann::json record = nlohmann::json::parse(readFile(path));
    edit(record);
    writeFile(path, record.dump(2));
}

}  // namespace

// The saved setup is checked file by file against the run record: a file
// changed after the session is refused by name (the session ran under the
// record's setup, not the edited one), unless a setup is given on purpose.
TEST(ResumeSavedSetup, FilesChangedAfterTheSessionAreRefusedByNameUnlessASetupIsGiven) {
    TempDir lab;
    const fs::path saved = writeKilledSession(lab.path(), kInHand3);
    const std::string log = (lab.path() / "dataout" / ("ck" + kKilledSession + ".txt")).string();
    const std::string ini = readFile(saved / "setup" / "QBXParameter.ini");
    writeFile(saved / "setup" / "QBXParameter.ini", ini.substr(0, ini.find("MaxRounds=")) + "MaxRounds=5" +
                                                        ini.substr(ini.find("\r\n", ini.find("MaxRounds="))));
    fs::remove(saved / "setup" / "help.html");
    Resumed r = resume(log, (lab.path() / "a").string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun) << r.err;
    EXPECT_NE(r.err.find("setup/QBXParameter.ini (changed)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("setup/help.html (No such file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("setup/shoe.txt"), std::string::npos) << "an unchanged file is not named: " << r.err;
    EXPECT_NE(r.err.find("--setup DIR"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(lab.path() / "a"));

    // Given on purpose, the edited copy is used, with the warning that it differs.
    r = resume(log, (lab.path() / "b").string(), saved.string());
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_NE(readFile(lab.path() / "b" / "setup" / "QBXParameter.ini").find("MaxRounds=5"), std::string::npos);

    // Put back as it was, the copy is used again; a file added to it since
    // is no file the record lists, and is not copied.
    writeFile(saved / "setup" / "QBXParameter.ini", ini);
    writeFile(saved / "setup" / "help.html", readFile(fs::path(QBX_EXAMPLES) / "setup" / "help.html"));
    writeFile(saved / "setup" / "added.txt", "not the session's");
    r = resume(log, (lab.path() / "c").string());
    ASSERT_EQ(r.exitCode, kExitOk) << r.err;
    EXPECT_EQ(readFile(lab.path() / "c" / "setup" / "QBXParameter.ini"), ini);
    EXPECT_FALSE(fs::exists(lab.path() / "c" / "setup" / "added.txt"));
}

// Only dataout/setups/<the record's hash>/ is read, and in it only the
// regular files the record lists: a record that points elsewhere or lists a
// name outside setup/, and a listed file become a link, are refused.
TEST(ResumeSavedSetup, OnlyTheFolderOfTheRecordsHashAndTheFilesItListsAreRead) {
    TempDir lab;
    const fs::path saved = writeKilledSession(lab.path(), kInHand3);
    const std::string log = (lab.path() / "dataout" / ("ck" + kKilledSession + ".txt")).string();
    // A copy of the setup elsewhere, whole and matching: still not read.
    fs::copy(saved, lab.path() / "elsewhere", fs::copy_options::recursive);
    editRecord(lab.path(), [](nlohmann::json& r) { r["setup"]["saved"] = "../elsewhere"; });
    Resumed r = resume(log, (lab.path() / "a").string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun);
    EXPECT_NE(r.err.find("names its saved setup \"../elsewhere\""), std::string::npos) << r.err;
    editRecord(lab.path(), [](nlohmann::json& r) { r["setup"]["saved"] = "setups/" + kSavedSetupHash; });

    for (const std::string name : {"setup/../../elsewhere/setup/shoe.txt", "/etc/passwd", "setup/", "shoe.txt"}) {
        editRecord(lab.path(), [&](nlohmann::json& r) {
            r["setup"]["files"].push_back({{"path", name}, {"bytes", 1}});
        });
        r = resume(log, (lab.path() / "a").string());
        EXPECT_EQ(r.exitCode, kExitCouldNotRun) << name;
        EXPECT_NE(r.err.find("lists \"" + name + "\", which is no file inside setup/"), std::string::npos) << r.err;
        editRecord(lab.path(), [](nlohmann::json& r) { r["setup"]["files"].erase(r["setup"]["files"].size() - 1); });
    }
    EXPECT_EQ(resume(log, (lab.path() / "b").string()).exitCode, kExitOk);

    // The same bytes through a link are no file of the copy.
    const fs::path shoe = saved / "setup" / "shoe.txt";
    fs::rename(shoe, lab.path() / "shoe-elsewhere.txt");
    fs::create_symlink(lab.path() / "shoe-elsewhere.txt", shoe);
    r = resume(log, (lab.path() / "c").string());
    EXPECT_EQ(r.exitCode, kExitCouldNotRun);
    EXPECT_NE(r.err.find("setup/shoe.txt (a link now)"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(lab.path() / "c"));
}
