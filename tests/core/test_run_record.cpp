// The run record beside the logs: SHA-256 against the standard's vectors,
// the setup's hash against sha256sum, the JSON texts, and what a played
// session leaves: the record at the start, at each return to the front and
// at the end, the setup saved once, failures kept out of the logs.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/runrecord/RunRecord.h"
#include "core/runrecord/SetupDigest.h"
#include "core/runrecord/Sha256.h"
#include "support/ScriptedPlay.h"
#include "support/TablePlay.h"

using namespace qbx;
using namespace qbx::test;
namespace fs = std::filesystem;

namespace {

TEST(Sha256, TheStandardsTestVectors) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million 'a' in pieces of odd sizes, across the 64-byte blocks.
    Sha256 sha;
    const std::string piece(997, 'a');
    size_t left = 1000000;
    for (; left >= piece.size(); left -= piece.size()) sha.update(piece);
    sha.update(std::string(left, 'a'));
    EXPECT_EQ(sha.hexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

#ifndef _WIN32
// What a shell command prints (find and sha256sum: the Linux build only).
std::string run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::array<char, 4096> buffer{};
    while (pipe && std::fgets(buffer.data(), buffer.size(), pipe.get())) out += buffer.data();
    return out;
}
#endif

TEST(SetupDigest, AgreesWithSha256sumAndNamesEachFilesUse) {
    WorkDir dir;
    writeSetup(dir, "header\r\n2H3H4H2C3C4C3Hck\r\n", {{"File Texture", "pics/felt.bmp"}});
    dir.write("setup/back.bmp", std::string("BM\0\x01\xff", 5));
    dir.write("setup/pics/felt.bmp", "felt");
    dir.write("setup/help.html", "<p>help</p>");
    dir.write("setup/Zed notes.txt", "upper case sorts first");
#ifndef _WIN32
    // Wine has no links to folders; the digest lists one as not copied and
    // never enters it.
    dir.write("elsewhere/linked.txt", "through a link");
    fs::create_directory_symlink("../elsewhere", inWorkDir("setup/linked"));
#endif
    ParameterValues parameters;
    ASSERT_TRUE(readParameterFile(inWorkDir(kParameterFile), parameters));

    SetupDigest digest;
    std::string error;
    ASSERT_TRUE(digestSetup(dir.path(), parameters, digest, error)) << error;
#ifndef _WIN32
    const std::string sums =
        run("cd '" + dir.path() + "' && find setup -type f | LC_ALL=C sort | xargs -d '\\n' sha256sum");
    std::string ours;
    for (const SetupFile& f : digest.files) ours += f.sha256 + "  " + f.path + "\n";
    EXPECT_EQ(ours, sums);
    EXPECT_EQ(
        digest.hash + "  -\n",
        run("cd '" + dir.path() + "' && find setup -type f | LC_ALL=C sort | xargs -d '\\n' sha256sum | sha256sum"));
    ASSERT_EQ(digest.notCopied.size(), 1u);
    EXPECT_EQ(digest.notCopied[0].path, "setup/linked");
    EXPECT_EQ(digest.notCopied[0].why, "a link to outside setup/");

#endif
    std::vector<std::string> uses;
    for (const SetupFile& f : digest.files) uses.push_back(f.path + " " + f.use + " " + std::to_string(f.bytes));
    std::vector<std::string> expected = {
        "setup/QBXParameter.ini parameters " + std::to_string(dir.read("setup/QBXParameter.ini").size()),
        "setup/Zed notes.txt other 22",
        "setup/back.bmp card back 5",
        "setup/help.html help page 11",
        "setup/messages.ini messages " + std::to_string(englishCatalogue().size()),
        "setup/pics/felt.bmp texture 4",
        "setup/shoe.txt shoe 26"};
    EXPECT_EQ(uses, expected);
}

// A session of the table, its record read back once the writer is idle.
class RunRecordPlay : public TablePlay {
protected:
    void SetUp() override {
        s.game.setRandomSuffix([] { return 4242; });
    }
    std::string record() {
        s.game.flushRunRecord();
        return dir.read("dataout/run071226_4242.json");
    }
    static std::string field(const std::string& name, const std::string& value) { return "\"" + name + "\": " + value; }
};

TEST_F(RunRecordPlay, TheRecordAtTheStartNamesTheSessionItsSetupAndCircumstances) {
    open({"2H3H4H2C3C4C3Hck"}, {{"ViewCard", "mix"}},
         "Continues session 061226_17 from hand 3, made by qbxtool resume");
    const std::string params = dir.read("setup/QBXParameter.ini");
    const std::string messages = dir.read("setup/messages.ini");
    const std::string shoe = dir.read("setup/shoe.txt");
    const std::string hash = sha256Hex(sha256Hex(params) + "  setup/QBXParameter.ini\n" + sha256Hex(messages) +
                                       "  setup/messages.ini\n" + sha256Hex(shoe) + "  setup/shoe.txt\n");
    const std::string expected =
        "{\n"
        "  \"record\": \"QBXSolo run record\",\n"
        "  \"format\": 1,\n"
        "  \"session\": \"071226_4242\",\n"
        "  \"logs\": [\"ck071226_4242.txt\", \"nk071226_4242.txt\"],\n"
        // Nothing written yet: both logs empty, the hash that of no bytes.
        "  \"logsWritten\": [\n"
        "    {\"log\": \"ck071226_4242.txt\", \"bytes\": 0, \"sha256\": "
        "\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"},\n"
        "    {\"log\": \"nk071226_4242.txt\", \"bytes\": 0, \"sha256\": "
        "\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\"}\n"
        "  ],\n"
        "  \"state\": \"started\",\n"
        "  \"program\": {\"version\": \"" +
        programVersion() + "\", \"commit\": \"" + programCommit() +
        "\"},\n"
        "  \"system\": {\n"
        "    \"os\": \"Test OS 1.0\",\n"
        "    \"screen\": {\"width\": 1024, \"height\": 768, \"devicePixelRatio\": 1.5},\n"
        "    \"windowManager\": \"Test WM\"\n"
        "  },\n"
        "  \"workingDirectory\": \"" +
        fs::path(dir.path()).filename().string() +
        "\",\n"
        "  \"participant\": \"P1   \",\n"
        "  \"setup\": {\n"
        "    \"hash\": \"" +
        hash + "\",\n    \"short\": \"" + hash.substr(0, 12) + "\",\n    \"saved\": \"setups/" + hash +
        "\",\n"
        "    \"files\": [\n"
        "      {\"path\": \"setup/QBXParameter.ini\", \"bytes\": " +
        std::to_string(params.size()) + ", \"sha256\": \"" + sha256Hex(params) +
        "\", \"use\": \"parameters\"},\n"
        "      {\"path\": \"setup/messages.ini\", \"bytes\": " +
        std::to_string(messages.size()) + ", \"sha256\": \"" + sha256Hex(messages) +
        "\", \"use\": \"messages\"},\n"
        "      {\"path\": \"setup/shoe.txt\", \"bytes\": " +
        std::to_string(shoe.size()) + ", \"sha256\": \"" + sha256Hex(shoe) +
        "\", \"use\": \"shoe\"}\n"
        "    ]\n"
        "  },\n"
        "  \"parameters\": {\n"
        "    \"ShoeFileName\": \"shoe.txt\",\n    \"MaxRounds\": \"50\",\n    \"PremiumRound\": \"2000\",\n"
        "    \"CostMove\": \"100\",\n    \"ViewCard\": \"MIX\",\n    \"FileBackCard\": \"back.bmp\",\n"
        "    \"ViewTarget\": \"TRUE\",\n    \"ViewCkNk\": \"TRUE\",\n    \"SyntaxInput\": \"\",\n"
        "    \"FileMessages\": \"messages.ini\",\n    \"parX\": \"200\",\n    \"parY\": \"64\",\n"
        "    \"Drag CkNk\": \"TRUE\",\n    \"File Texture\": \"NO\"\n"
        "  },\n"
        "  \"continues\": {\"session\": \"061226_17\", \"hand\": 3},\n"
        "  \"started\": \"2026-12-07T10:00:00.000\",\n"
        "  \"end\": null,\n"
        "  \"keptInFront\": [],\n"
        "  \"problems\": []\n"
        "}\n";
    EXPECT_EQ(record(), expected);
    // The setup saved under its hash, byte for byte.
    EXPECT_EQ(dir.read("dataout/setups/" + hash + "/setup/shoe.txt"), shoe);
    EXPECT_EQ(dir.read("dataout/setups/" + hash + "/setup/QBXParameter.ini"), params);
    EXPECT_EQ(dir.list("dataout/setups"), std::vector<std::string>{hash});
}

