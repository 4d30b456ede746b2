// The run record the game writes, read by qbxtool's reader of the layout:
// the writer and the reader agree on every field, awkward texts included.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/ScriptedPlay.h"
#include "core/runrecord/RunRecord.h"

namespace qbx::tool::logs {
namespace {

using test::Session;
using test::WorkDir;

TEST(RunRecordWritten, TheGamesRecordReadsBackWithEveryField) {
    WorkDir dir;
    test::writeScriptedSetup(dir, 2, 3);
    dir.write("setup/sub/notes \"quoted\".txt", "a note");
#ifndef _WIN32
    dir.write("outside.txt", "not the setup's");
    std::filesystem::create_symlink(dir.path() + "/outside.txt", dir.path() + "/setup/outside.txt");
#endif
    Session s;
    s.platform.system.windowManager = "";  // none: null in the record
    test::startScripted(s);
    s.clock.set("08:00:01.250");
    s.game.keptInFront(FrontLost::Unmaximised);
    test::ScriptedPlay(s).playToEnd();

    std::string error;
    const auto r = readRunRecord(dir.path() + "/dataout/run071226_4242.json", error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->session, "071226_4242");
    EXPECT_TRUE(r->ended);
    EXPECT_EQ(r->system.os, "Test OS 1.0");
    EXPECT_EQ(r->system.screenWidth, 1024);
    EXPECT_DOUBLE_EQ(r->system.devicePixelRatio, 1.5);
    EXPECT_TRUE(r->system.windowManager.empty());
    EXPECT_EQ(r->participant, "SOAK   ");
    ASSERT_EQ(r->files.size(), 4u);
    EXPECT_EQ(r->files[3].path, "setup/sub/notes \"quoted\".txt");
    EXPECT_EQ(r->files[3].use, "other");
    EXPECT_EQ(r->setupHash.substr(0, 12), r->setupShort);
    ASSERT_TRUE(r->savedSetup);
    EXPECT_EQ(test::readFile(r->savedSetupDir() + "/setup/shoe.txt"), dir.read("setup/shoe.txt"));
    ASSERT_EQ(r->parameters.size(), 14u);
    EXPECT_EQ(r->parameters[13], (std::pair<std::string, std::string>{"File Texture", "NO"}));
    EXPECT_FALSE(r->continues);
    EXPECT_EQ(r->started, "2026-12-07T08:00:00.000");
    ASSERT_TRUE(r->end);
    EXPECT_EQ(r->end->how, "game ended");
    EXPECT_EQ(r->end->hands, 2);
    ASSERT_EQ(r->keptInFront.size(), 1u);
    EXPECT_EQ(r->keptInFront[0].time, "2026-12-07T08:00:01.250");
    EXPECT_EQ(r->keptInFront[0].why, "un-maximised");
#ifndef _WIN32
    ASSERT_EQ(r->notCopied.size(), 1u);
    EXPECT_EQ(r->notCopied[0].path, "setup/outside.txt");
    EXPECT_EQ(r->notCopied[0].why, "a link to outside setup/");
    EXPECT_EQ(r->problems,
              std::vector<std::string>{"the saved setup lacks setup/outside.txt: a link to outside setup/"});
#else
    EXPECT_TRUE(r->problems.empty());
#endif
}

}  // namespace
}  // namespace qbx::tool::logs
