// A session played again from its two logs: the table the replay shows is,
// at every action, the table the live game had when it wrote that action's
// records; logs that were cut or altered are named, not followed blindly.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/game/TableState.h"
#include "core/replay/SessionReplay.h"
#include "support/FakeDesktop.h"
#include "support/MixGame.h"

using namespace qbx;
using namespace qbx::test;
using replay::SessionReplay;

namespace {

constexpr Size kScreen{1280, 1024};

// A live game played by a seeded, clumsy participant: swaps the rules
// allow and refuse, drops on the table, looks, passes. The table is
// written down each time a call into the game writes records, as the
// replay must show it at that action.
struct LiveGame {
    explicit LiveGame(unsigned seed) : rng(seed), desktop(clock), game(desktop, clock, currentWorkDir()) {
        desktop.screen = desktop.window = kScreen;
        clock.date = {2026, 12, 7, 0, 0, 0, 0};
        clock.setMs(10 * 3600000LL);
        game.keepLogsInMemory();
        game.setRandomSuffix([] { return 5; });
    }

    template <typename F>
    void call(F&& f) {
        const size_t before = game.logs().ck().memory().size() + game.logs().nk().memory().size();
        f();
        if (game.logs().ck().memory().size() + game.logs().nk().memory().size() != before)
            states.push_back(tableStateText(game));
    }
    void runUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 100000 && !done(); ++i) {
            bool fired = false;
            call([&] { fired = desktop.fireNextTimer(game); });
            if (!fired) return;
        }
    }
    void settle() {
        runUntil([&] {
            return game.progress().handInPlay && game.table().formEnabled() && !game.timerRunning(TimerId::Glide);
        });
    }
    int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

    // Plays to the end of the shoe, or stops (as a session killed) after
    // `most` of the participant's turns, a card perhaps still gliding.
    void play(int most = 400) {
        call([&] { game.startGame("P 42   "); });
        for (int actions = 0; actions < most && !desktop.terminated; ++actions) {
            settle();
            if (desktop.terminated) break;
            clock.advance(200 + pick(2500));
            const int choice = pick(10);
            const uint8_t from = static_cast<uint8_t>(pick(kPlaces));
            if (choice < 3) {
                call([&] { game.pass(); });
            } else if (choice < 5) {
                const uint8_t own = handPosition(game.hand().turn);
                call([&] { pressCard(game, choice == 3 ? own : from, MouseButton::Right); });
                clock.advance(300);
                call([&] { releaseCard(game, choice == 3 ? own : from, MouseButton::Right); });
            } else if (choice < 9) {
                const uint8_t to = static_cast<uint8_t>(pick(kPlaces));
                call([&] { pressCard(game, from, MouseButton::Left); });
                clock.advance(400 + pick(800));
                call([&] { game.mouseMove(cardCentreX(game, to), cardCentreY(game, to)); });
                call([&] { releaseCard(game, to, MouseButton::Left); });
            } else {
                call([&] { pressCard(game, from, MouseButton::Left); });
                clock.advance(500);
                call([&] { game.mouseRelease(3, 3, MouseButton::Left); });  // on the table: the card glides home
            }
        }
        if (most == 400) runUntil([] { return false; });
    }

    replay::SessionLogs logs() const {
        return {"ck071226_5.txt", "nk071226_5.txt", game.logs().ck().memory(), game.logs().nk().memory(),
                currentWorkDir()};
    }

    std::mt19937 rng;
    SimulatedClock clock;
    SimulatedDesktop desktop;
    Game game;
    std::vector<std::string> states;
};

std::string problemsText(const SessionReplay& r) {
    std::string out;
    for (const replay::Problem& p : r.problems()) out += "[" + std::to_string(p.action) + "] " + p.what + "\n";
    return out;
}

struct Setting {
    const char* name;
    std::vector<std::pair<std::string, std::string>> parameters;
};

class ReplayOfLiveGames : public ::testing::TestWithParam<Setting> {};

