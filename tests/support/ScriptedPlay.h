#pragma once
// Long games played headless by a fixed script, for the soak, kill and
// full-disk tests: a shoe of random hands (fixed seed), and in every hand the
// role in turn swaps the face-up card into its hand, then passes follow until
// four passes in a row end the hand (or the first action ends it when the
// goal card was dealt onto the Target).

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>

#include "support/FakeDesktop.h"

namespace qbx::test {

inline std::string randomShoe(int hands, unsigned seed) {
    std::mt19937 rng(seed);
    std::string cards[6] = {"2H", "3H", "4H", "2C", "3C", "4C"};
    std::string shoe = "generated shoe\r\n";
    for (int h = 0; h < hands; ++h) {
        std::shuffle(std::begin(cards), std::end(cards), rng);
        for (const std::string& c : cards) shoe += c + " ";
        shoe += cards[rng() % 6] + (rng() % 2 ? " ck\r\n" : " nk\r\n");
    }
    return shoe;
}

// Counts what the script did, so that the records can be checked against it.
struct ScriptedPlay {
    explicit ScriptedPlay(Session& session) : s(session) {}

    // Plays until the game ends, or the program is stopped.
    void playToEnd() {
        while (!s.platform.terminated) {
            s.untilHandInPlay();
            if (s.platform.terminated || !s.game.progress().handInPlay) return;
            ++hands;
            if (afterDeal) afterDeal(hands);
            const int hand = s.game.progress().handNumber;
            for (int i = 0;
                 s.game.progress().handInPlay && s.game.progress().handNumber == hand && !s.platform.terminated; ++i) {
                s.clock.advance(600 + actions * 37 % 900);  // the participant thinks
                if (i == 0) {
                    const bool ck = turnOf(s.game) == "ck";
                    s.drag(upCardView, ck ? colorCardView : numberCardView);
                    ++swaps;
                    ++(ck ? ckDragStarts : nkDragStarts);
                    s.runUntil([&] { return !s.game.timerRunning(TimerId::Glide); });  // the glide back
                } else {
                    s.pass();
                    ++passes;
                }
                ++actions;
                if (afterAction) afterAction(actions);
            }
        }
    }

    Session& s;
    long hands = 0, actions = 0, swaps = 0, passes = 0, ckDragStarts = 0, nkDragStarts = 0;
    std::function<void(long)> afterAction;  // with the number of actions so far
    std::function<void(long)> afterDeal;    // with the number of hands dealt so far
};

// The setup of a scripted game in a WorkDir.
inline void writeScriptedSetup(WorkDir& dir, int hands, unsigned seed) {
    dir.write("setup/QBXParameter.ini", parameterFile({{"ViewCard", "NONE"}, {"MaxRounds", "50"}}));
    dir.write("setup/messages.ini", englishCatalogue());
    dir.write("setup/shoe.txt", randomShoe(hands, seed));
}

inline void startScripted(Session& s) {
    s.game.setRandomSuffix([] { return 4242; });
    s.clock.set("08:00:00.000");
    s.game.startGame("SOAK   ");
}

// Runs `body` with the temporary folder on a memory file system when there
// is one, so that long games are not slowed down by the disk flush after
// every action. WorkDirs made inside live there. Under Wine the Linux root
// is drive Z:, so its /dev/shm serves the Windows build too.
template <typename F>
void inMemoryTemp(F&& body) {
#ifdef _WIN32
    const char* old = std::getenv("TMP");
    const std::string saved = old ? old : "";
    std::error_code ec;
    const bool inMemory = std::filesystem::is_directory("Z:\\dev\\shm", ec);
    if (inMemory) _putenv_s("TMP", "Z:\\dev\\shm");
    body();
    if (inMemory) _putenv_s("TMP", saved.c_str());
#else
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    if (::access("/dev/shm", W_OK) == 0) ::setenv("TMPDIR", "/dev/shm", 1);
    body();
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
#endif
}

// The two logs of a session, as read back from disk.
struct Logs {
    std::string ck, nk;
};

// The ColorKeeper's and the NumberKeeper's log in a dataout folder (empty
// when the folder or a log is not there yet).
inline Logs readLogs(const std::string& dataout) {
    Logs logs;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dataout, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("ck", 0) == 0) logs.ck = readFile(e.path().string());
        if (name.rfind("nk", 0) == 0) logs.nk = readFile(e.path().string());
    }
    return logs;
}

// The two logs of the scripted game over `hands` hands, played to its end
// in a fresh working folder on a healthy disk.
inline Logs scriptedGameLogs(int hands, unsigned seed) {
    WorkDir dir;
    writeScriptedSetup(dir, hands, seed);
    Session s;
    startScripted(s);
    ScriptedPlay(s).playToEnd();
    return readLogs(dir.path() + "/dataout");
}

}  // namespace qbx::test