TEST_F(RunRecordPlay, EachReturnToTheFrontIsAddedAndTheEndCompletesTheRecord) {
    start({"2H3H4H2C3C4C3Hck", "3H2H4H2C3C4C3Hck"});
    s.clock.set("10:00:05.120");
    s.game.keptInFront(FrontLost::Minimised);
    EXPECT_NE(record().find(
                  field("keptInFront", "[\n    {\"time\": \"2026-12-07T10:00:05.120\", \"why\": \"minimised\"}\n  ]")),
              std::string::npos);
    s.clock.set("10:00:06.000");
    s.game.keptInFront(FrontLost::AnotherDesktop);
    const std::string twice = record();
    EXPECT_NE(
        twice.find(
            "\"why\": \"minimised\"},\n    {\"time\": \"2026-12-07T10:00:06.000\", \"why\": \"another desktop\"}"),
        std::string::npos);
    EXPECT_NE(twice.find(field("state", "\"started\"")), std::string::npos);
    EXPECT_NE(twice.find(field("end", "null")), std::string::npos);

    ScriptedPlay(s).playToEnd();
    ASSERT_TRUE(s.platform.terminated);
    const std::string ended = record();
    EXPECT_NE(ended.find(field("state", "\"ended\"")), std::string::npos);
    const std::string end = s.game.runRecord().end->time;
    EXPECT_NE(ended.find(field("end", "{\"time\": \"" + end + "\", \"how\": \"game ended\", \"hands\": 2}")),
              std::string::npos);
    // The end is the moment of the last records ("<seconds>.<ms>::gameDone").
    const std::string gameDone = ck()[ck().size() - 2];
    const long long ms = std::stoll(gameDone) * 1000 + std::stoll(gameDone.substr(gameDone.find('.') + 1));
    char hms[40];
    std::snprintf(hms, sizeof hms, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    EXPECT_EQ(end.substr(11), hms);
    EXPECT_NE(ended.find("\"why\": \"another desktop\""), std::string::npos);
    EXPECT_EQ(s.platform.messages.back(), "The game is over. Thank you!");
}

TEST_F(RunRecordPlay, EveryReasonForTheFrontHasItsOwnWordInTheRecord) {
    // Each word is what the experimenter's tools read: distinct, and kept
    // in the order the returns came.
    start({"2H3H4H2C3C4C3Hck"});
    const std::vector<std::pair<FrontLost, std::string>> reasons = {
        {FrontLost::Minimised, "minimised"},
        {FrontLost::Unmaximised, "un-maximised"},
        {FrontLost::Hidden, "hidden"},
        {FrontLost::Covered, "covered"},
        {FrontLost::AnotherDesktop, "another desktop"},
        {FrontLost::LostFocus, "lost focus"},
        {FrontLost::Moved, "moved"},
        {FrontLost::Resized, "resized"},
        {FrontLost::Shaded, "shaded"},
        {FrontLost::Lowered, "lowered"},
        {FrontLost::NotAbove, "not above"},
        {FrontLost::ShowDesktop, "show desktop"},
        {FrontLost::DesktopSwitched, "desktop switched"},
    };
    for (size_t i = 0; i < reasons.size(); ++i) {
        char at[32];
        std::snprintf(at, sizeof at, "10:00:%02zu.000", i + 10);
        s.clock.set(at);
        s.game.keptInFront(reasons[i].first);
    }
    const std::vector<RunRecord::KeptInFront>& kept = s.game.runRecord().keptInFront;
    ASSERT_EQ(kept.size(), reasons.size());
    const std::string written = record();
    size_t from = 0;
    for (size_t i = 0; i < reasons.size(); ++i) {
        EXPECT_EQ(kept[i].why, reasons[i].second);
        const std::string entry = "\"why\": \"" + reasons[i].second + "\"}";
        const size_t at = written.find(entry, from);
        EXPECT_NE(at, std::string::npos) << reasons[i].second << " is not written after the one before";
        if (at != std::string::npos) from = at;
    }
}

// The logs and boxes of a whole scripted game, with the run record made to
// fail by `spoil` before the start.
struct Played {
    std::string ck, nk, record;
    std::vector<std::string> messages;
};
Played playScriptedGame(const std::function<void(WorkDir&)>& spoil) {
    WorkDir dir;
    writeScriptedSetup(dir, 4, 7);
    spoil(dir);
    Session s;
    startScripted(s);
    ScriptedPlay(s).playToEnd();
    s.game.flushRunRecord();
    const Logs logs = readLogs(dir.path() + "/dataout");
    std::string record;
    if (fs::is_regular_file(dir.path() + "/dataout/run071226_4242.json"))
        record = dir.read("dataout/run071226_4242.json");
    return {logs.ck, logs.nk, record, s.platform.messages};
}

TEST(RunRecordFailures, LeaveTheSessionItsLogsAndItsBoxesAsTheyWouldBe) {
    const Played plain = playScriptedGame([](WorkDir&) {});
    ASSERT_NE(plain.ck.find("TotalMove:"), std::string::npos);
    ASSERT_EQ(plain.messages.back(), "The game is over. Thank you!");

    // dataout/setups is a file: the setup cannot be copied.
    const Played noCopy = playScriptedGame([](WorkDir& d) { d.write("dataout/setups", "a file"); });
    EXPECT_EQ(noCopy.ck, plain.ck);
    EXPECT_EQ(noCopy.nk, plain.nk);
    EXPECT_NE(noCopy.record.find("\"saved\": null"), std::string::npos);
    EXPECT_NE(noCopy.record.find("\"problems\": [\"the setup could not be copied: "), std::string::npos);
    EXPECT_NE(noCopy.record.find("\"state\": \"ended\""), std::string::npos);
    // The participant's screens stay as they are: no box about the record.
    EXPECT_EQ(noCopy.messages, plain.messages);

    // A folder holds the record's name: the record cannot be written.
    const Played noRecord =
        playScriptedGame([](WorkDir& d) { fs::create_directories(d.path() + "/dataout/run071226_4242.json"); });
    EXPECT_EQ(noRecord.ck, plain.ck);
    EXPECT_EQ(noRecord.nk, plain.nk);
    EXPECT_EQ(noRecord.messages, plain.messages);
}

TEST(RunRecordSetups, TwoSessionsOfOneSetupKeepOneCopyThatPlaysTheSameLogs) {
    WorkDir dir;
    writeScriptedSetup(dir, 3, 5);
    std::vector<Logs> logs;
    for (int session = 0; session < 2; ++session) {
        Session s;
        s.game.setRunRecordWriter(std::make_unique<RunRecordWriter>());  // on its own thread
        s.game.setRandomSuffix([session] { return 10 + session; });
        s.clock.set("08:00:00.000");
        s.game.startGame("SOAK   ");
        ScriptedPlay(s).playToEnd();
        s.game.flushRunRecord();
    }
    const std::vector<std::string> setups = dir.list("dataout/setups");
    ASSERT_EQ(setups.size(), 1u);
    for (const char* name : {"dataout/run071226_10.json", "dataout/run071226_11.json"})
        EXPECT_NE(dir.read(name).find("\"saved\": \"setups/" + setups[0] + "\""), std::string::npos) << name;
    const Logs first = readLogs(dir.path() + "/dataout");  // both sessions played alike

    // The saved copy is a working directory: a new run there plays the same.
    WorkDir again;
    // File by file: MinGW's recursive fs::copy fails on the folder it makes.
    const fs::path saved = dir.path() + "/dataout/setups/" + setups[0] + "/setup";
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(saved)) {
        const fs::path to = fs::path(again.path()) / "setup" / fs::relative(e.path(), saved);
        if (e.is_directory())
            fs::create_directories(to);
        else {
            fs::create_directories(to.parent_path());
            fs::copy_file(e.path(), to, fs::copy_options::overwrite_existing);
        }
    }
    Session s;
    s.game.setRandomSuffix([] { return 10; });
    s.clock.set("08:00:00.000");
    s.game.startGame("SOAK   ");
    ScriptedPlay(s).playToEnd();
    s.game.flushRunRecord();
    const Logs replay = readLogs(again.path() + "/dataout");
    EXPECT_EQ(replay.ck, first.ck);
    EXPECT_EQ(replay.nk, first.nk);
    EXPECT_EQ(again.list("dataout/setups"), setups);  // the same hash
}

}  // namespace
