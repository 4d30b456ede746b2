// verify on logs the engine wrote: clean logs pass, logs cut at any line are
// sessions that ended early, and a byte changed at any of the chosen places
// is found.

#include <gtest/gtest.h>

#include "tool/LogMaking.h"
#include "tool/logs/LogCommandLine.h"
#include "tool/logs/Verify.h"

using namespace qbx::tool;
using namespace qbx::tool::test;
using namespace qbx::tool::logs;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        out.push_back(text.substr(at, end - at + 1));
        at = end + 1;
    }
    return out;
}

std::string firstLines(const std::vector<std::string>& all, size_t count) {
    std::string text;
    for (size_t i = 0; i < count && i < all.size(); ++i) text += all[i];
    return text;
}

PairVerdict verifyPair(const fs::path& ck, const fs::path& nk, const GameSetup* setup = nullptr) {
    LogFolder folder;
    LogPair pair;
    pair.name = *qbx::parseLogName(ck.filename().string());
    pair.ckPath = ck.string();
    pair.nkPath = nk.string();
    folder.pairs.push_back(pair);
    VerifyResult result = verifyLogs(folder, {setup});
    return result.pairs.front();
}

std::string describe(const PairVerdict& v) {
    std::string text;
    for (const SessionFault& f : v.firstOfEachKind)
        text += f.file + ":" + std::to_string(f.line) + " " + faultKindText(f.kind) + ": " + f.what + "\n";
    return text;
}

class VerifyLogs : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    fs::path ck = dataout / "ck071226_1.txt", nk = dataout / "nk071226_1.txt";
    void SetUp() override {
        copyMixGame(dataout);
        writeMixSetup(tmp.path() / "setup");
    }
};

TEST_F(VerifyLogs, LogsTheEngineWroteAreWholeWithAndWithoutTheirSetup) {
    playScriptedGame(dataout, 12, 7, "071226_2");
    fs::copy_file(std::string(QBX_TEST_DATA) + "/circular_game_ck.txt", dataout / "ck071226_3.txt");
    fs::copy_file(std::string(QBX_TEST_DATA) + "/circular_game_nk.txt", dataout / "nk071226_3.txt");
    const VerifyResult plain = verifyLogs(findLogs(dataout.string()), {});
    ASSERT_EQ(plain.pairs.size(), 3u);
    for (const PairVerdict& v : plain.pairs) {
        EXPECT_FALSE(v.faulty()) << describe(v);
        EXPECT_TRUE(v.session.gameEnded);
    }
    // Sessions come in the order of their first records' times.
    auto session = [&](const std::string& suffix) -> const Session& {
        for (const PairVerdict& v : plain.pairs)
            if (v.pair.name.suffix == suffix) return v.session;
        ADD_FAILURE() << "no session " << suffix;
        return plain.pairs.front().session;
    };
    EXPECT_EQ(session("071226_1").handsPlayed(), 5);
    EXPECT_EQ(session("071226_2").handsPlayed(), 12);
    EXPECT_TRUE(session("071226_3").crossesMidnight);  // not reported as time going back

    const GameSetup setup = *logs::setupFromOption((tmp.path() / "setup").string());
    const PairVerdict mix = verifyPair(ck, nk, &setup);
    EXPECT_FALSE(mix.faulty()) << describe(mix);
    // Hand 4 ended two ways at once, on its eighth action.
    EXPECT_EQ(mix.session.hands[3].endCodes(), "GP+GM");
    EXPECT_EQ(mix.session.hands[0].goal, "2H");
    EXPECT_EQ(mix.session.hands[1].opener, "nk");
}

TEST_F(VerifyLogs, TheWrongSetupIsNamed) {
    // The session's setup but for its premium.
    writeFile(tmp.path() / "setup" / "QBXParameter.ini",
              qbx::test::parameterFile(
                  {{"ViewCard", "MIX"}, {"ViewCkNk", "FALSE"}, {"MaxRounds", "8"}, {"PremiumRound", "2000"}}));
    const GameSetup setup = *logs::setupFromOption(tmp.path().string());  // the working folder works too
    const PairVerdict v = verifyPair(ck, nk, &setup);
    ASSERT_TRUE(v.faulty());
    EXPECT_EQ(v.firstOfEachKind.front().kind, SessionFaultKind::Score) << describe(v);
    EXPECT_EQ(v.firstOfEachKind.front().line, 24);
}