TEST_P(ReplayOfLiveGames, ShowTheLiveTableAtEveryActionAndFindNothingWrong) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        WorkDir dir;
        writeSetup(dir, kMixShoe, GetParam().parameters);
        LiveGame live(seed);
        live.play();
        ASSERT_TRUE(live.desktop.terminated) << "the live game did not reach the end of the shoe";

        std::string error;
        const std::unique_ptr<SessionReplay> r = SessionReplay::open(live.logs(), kScreen, error);
        ASSERT_TRUE(r) << error;
        EXPECT_EQ(r->session(), "071226_5");
        EXPECT_EQ(r->participant(), "P 42");
        EXPECT_EQ(r->hands(), 5);
        ASSERT_EQ(r->actions().size(), live.states.size());
        for (size_t k = 0; k < r->actions().size(); ++k) {
            r->jumpToAction(k);
            ASSERT_EQ(tableStateText(r->game()), live.states[k])
                << "action " << k << " (" << replay::actionKindName(r->actions()[k].kind) << ", "
                << r->actions()[k].file << " line " << r->actions()[k].line << ")\n"
                << problemsText(*r);
        }
        EXPECT_TRUE(r->game().terminated());
        EXPECT_EQ(problemsText(*r), "");
        EXPECT_EQ(r->banner(), "The game is over. Thank you!");

        // Every hand's end shows a banner: the box the participant saw, or
        // for a goal reached (no box) the replay's own line; the next deal
        // takes it away.
        for (size_t k = 0; k < r->actions().size(); ++k) {
            const replay::Action& act = r->actions()[k];
            if (!act.endsHand) continue;
            r->jumpToAction(k);
            const bool byGoal = std::any_of(act.records.begin(), act.records.end(), [](const std::string& rec) {
                return rec.find(":GE:") != std::string::npos;
            });
            const bool byBox = std::any_of(act.records.begin(), act.records.end(), [](const std::string& rec) {
                return rec.find(":GP:") != std::string::npos || rec.find(":GM:") != std::string::npos;
            });
            if (byBox) {
                EXPECT_NE(r->banner().find("the hand is over"), std::string::npos) << r->banner();
            } else if (byGoal) {
                EXPECT_EQ(r->banner(),
                          "Hand " + std::to_string(act.hand) + " is over: the goal card is at the Target.");
            }
            if (k + 1 < r->actions().size() && r->actions()[k + 1].kind == replay::ActionKind::Deal) {
                r->jumpToAction(k + 1);
                EXPECT_EQ(r->banner(), "");
            }
        }

        // Back to the middle, and played on by time to the end.
        const size_t middle = r->actions().size() / 2;
        r->jumpToAction(middle);
        EXPECT_EQ(tableStateText(r->game()), live.states[middle]);
        EXPECT_EQ(r->actionsApplied(), middle + 1);
        r->playTo(r->durationMs() + 5000);
        EXPECT_TRUE(r->game().terminated());
        EXPECT_EQ(r->actionsApplied(), r->actions().size());
        EXPECT_EQ(problemsText(*r), "");
        EXPECT_EQ(r->firstActionOfHand(1), 1u);
        EXPECT_EQ(r->actions()[r->firstActionOfHand(3)].kind, replay::ActionKind::Deal);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, ReplayOfLiveGames,
    ::testing::Values(Setting{"Mix", {{"ViewCard", "MIX"}, {"MaxRounds", "8"}}},
                      Setting{"CircularLockedHidden",
                              {{"ViewCard", "ALL"},
                               {"ViewCkNk", "FALSE"},
                               {"SyntaxInput", "circular"},
                               {"Drag CkNk", ""},
                               {"ViewTarget", ""},
                               {"MaxRounds", "6"}}},
                      Setting{"NoneShown", {{"ViewCard", "NONE"}, {"MaxRounds", "10"}}},
                      Setting{
                          "MixLockedHidden",
                          {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"Drag CkNk", "FALSE"}, {"MaxRounds", "9"}}}),
    [](const ::testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

TEST(ReplayOfLiveGames, CutShortReplaysToItsLastRecordWithTheTableAsItWas) {
    for (int most : {7, 19, 31}) {
        SCOPED_TRACE("stopped after " + std::to_string(most) + " turns");
        WorkDir dir;
        writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}, {"MaxRounds", "8"}});
        LiveGame live(11);
        live.play(most);
        ASSERT_FALSE(live.desktop.terminated);
        std::string error;
        const std::unique_ptr<SessionReplay> r = SessionReplay::open(live.logs(), kScreen, error);
        ASSERT_TRUE(r) << error;
        ASSERT_EQ(r->actions().size(), live.states.size());
        for (size_t k = 0; k < r->actions().size(); ++k) {
            r->jumpToAction(k);
            ASSERT_EQ(tableStateText(r->game()), live.states[k]) << "action " << k;
        }
        EXPECT_FALSE(r->game().terminated());
        EXPECT_EQ(problemsText(*r), "");
    }
}

