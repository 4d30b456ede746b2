// A session's run record as qbxtool reads it: every field of the layout, and
// a clear refusal of a file that is no record of a layout it knows.

#include <gtest/gtest.h>

#include "ToolTestSupport.h"
#include "core/eventlog/LogFormat.h"
#include "core/runrecord/RunRecord.h"

namespace qbx::tool::logs {
namespace {

TEST(RunRecord, EveryFieldIsReadAsWritten) {
    std::string error;
    const auto r = readRunRecord(std::string(QBX_TEST_DATA) + "/run_record_sample.json", error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->session, "071226_1");
    EXPECT_TRUE(r->ended);
    EXPECT_EQ(r->version, "1.4.0");
    EXPECT_EQ(r->commit, "96e76e4");
    EXPECT_EQ(r->system.os, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(r->system.screenWidth, 1920);
    EXPECT_EQ(r->system.screenHeight, 1080);
    EXPECT_DOUBLE_EQ(r->system.devicePixelRatio, 1.25);
    EXPECT_EQ(r->system.windowManager, "Openbox");
    EXPECT_EQ(r->workingDirectory, "lab-a");
    EXPECT_EQ(r->participant, "Z9 \xC3\xA9   ");
    EXPECT_EQ(r->setupShort, "5d1b0a4c9e8f");
    EXPECT_EQ(r->setupHash.substr(0, 12), r->setupShort);
    ASSERT_EQ(r->files.size(), 2u);
    EXPECT_EQ(r->files[1].path, "setup/shoe.txt");
    EXPECT_EQ(r->files[1].bytes, 1207);
    EXPECT_EQ(r->files[1].use, "shoe");
    // The parameters in the order the record has them.
    ASSERT_EQ(r->parameters.size(), 4u);
    EXPECT_EQ(r->parameters[0], (std::pair<std::string, std::string>{"ShoeFileName", "shoe.txt"}));
    EXPECT_EQ(r->parameters[3], (std::pair<std::string, std::string>{"CostMove", "10"}));
    ASSERT_TRUE(r->continues);
    EXPECT_EQ(r->continues->session, "061226_4711");
    EXPECT_EQ(r->continues->hand, 3);
    EXPECT_EQ(r->started, "2026-12-07T13:59:58.990");
    ASSERT_TRUE(r->end);
    EXPECT_EQ(r->end->how, "game ended");
    EXPECT_EQ(r->end->hands, 5);
    ASSERT_EQ(r->keptInFront.size(), 1u);
    EXPECT_EQ(r->keptInFront[0].why, "minimised");
    EXPECT_TRUE(r->problems.empty());
    EXPECT_EQ(r->savedSetupDir(), std::string(QBX_TEST_DATA) + "/" + *r->savedSetup);
}

TEST(RunRecord, AStartedRecordHasNoEndAndANullSetupCopyIsNone) {
    TempDir dir;
    writeFile(dir.path() / "run071226_2.json",
              R"({"record": "QBXSolo run record", "format": 1, "session": "071226_2", "state": "started",
                  "system": {"windowManager": null}, "setup": {"saved": null}, "continues": null, "end": null,
                  "problems": ["the setup could not be copied: No space left on device"]})");
    std::string error;
    const auto r = readRunRecord((dir.path() / "run071226_2.json").string(), error);
    ASSERT_TRUE(r) << error;
    EXPECT_FALSE(r->ended);
    EXPECT_FALSE(r->end);
    EXPECT_FALSE(r->continues);
    EXPECT_TRUE(r->system.windowManager.empty());
    EXPECT_EQ(r->savedSetupDir(), "");
    ASSERT_EQ(r->problems.size(), 1u);
}

TEST(RunRecord, FilesThatAreNoRecordOfAKnownLayoutAreRefusedWithWhy) {
    TempDir dir;
    const struct {
        const char* bytes;
        const char* why;
    } cases[] = {
        {R"({"record": "QBXSolo run record", "format": 1, "session": "07)", "not JSON"},
        {"", "not JSON"},
        {R"(["QBXSolo run record"])", "not JSON"},
        {R"({"record": "something else", "format": 1})", "not a QBXSolo run record"},
        {R"({"record": "QBXSolo run record", "format": 2})", "format this qbxtool does not know"},
    };
    // A record whose extra field nests deeper than any reader should follow.
    const std::string deep =
        R"({"record": "QBXSolo run record", "format": 1, "x": )" + std::string(100, '[') + std::string(100, ']') + "}";
    for (const auto& c : cases) {
        writeFile(dir.path() / "run.json", c.bytes);
        std::string error;
        EXPECT_FALSE(readRunRecord((dir.path() / "run.json").string(), error)) << c.bytes;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.bytes << " gave " << error;
    }
    writeFile(dir.path() / "run.json", deep);
    std::string deepError;
    EXPECT_FALSE(readRunRecord((dir.path() / "run.json").string(), deepError));
    EXPECT_EQ(deepError, "not JSON: a run record cut short or edited");
    std::string error;
    EXPECT_FALSE(readRunRecord((dir.path() / "missing.json").string(), error));
    EXPECT_EQ(error, "cannot be read");
}

TEST(RunRecord, ItsNameSharesTheLogsDateAndNumber) {
    EXPECT_EQ(runRecordName("071226_4711"), "run071226_4711.json");
    EXPECT_EQ(runRecordSession("run071226_4711.json"), "071226_4711");
    for (const char* other : {"run071226_4711.txt", "ck071226_4711.txt", "run071226_04711.json", "run321226_1.json",
                              "run071226_.json", "run.json", "runs071226_1.json"})
        EXPECT_FALSE(runRecordSession(other)) << other;
}

}  // namespace
}  // namespace qbx::tool::logs