TEST_F(VerifyLogs, LogsCutAtAnyLineEndedEarlyAndAreNotCorrupt) {
    const auto ckLines = lines(readFile(ck)), nkLines = lines(readFile(nk));
    const fs::path cutCk = dataout / "ck071226_9.txt", cutNk = dataout / "nk071226_9.txt";
    for (size_t n = 1; n < ckLines.size(); ++n) {
        // The ColorKeeper's log cut, the other whole; then both cut.
        writeFile(cutCk, firstLines(ckLines, n));
        for (size_t m : {nkLines.size(), n, n > 3 ? n - 3 : n}) {
            writeFile(cutNk, firstLines(nkLines, m));
            const PairVerdict v = verifyPair(cutCk, cutNk);
            EXPECT_FALSE(v.faulty()) << "cut after line " << n << " and " << m << "\n" << describe(v);
            EXPECT_FALSE(v.session.gameEnded) << n;
            EXPECT_NE(endingText(v.session).find("ended early"), std::string::npos);
        }
        writeFile(cutNk, firstLines(nkLines, n));
        const PairVerdict swapped = verifyPair(dataout / "ck071226_1.txt", cutNk);
        EXPECT_FALSE(swapped.faulty()) << "NumberKeeper cut after line " << n << "\n" << describe(swapped);
    }
}

TEST_F(VerifyLogs, EveryByteChangedAtTheChosenPlacesIsFound) {
    const std::string ckText = readFile(ck), nkText = readFile(nk);
    const auto ckLines = lines(ckText), nkLines = lines(nkText);
    const GameSetup setup = *logs::setupFromOption((tmp.path() / "setup").string());
    // Lines of both logs, 1-based: the header, a deal, a look, a pick-up,
    // moves, passes, a hand end's counts and score, the game's end.
    struct Place {
        bool inCk;
        size_t line;
        size_t from = 0;  // first byte of the line to change
    };
    const Place places[] = {{true, 1},  {true, 3},      {false, 3},      {true, 5},      {true, 7},      {false, 10},
                            {true, 12}, {true, 13},     {true, 14},      {false, 13},    {true, 15},     {false, 15},
                            {true, 21}, {true, 24, 20}, {false, 22, 20}, {true, 67, 20}, {true, 76, 20}, {true, 78},
                            {true, 79}, {true, 80},     {false, 75},     {false, 76}};
    fs::path badCk = dataout / "ck071226_8.txt", badNk = dataout / "nk071226_8.txt";
    int tried = 0;
    for (const Place& p : places) {
        const auto& all = p.inCk ? ckLines : nkLines;
        ASSERT_LT(p.line - 1, all.size());
        size_t offset = 0;
        for (size_t i = 0; i + 1 < p.line; ++i) offset += all[i].size();
        const std::string& original = p.inCk ? ckText : nkText;
        for (size_t at = p.from; at < all[p.line - 1].size(); ++at) {
            for (char change : {char(all[p.line - 1][at] ^ 1), 'x'}) {
                if (change == all[p.line - 1][at]) continue;
                std::string bad = original;
                bad[offset + at] = change;
                writeFile(badCk, p.inCk ? bad : ckText);
                writeFile(badNk, p.inCk ? nkText : bad);
                const PairVerdict v = verifyPair(badCk, badNk, &setup);
                EXPECT_TRUE(v.faulty()) << (p.inCk ? "ck" : "nk") << " line " << p.line << " byte " << at
                                        << " changed to '" << change << "':\n"
                                        << all[p.line - 1];
                ++tried;
            }
        }
    }
    EXPECT_GT(tried, 1500);
}

TEST_F(VerifyLogs, TimeGoingBackAndLinesOutOfPlaceAreNamedWithTheirLine) {
    auto ckLines = lines(readFile(ck));
    std::swap(ckLines[12], ckLines[14]);  // the look after the pass that followed it
    std::string text;
    for (const auto& l : ckLines) text += l;
    writeFile(ck, text);
    const PairVerdict v = verifyPair(ck, nk);
    ASSERT_TRUE(v.faulty());
    bool order = false;
    for (const SessionFault& f : v.firstOfEachKind)
        if (f.kind == SessionFaultKind::StampOrder) order = f.line == 14;
    EXPECT_TRUE(order) << describe(v);
}