TEST(ReplayOfFaultyLogs, IsRefusedWithAReasonOrNamesWhatItCannotFollow) {
    WorkDir dir;
    writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}, {"MaxRounds", "8"}});
    LiveGame live(7);
    live.play();
    const replay::SessionLogs good = live.logs();
    std::string error;

    // Not a pair, not a log, a log headed as the other role's.
    replay::SessionLogs logs = good;
    logs.nkName = "nk071226_6.txt";
    EXPECT_FALSE(SessionReplay::open(logs, kScreen, error));
    EXPECT_EQ(error, "ck071226_5.txt and nk071226_6.txt are not the two logs of one session");
    logs = good;
    logs.ckName = "notes.txt";
    EXPECT_FALSE(SessionReplay::open(logs, kScreen, error));
    EXPECT_NE(error.find("is not the name of a ColorKeeper's log"), std::string::npos) << error;
    logs = good;
    logs.nkBytes = "";
    EXPECT_FALSE(SessionReplay::open(logs, kScreen, error));
    EXPECT_EQ(error, "nk071226_5.txt holds no session: it does not begin with a log's header");
    logs = good;
    std::swap(logs.ckBytes, logs.nkBytes);
    EXPECT_FALSE(SessionReplay::open(logs, kScreen, error));
    EXPECT_EQ(error, "ck071226_5.txt is headed as the other role's log");

    // Cut short in the middle of a line: played to the last whole record.
    logs = good;
    logs.ckBytes.resize(logs.ckBytes.size() / 2);
    logs.ckBytes.resize(logs.ckBytes.rfind("\r\n") + 2 + 7);
    std::unique_ptr<SessionReplay> r = SessionReplay::open(logs, kScreen, error);
    ASSERT_TRUE(r) << error;
    ASSERT_FALSE(r->problems().empty());
    EXPECT_NE(r->problems().front().what.find("ends in a line cut short"), std::string::npos)
        << r->problems().front().what;
    r->playTo(r->durationMs());
    EXPECT_EQ(r->actionsApplied(), r->actions().size());

    // A move altered in both logs: the rules' own move is named at its
    // line, and the replay goes on to the end.
    logs = good;
    const auto firstMove = [](const std::string& log) { return std::min(log.find(":PM:"), log.find(":RM:")); };
    const size_t at = firstMove(logs.ckBytes), nkAt = firstMove(logs.nkBytes);
    ASSERT_NE(at, std::string::npos);
    const size_t lineNumber =
        static_cast<size_t>(std::count(logs.ckBytes.begin(), logs.ckBytes.begin() + at, '\n')) + 1;
    const std::string original = logs.ckBytes.substr(at + 4, 2);
    const std::string other = original == "2H" ? "4C" : "2H";
    logs.ckBytes.replace(at + 4, 2, other);
    logs.nkBytes.replace(nkAt + 4, 2, other);
    r = SessionReplay::open(logs, kScreen, error);
    ASSERT_TRUE(r) << error;
    r->playTo(r->durationMs() + 10000);
    EXPECT_TRUE(r->game().terminated());
    ASSERT_FALSE(r->problems().empty());
    const std::string& what = r->problems().front().what;
    EXPECT_EQ(what.rfind("ck071226_5.txt line " + std::to_string(lineNumber) + ": the log holds \"", 0), 0u) << what;
    EXPECT_NE(what.find("the rules give \""), std::string::npos) << what;

    // A line that is no record: left out, named, the rest replayed.
    logs = good;
    const size_t third = logs.nkBytes.find("\r\n", logs.nkBytes.find("\r\n", logs.nkBytes.find("\r\n") + 2) + 2) + 2;
    logs.nkBytes.insert(third, "this is not a record\r\n");
    r = SessionReplay::open(logs, kScreen, error);
    ASSERT_TRUE(r) << error;
    ASSERT_EQ(r->problems().size(), 1u) << problemsText(*r);
    EXPECT_EQ(r->problems().front().what.rfind("nk071226_5.txt line 4: ", 0), 0u) << r->problems().front().what;
    r->playTo(r->durationMs() + 10000);
    EXPECT_TRUE(r->game().terminated());
    EXPECT_EQ(r->problems().size(), 1u) << problemsText(*r);
}

