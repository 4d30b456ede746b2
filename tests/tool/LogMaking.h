#pragma once
// Logs for the qbxtool tests, written by the engine itself: the whole games
// kept in tests/data with the setups they were played with, and scripted
// games of any length.

#include <filesystem>
#include <string>

#include "support/FakeDesktop.h"
#include "support/MixGame.h"
#include "support/ScriptedPlay.h"
#include "tool/ToolTestSupport.h"

namespace qbx::tool::test {

namespace fs = std::filesystem;

// Copies the mix game's logs into `folder` as the pair of suffix 071226_1,
// and writes its setup into folder/../setup. Returns the ColorKeeper's path.
inline std::string copyMixGame(const fs::path& folder, const std::string& suffix = "071226_1") {
    fs::create_directories(folder);
    fs::copy_file(std::string(QBX_TEST_DATA) + "/mix_game_ck.txt", folder / ("ck" + suffix + ".txt"),
                  fs::copy_options::overwrite_existing);
    fs::copy_file(std::string(QBX_TEST_DATA) + "/mix_game_nk.txt", folder / ("nk" + suffix + ".txt"),
                  fs::copy_options::overwrite_existing);
    return (folder / ("ck" + suffix + ".txt")).string();
}

inline void writeMixSetup(const fs::path& setupFolder) {
    fs::create_directories(setupFolder);
    writeFile(setupFolder / "QBXParameter.ini",
              qbx::test::parameterFile(
                  {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"MaxRounds", "8"}, {"PremiumRound", "2001"}}));
    writeFile(setupFolder / "shoe.txt", qbx::test::kMixShoe);
}

// Plays a scripted game of `hands` hands in a fresh working folder and moves
// its two logs into `folder`, under the suffix given. Returns the
// ColorKeeper's path.
inline std::string playScriptedGame(const fs::path& folder, int hands, unsigned seed, const std::string& suffix) {
    fs::create_directories(folder);
    std::string ckPath;
    qbx::test::inMemoryTemp([&] {
        qbx::test::WorkDir dir;
        qbx::test::writeScriptedSetup(dir, hands, seed);
        qbx::test::Session s;
        qbx::test::startScripted(s);
        s.game.setDurableLogs(false);
        qbx::test::ScriptedPlay play(s);
        play.playToEnd();
        for (const std::string& name : dir.logs()) {
            const fs::path to = folder / (name.substr(0, 2) + suffix + ".txt");
            fs::copy_file(fs::path(dir.path()) / "dataout" / name, to, fs::copy_options::overwrite_existing);
            if (name.rfind("ck", 0) == 0) ckPath = to.string();
        }
    });
    return ckPath;
}

}  // namespace qbx::tool::test