// The deal and move checks compare cards and places as the log writes them:
// a card dealt twice, a card sent to the wrong place and a pick-up of a card
// that is not there are each named, with their line.
TEST_F(VerifyLogs, ADealOrPickUpThatDoesNotFitTheTableIsNamedWithItsLine) {
    const std::string ckText = readFile(ck), nkText = readFile(nk);
    // Changes the n-th line (from 0) holding `marker` in `text`: `from` becomes `to` there.
    auto change = [](const std::string& text, const std::string& marker, int n, const std::string& from,
                     const std::string& to, long& lineNumber) {
        auto all = lines(text);
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i].find(marker) == std::string::npos || n-- > 0) continue;
            const size_t at = all[i].find(from, all[i].find(marker));
            EXPECT_NE(at, std::string::npos) << all[i];
            if (at != std::string::npos) all[i].replace(at, from.size(), to);
            lineNumber = static_cast<long>(i + 1);
            break;
        }
        std::string out;
        for (const auto& l : all) out += l;
        return out;
    };
    auto cardOf = [&](int n, const std::string& marker) {  // the card after the marker on its n-th line
        for (const auto& l : lines(ckText))
            if (l.find(marker) != std::string::npos && n-- == 0) return l.substr(l.find(marker) + marker.size(), 2);
        return std::string();
    };
    auto placeOf = [&](int n) {  // the place of the n-th card dealt
        for (const auto& l : lines(ckText))
            if (l.find("GC:") != std::string::npos && n-- == 0) {
                const size_t from = l.find(';') + 1;
                return l.substr(from, l.find(':', from) - from);
            }
        return std::string();
    };
    struct Case {
        std::string marker;
        int n;
        std::string from, to, kind, what;
    };
    const std::string first = cardOf(0, "GC:"), second = cardOf(1, "GC:"), third = placeOf(2);
    const std::string pickedUp = cardOf(0, "pR:");
    ASSERT_FALSE(first.empty() || second.empty() || third.empty() || pickedUp.empty());
    const std::string other = pickedUp[0] == '2' ? "3" + pickedUp.substr(1) : "2" + pickedUp.substr(1);
    const std::string elsewhere = third == "targetCardView" ? "upCardView" : "targetCardView";
    const Case cases[] = {
        {"GC:", 1, second, first, "deal", "the card " + first + " is dealt twice in one hand"},
        {"GC:", 2, third, elsewhere, "deal", "card 3 of a deal goes to " + third + ", not " + elsewhere},
        {"pR:", 0, "pR:" + pickedUp, "pR:" + other, "move", "the card picked up, " + other + ", does not lie at "},
    };
    for (const Case& c : cases) {
        long lineNumber = 0;
        writeFile(ck, change(ckText, c.marker, c.n, c.from, c.to, lineNumber));
        long nkLine = 0;
        writeFile(nk, c.marker == "GC:" ? change(nkText, c.marker, c.n, c.from, c.to, nkLine) : nkText);
        const PairVerdict v = verifyPair(ck, nk);
        bool named = false;
        for (const SessionFault& f : v.firstOfEachKind)
            if (f.file == ck.string() && faultKindText(f.kind) == c.kind)
                named = f.line == lineNumber && f.what.find(c.what) != std::string::npos;
        EXPECT_TRUE(named) << c.what << "\n" << describe(v);
    }
}

}  // namespace

// Two records that mirror each other name the same cards at the same places:
// a card or a place that differs in one log is where the logs part, named
// with the ColorKeeper's line. Places of one length (numberCardView and
// targetCardView) are told apart too.
TEST_F(VerifyLogs, AMirrorWithAnotherCardOrPlaceIsWhereTheLogsPart) {
    const std::string nkText = readFile(nk);
    struct Change {
        const char* from;  // in the NumberKeeper's log
        const char* to;
        long ckLine;  // the ColorKeeper's line it mirrors
    };
    const Change changes[] = {
        {"RM:2C;upCardView;2H", "RM:3C;upCardView;2H", 14},            // the first card
        {"RM:2C;upCardView;2H", "RM:2C;targetCardView;2H", 14},        // the first place
        {"RM:2C;upCardView;2H;", "RM:2C;upCardView;2C;", 14},          // the second card's colour
        {"3C;numberCardView:Number", "3C;targetCardView:Number", 19},  // a place of the same length
    };
    for (const Change& c : changes) {
        std::string text = nkText;
        const size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, std::string(c.from).size(), c.to);
        writeFile(nk, text);
        const PairVerdict v = verifyPair(ck, nk);
        bool parted = false;
        for (const SessionFault& f : v.firstOfEachKind)
            if (f.kind == SessionFaultKind::Mirror)
                parted = f.line == c.ckLine && f.what.find("the cards or places differ") != std::string::npos;
        EXPECT_TRUE(parted) << c.to << "\n" << describe(v);
    }
}