TEST(ReplayOfFaultyLogs, LogsOfTwoSessionsAreRefusedAndLogsThatPartLaterNamed) {
    WorkDir dir;
    writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}, {"MaxRounds", "8"}});
    LiveGame live(7), later(7), other(8);
    later.clock.setMs(11 * 3600000LL);
    live.play();
    later.play();
    other.play();
    std::string error;
    // The same game played an hour later, its NumberKeeper log under this
    // session's name: two sessions, parted at the first line.
    replay::SessionLogs logs = live.logs();
    logs.nkBytes = later.game.logs().nk().memory();
    EXPECT_FALSE(SessionReplay::open(logs, kScreen, error));
    EXPECT_EQ(error,
              "ck071226_5.txt and nk071226_5.txt are not the two logs of one session: the time stamps differ at "
              "ck071226_5.txt line 1 and nk071226_5.txt line 1");
    // A log whose game went otherwise after the same start: replayed, the
    // place where the logs part named first.
    logs = live.logs();
    logs.nkBytes = other.game.logs().nk().memory();
    std::unique_ptr<SessionReplay> r = SessionReplay::open(logs, kScreen, error);
    ASSERT_TRUE(r) << error;
    ASSERT_FALSE(r->problems().empty());
    const std::string& parting = r->problems().front().what;
    EXPECT_EQ(parting.rfind("ck071226_5.txt line ", 0), 0u) << parting;
    EXPECT_NE(parting.find(": the two logs part ("), std::string::npos) << parting;
    EXPECT_EQ(parting.find("line 0"), std::string::npos) << parting;
    // A pick-up is in one log only: altering it parts nothing.
    logs = live.logs();
    const size_t pickUp = logs.ckBytes.find(":pR:");
    ASSERT_NE(pickUp, std::string::npos);
    logs.ckBytes.replace(pickUp + 4, 2, logs.ckBytes.substr(pickUp + 4, 2) == "2H" ? "4C" : "2H");
    r = SessionReplay::open(logs, kScreen, error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(problemsText(*r).find("part"), std::string::npos) << problemsText(*r);
}

TEST(ReplayOfFaultyLogs, EveryProblemNamesItsFileAndARealLine) {
    WorkDir dir;
    writeSetup(dir, kMixShoe, {{"ViewCard", "MIX"}, {"MaxRounds", "8"}});
    LiveGame live(7);
    live.play();
    const replay::SessionLogs good = live.logs();
    const auto linesOf = [](const std::string& log) {
        return static_cast<long>(std::count(log.begin(), log.end(), '\n'));
    };
    struct Case {
        const char* name;
        bool ck;       // which log is shortened
        bool midLine;  // cut inside a line, or after a whole one
    };
    for (const Case& c : {Case{"nk cut in a line", false, true}, Case{"nk ends early", false, false},
                          Case{"ck ends early", true, false}, Case{"ck cut in a line", true, true}}) {
        SCOPED_TRACE(c.name);
        replay::SessionLogs logs = good;
        std::string& log = c.ck ? logs.ckBytes : logs.nkBytes;
        const std::string& file = c.ck ? logs.ckName : logs.nkName;
        log.resize(log.rfind("\r\n", log.size() / 2) + 2);
        const long whole = linesOf(log);
        if (c.midLine) log += "36100.5:36";
        std::string error;
        const std::unique_ptr<SessionReplay> r = SessionReplay::open(logs, kScreen, error);
        ASSERT_TRUE(r) << error;
        r->playTo(r->durationMs() + 10000);
        ASSERT_FALSE(r->problems().empty());
        int endings = 0;
        for (const replay::Problem& p : r->problems()) {
            EXPECT_EQ(p.what.find("line 0"), std::string::npos) << p.what;
            EXPECT_TRUE(p.what.rfind(logs.ckName + " ", 0) == 0 || p.what.rfind(logs.nkName + " ", 0) == 0) << p.what;
            endings += p.what.find(" ends ") != std::string::npos || p.what.find("cut short") != std::string::npos;
        }
        // Where the log ends is told once, at its real last line.
        EXPECT_EQ(endings, 1) << problemsText(*r);
        const std::string end = c.midLine
                                    ? file + " line " + std::to_string(whole + 1) + ": the log ends in a line cut short"
                                    : file + " ends at line " + std::to_string(whole) + ", before the session does";
        EXPECT_NE(problemsText(*r).find(end), std::string::npos) << problemsText(*r);
    }
}

// The table a snapshot shows: after the start, as it first shows at the
// first deal; after a swap, with the card that glides at its new place.
TEST(ReplayShown, EveryCardIsDrawnWhereTheParticipantSawIt) {
    WorkDir dir;
    writeSetup(dir, kMixShoe, {{"ViewCard", "ALL"}, {"MaxRounds", "8"}});
    LiveGame live(3);
    live.play();
    std::string error;
    const std::unique_ptr<SessionReplay> r = SessionReplay::open(live.logs(), kScreen, error);
    ASSERT_TRUE(r) << error;
    const auto lines = [](const std::string& text, const std::string& start) {
        std::vector<std::string> out;
        for (size_t at = 0; at < text.size();) {
            const size_t end = text.find('\n', at);
            const std::string line = text.substr(at, end - at);
            if (line.rfind(start, 0) == 0) out.push_back(line);
            at = end == std::string::npos ? text.size() : end + 1;
        }
        return out;
    };

    r->jumpToAction(0);
    EXPECT_NE(tableStateText(r->game()).find("table hidden"), std::string::npos);
    r->showAction(0);
    const std::string start = tableStateText(r->game());
    EXPECT_NE(start.find("table shown"), std::string::npos) << start;
    // Every card on the deck, showing its back, the deck fitted to the
    // screen; the first card's glide has begun and not yet moved it.
    const Table& table = r->game().table();
    const Control& deck = table[Ctl::DeckCard];
    EXPECT_FALSE(deck.left == 0 && deck.top == 0);
    for (Ctl card : {Ctl::Card2H, Ctl::Card3H, Ctl::Card4H, Ctl::Card2C, Ctl::Card3C, Ctl::Card4C}) {
        EXPECT_EQ(table[card].left, deck.left) << static_cast<int>(card);
        EXPECT_EQ(table[card].top, deck.top) << static_cast<int>(card);
        EXPECT_EQ(table[card].picture, Picture::Back) << static_cast<int>(card);
    }
    EXPECT_LT(r->nowMs(), r->actions()[1].atMs);

    int swaps = 0;
    for (size_t k = 0; k < r->actions().size(); ++k) {
        if (r->actions()[k].kind != replay::ActionKind::Move) continue;
        r->jumpToAction(k);
        std::string atDrop = tableStateText(r->game());
        r->showAction(k);
        const std::string shown = tableStateText(r->game());
        EXPECT_EQ(shown.find("gliding"), std::string::npos) << "action " << k << "\n" << shown;
        // The card that glided is at the place it glided to; the others as they were.
        for (size_t at; (at = atDrop.find("gliding to ")) != std::string::npos;) atDrop.replace(at, 11, "at ");
        EXPECT_EQ(lines(shown, "card "), lines(atDrop, "card ")) << "action " << k;
        if (k + 1 < r->actions().size()) {
            EXPECT_LE(r->nowMs(), r->actions()[k + 1].atMs);
        }
        EXPECT_EQ(r->actionsApplied(), k + 1);
        ++swaps;
    }
    EXPECT_GT(swaps, 2);
    EXPECT_EQ(problemsText(*r), "");
}

}  // namespace
