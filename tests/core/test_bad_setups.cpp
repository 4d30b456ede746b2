// A catalogue of broken setups an experimenter can hand the program, each
// with what the program must then do: the message shown, whether the start
// goes on, what reaches dataout. Complements test_game_start.cpp, which
// holds the basic cases (no dataout, no shoe, faulty shoe lines, whole
// numbers that are no numbers, a back file that is no bitmap).

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "support/BadSetups.h"
#include "support/FakeDesktop.h"

using namespace qbx;
using namespace qbx::test;

namespace fs = std::filesystem;

namespace {

const char* kShoe = "deals\r\n4C 2H 2C 3H 4H 3C 2H ck\r\n2H 3C 4H 2C 3H 4C 3H nk\r\n";
const std::string kMaxRoundsEmpty = "'' is not a valid integer value (MaxRounds in setup/QBXParameter.ini).";

std::string garbage(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// A 24-bit bottom-up bitmap filled with one colour.
std::string bitmap24(int width, int height) {
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3U;
    std::string s = "BM";
    put32(s, 54 + rowBytes * static_cast<uint32_t>(height));
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<uint32_t>(width));
    put32(s, static_cast<uint32_t>(height));
    put16(s, 1);
    put16(s, 24);
    for (int i = 0; i < 6; ++i) put32(s, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) row += "\x20\x40\x80";
        row.resize(rowBytes, '\0');
        s += row;
    }
    return s;
}

struct BadSetup : ::testing::Test {
    WorkDir dir;
    Session s;
    void SetUp() override {
        writeSetup(dir, kShoe);
        s.clock.set("09:00:00.000");
    }
    void parameters(const std::vector<std::pair<std::string, std::string>>& overrides) {
        dir.write("setup/QBXParameter.ini", parameterFile(overrides));
    }
    void makeDirectory(const std::string& relativePath) {
        fs::remove(relativePath);
        fs::create_directories(relativePath);
    }
    std::vector<std::string> logs() const { return dir.logs(); }
    std::vector<std::string> log(const char* role) const {
        for (const std::string& name : logs())
            if (name.rfind(role, 0) == 0) return splitLines(dir.read("dataout/" + name));
        return {};
    }
    // The game started normally: no message, the first deal armed.
    void expectStarted() {
        EXPECT_TRUE(s.platform.messages.empty()) << s.platform.messages.front();
        EXPECT_FALSE(s.platform.terminated);
        EXPECT_TRUE(s.game.timerRunning(TimerId::DealWait));
        EXPECT_EQ(logs().size(), 2u);
    }
    // The start was refused with one message and nothing was written.
    void expectRefusedWithoutLogs(const std::string& message) {
        EXPECT_EQ(s.platform.messages, std::vector<std::string>{message});
        EXPECT_TRUE(s.platform.terminated);
        EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait));
        EXPECT_TRUE(logs().empty());
    }
    // Plays the first hand to its end with four passes.
    void passFourTimes() {
        for (int i = 0; i < 4; ++i) s.pass();
    }
};

// ---- The parameter file ---------------------------------------------------

TEST_F(BadSetup, EmptyParameterFileIsLikeNoFile) {
    dir.write("setup/QBXParameter.ini", "");
    s.game.startGame("P7   ");
    expectRefusedWithoutLogs(kMaxRoundsEmpty);
}

TEST_F(BadSetup, ParameterFileThatIsADirectoryIsReportedThenTheStartStopsAtMaxRounds) {
    makeDirectory(inWorkDir("setup/QBXParameter.ini"));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages, (std::vector<std::string>{kParameterReadError, kMaxRoundsEmpty}));
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_TRUE(logs().empty());
    // Nothing was read: the fields keep what they held before.
    EXPECT_EQ(s.game.parameters().fileTexture, "");
    EXPECT_EQ(s.game.parameters().fileMessages, "");
}

TEST_F(BadSetup, BinaryGarbageAsParameterFileGivesNoKeys) {
    dir.write("setup/QBXParameter.ini", garbage(4096, 1));
    s.game.startGame("P7   ");
    expectRefusedWithoutLogs(kMaxRoundsEmpty);
}

TEST_F(BadSetup, KeysBeforeAnySectionOrInAnotherSectionAreNotRead) {
    dir.write("setup/QBXParameter.ini", "MaxRounds=5\r\n[PARAMETERS]\r\nMaxRounds=5\r\n");
    s.game.startGame("P7   ");
    expectRefusedWithoutLogs(kMaxRoundsEmpty);
}

TEST_F(BadSetup, WholeNumbersInOtherNotationsAreRefusedForEachKey) {
    for (const char* key : {"MaxRounds", "PremiumRound", "CostMove"}) {
        for (const char* value : {"5.0", "0x10", "1e3", "+", "-", "1 000", "fifty", "2147483648", "\xef\xbc\x95"}) {
            WorkDir run;
            Session start;
            run.write("setup/QBXParameter.ini", parameterFile({{key, value}}));
            run.write("setup/messages.ini", englishCatalogue());
            run.write("setup/shoe.txt", kShoe);
            start.game.startGame("P7   ");
            EXPECT_EQ(start.platform.messages,
                      std::vector<std::string>{std::string("'") + value + "' is not a valid integer value (" + key +
                                               " in setup/QBXParameter.ini)."})
                << key << "=" << value;
            EXPECT_TRUE(start.platform.terminated);
            EXPECT_TRUE(run.list("dataout").empty());
        }
    }
}

TEST_F(BadSetup, WholeNumbersWithBlanksQuotesSignsAndLimitsAreAccepted) {
    parameters({{"MaxRounds", "  \"+7\"  "}, {"PremiumRound", "-2147483648"}, {"CostMove", "'2147483647'"}});
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.rules().maxRounds, 7);
    EXPECT_EQ(s.game.rules().premiumRound, INT32_MIN);
    EXPECT_EQ(s.game.rules().costMove, INT32_MAX);
}

TEST_F(BadSetup, ExtremePremiumAndCostWrapLikeThe32BitScoreWithoutOverflow) {
    parameters({{"MaxRounds", "1"}, {"PremiumRound", "-2147483648"}, {"CostMove", "2147483647"}});
    s.game.startGame("P7   ");
    s.untilHandInPlay();
    s.pass();  // one pass reaches the limit: -2^31 - (2^31 - 1) wraps to 1
    const auto ck = log("ck");
    ASSERT_GE(ck.size(), 2u);
    EXPECT_EQ(ck[ck.size() - 2].substr(ck[ck.size() - 2].find("GM:")), "GM:1;0.5:Hand Ended");
}

TEST_F(BadSetup, ZeroOrNegativeMaxRoundsEndsEachHandAtItsFirstAction) {
    for (const char* limit : {"0", "-3"}) {
        WorkDir run;
        Session play;
        run.write("setup/QBXParameter.ini", parameterFile({{"MaxRounds", limit}}));
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", kShoe);
        play.game.startGame("P7   ");
        play.untilHandInPlay();
        play.pass();
        EXPECT_EQ(play.platform.messages, std::vector<std::string>{"Too many moves: the hand is over"}) << limit;
        EXPECT_FALSE(play.game.progress().handInPlay);
        EXPECT_EQ(play.game.progress().handNumber, 2);
    }
}

TEST_F(BadSetup, ViewCardMissingOrOfAnotherWordNeverHandsTheTurnOverAfterASwap) {
    for (const char* word : {"SOMETIMES", "", "ALL "}) {  // "" drops the key; "ALL " is trimmed to ALL
        WorkDir run;
        Session play;
        run.write("setup/QBXParameter.ini", parameterFile({{"ViewCard", word}}));
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", kShoe);
        play.game.startGame("P7   ");
        play.untilHandInPlay();
        ASSERT_EQ(turnOf(play.game), "ck");
        play.drag(upCardView, colorCardView);
        play.settle();
        EXPECT_EQ(play.game.hand().counters.handMoves, 1) << word;
        EXPECT_FALSE(play.game.hand().handOverPending) << word;
        EXPECT_EQ(turnOf(play.game), std::string(word) == "ALL " ? "nk" : "ck") << word;
        play.pass();  // a pass always hands the turn over
        EXPECT_EQ(turnOf(play.game), std::string(word) == "ALL " ? "ck" : "nk") << word;
    }
}

TEST_F(BadSetup, ParXAsAWordIsZero) {
    parameters({{"parX", "abc"}, {"parY", "12abc"}});
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.parameters().parX, 0);
    EXPECT_EQ(s.game.parameters().parY, 0);
    s.untilHandInPlay();
    // With no shift the anchor is the middle of the 1024 x 768 screen.
    EXPECT_EQ(s.game.placeX(colorCardView), 512);
    EXPECT_EQ(s.game.placeY(colorCardView), 384);
}

TEST_F(BadSetup, TableFarOffTheScreenStillPlaysWithoutOverflow) {
    for (const char* shift : {"2000000000", "-2000000000", "2147483647", "-2147483648"}) {
        WorkDir run;
        Session play;
        run.write("setup/QBXParameter.ini", parameterFile({{"parX", shift}, {"parY", shift}}));
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", kShoe);
        play.game.startGame("P7   ");
        play.untilHandInPlay();
        ASSERT_TRUE(play.game.progress().handInPlay) << shift;
        const bool left = shift[0] != '-';
        for (int p = 0; p <= deckPosition; ++p) {
            EXPECT_EQ(play.game.placeX(p) < 0, left) << shift;
            EXPECT_EQ(play.game.placeY(p) < 0, left) << shift;
        }
        // A swap and the passes still work at those coordinates.
        play.drag(upCardView, colorCardView);
        play.settle();
        EXPECT_EQ(play.game.hand().counters.handMoves, 1) << shift;
        for (int i = 0; i < 4; ++i) play.pass();
        EXPECT_EQ(play.game.progress().handNumber, 2) << shift;
    }
}

TEST_F(BadSetup, ValuesOf3000CharactersAreCutTo2047) {
    const std::string longWord(3000, 'x');
    parameters({{"ViewCard", longWord}, {"FileBackCard", longWord}, {"File Texture", longWord}});
    s.game.startGame("P7   ");
    expectStarted();  // a back and a texture that cannot exist: the built-in back, no background
    EXPECT_EQ(s.game.parameters().viewCard, std::string(2047, 'X'));
    EXPECT_EQ(s.game.parameters().fileBackCard.size(), 2047u);
    EXPECT_EQ(s.game.cardBack(), nullptr);
    EXPECT_FALSE(s.game.table()[Ctl::Background].visible);
}

TEST_F(BadSetup, ShoeFileNameOf3000CharactersIsReportedWithTheCutName) {
    parameters({{"ShoeFileName", std::string(3000, 's')}});
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages,
              std::vector<std::string>{"I do not find the the shoefile setup/" + std::string(2047, 's')});
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(log("ck").size(), 5u);
}

TEST_F(BadSetup, MaxRoundsOf3000DigitsIsNoNumber) {
    parameters({{"MaxRounds", std::string(3000, '7')}});
    s.game.startGame("P7   ");
    expectRefusedWithoutLogs("'" + std::string(2047, '7') +
                             "' is not a valid integer value (MaxRounds in "
                             "setup/QBXParameter.ini).");
}

// ---- The message catalogue -------------------------------------------------

TEST_F(BadSetup, MissingCatalogueBlanksTheTextsAndTheGameEndsWithAnEmptyBox) {
    parameters({{"FileMessages", "nothere.ini"}});
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.table()[Ctl::PassButton].caption, "");
    EXPECT_EQ(s.game.table()[Ctl::CkTurnIndicator].caption, "");
    s.untilHandInPlay();
    passFourTimes();
    s.untilHandInPlay();
    passFourTimes();
    s.settle();
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(s.platform.messages, (std::vector<std::string>{"", "", ""}));  // two hands ended by passes, game end
}

TEST_F(BadSetup, EmptyCatalogueFileOrNameGivesBlankTextsWithoutAMessage) {
    for (const char* name : {"empty.ini", ""}) {
        WorkDir run;
        Session start;
        run.write("setup/QBXParameter.ini", parameterFile({{"FileMessages", name}}));
        run.write("setup/empty.ini", "");
        run.write("setup/shoe.txt", kShoe);
        start.game.startGame("P7   ");
        EXPECT_TRUE(start.platform.messages.empty()) << name;
        EXPECT_TRUE(start.game.timerRunning(TimerId::DealWait)) << name;
        EXPECT_EQ(start.game.table()[Ctl::TargetCaption].caption, "") << name;
    }
}

TEST_F(BadSetup, CatalogueThatIsADirectoryIsReportedAndTheStartGoesOn) {
    makeDirectory(inWorkDir("setup/messages.ini"));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{kMessagesReadError});
    EXPECT_FALSE(s.platform.terminated);
    EXPECT_TRUE(s.game.timerRunning(TimerId::DealWait));
    EXPECT_EQ(s.game.table()[Ctl::PassButton].caption, "");
    s.untilHandInPlay();
    EXPECT_TRUE(s.game.progress().handInPlay);
}

TEST_F(BadSetup, BinaryGarbageAsCatalogueShowsNoTexts) {
    dir.write("setup/messages.ini", garbage(4096, 2));
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.table()[Ctl::HelpButton].caption, "");
    EXPECT_EQ(s.game.texts().msgGameEnded, "");
}

TEST_F(BadSetup, CatalogueTextOf3000CharactersShowsItsFirst2047) {
    dir.write("setup/messages.ini", "[BUTTON]\nStep=" + std::string(3000, 'p') + "\n");
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.table()[Ctl::PassButton].caption, std::string(2047, 'p'));
}

// ---- The shoe file ------------------------------------------------------------

TEST_F(BadSetup, ShoeFileThatIsADirectoryIsReported) {
    makeDirectory(inWorkDir("setup/shoe.txt"));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"I do not find the the shoefile setup/shoe.txt"});
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait));
}

TEST_F(BadSetup, AShoeWithoutHandsIsRefusedAtTheStartWithNoLogLeft) {
    // Empty, a header alone with or without its line end, blank lines only,
    // and the same with lone CRs.
    for (const char* shoe : {"", "deals", "deals\r\n", "deals\n\n  \r\n", "deals\r\r \t\r", "\r\n"}) {
        WorkDir run;
        Session play;
        run.write("setup/QBXParameter.ini", parameterFile());
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", shoe);
        play.game.startGame("P7   ");
        play.settle();
        EXPECT_EQ(play.platform.messages,
                  std::vector<std::string>{"The shoe file setup/shoe.txt cannot be played: it holds no hands."})
            << testing::PrintToString(std::string(shoe));
        EXPECT_TRUE(play.platform.terminated);
        EXPECT_FALSE(play.game.timerRunning(TimerId::DealWait));
        EXPECT_TRUE(run.list("dataout").empty());
    }
}

TEST_F(BadSetup, AShoeWithLoneCarriageReturnsPlaysEveryHand) {
    // An old Mac editor ends its lines in a lone CR, the last one too or not.
    for (const char* shoe : {"deals\r4C 2H 2C 3H 4H 3C 2H ck\r2H 3C 4H 2C 3H 4C 3H nk\r3H 4C 2C 2H 4H 3C 3C ck",
                             "deals\r4C 2H 2C 3H 4H 3C 2H ck\r\r2H 3C 4H 2C 3H 4C 3H nk\r3H 4C 2C 2H 4H 3C 3C ck\r"}) {
        Session play;
        dir.write("setup/shoe.txt", shoe);
        play.game.startGame("P7   ");
        EXPECT_TRUE(play.platform.messages.empty());
        ASSERT_EQ(play.game.shoe().size(), 3u);
        EXPECT_EQ(play.game.shoe().header(), "deals");
        play.untilHandInPlay();
        ASSERT_TRUE(play.game.progress().handInPlay);
        EXPECT_EQ(play.cardTextAt(downColorCardView), "4C");
        EXPECT_EQ(play.cardTextAt(numberCardView), "3C");
        EXPECT_EQ(turnOf(play.game), "ck");
    }
    // Its faults are named at the lines such an editor shows.
    Session faulty;
    dir.write("setup/shoe.txt", "deals\r4C 2H 2C 3H 4H 3C 2H ck\r\r2H 3C 4H");
    faulty.game.startGame("P7   ");
    EXPECT_EQ(faulty.platform.messages,
              std::vector<std::string>{
                  "The shoe file setup/shoe.txt cannot be played: line 4 has 6 significant characters instead of 16."});
}

TEST_F(BadSetup, ACarriageReturnInsideALineOfAnLfFileIsSkippedLikeAnyOtherCharacter) {
    // Every character that is not significant is skipped wherever it
    // stands: a CR within a line too, once the file ends its lines in LF.
    dir.write("setup/shoe.txt", "deals\r\n2H 3C 4H\r2C 3H 4C 3H ck\r\n\r4C 2H 2C 3H 4H 3C 2H nk\r\r\n");
    s.game.startGame("P7   ");
    EXPECT_TRUE(s.platform.messages.empty());
    ASSERT_EQ(s.game.shoe().size(), 2u);
    EXPECT_EQ(s.game.shoe().header(), "deals");
    s.untilHandInPlay();
    ASSERT_TRUE(s.game.progress().handInPlay);
    EXPECT_EQ(s.cardTextAt(downColorCardView), "2H");
    EXPECT_EQ(s.cardTextAt(colorCardView), "3C");
    EXPECT_EQ(s.cardTextAt(targetCardView), "2C");
    EXPECT_EQ(s.cardTextAt(numberCardView), "4C");
    EXPECT_EQ(turnOf(s.game), "ck");

    // Mixed line ends: the LF ends lines, so the header takes in what
    // stands before its first LF, and fault line numbers count LFs.
    Session mixed;
    dir.write("setup/shoe.txt", "deals\r4C 2H 2C 3H 4H 3C 2H ck\r2H 3C 4H 2C 3H 4C 3H nk\r\n3H 4C 2C 2H 4H 3C 3C ck");
    mixed.game.startGame("P7   ");
    EXPECT_TRUE(mixed.platform.messages.empty());
    EXPECT_EQ(mixed.game.shoe().size(), 1u);
    Session faulty;
    dir.write("setup/shoe.txt", "deals\n4C 2H 2C 3H 4H 3C 2H ck\r\r\n2H 3C\r4H\n");
    faulty.game.startGame("P7   ");
    EXPECT_EQ(faulty.platform.messages,
              std::vector<std::string>{
                  "The shoe file setup/shoe.txt cannot be played: line 3 has 6 significant characters instead of 16."});
}

TEST(ShoeLines, EachLineWithItsPlaceAndItsLineEndMakesUpTheWholeText) {
    for (const std::string text : {"h\r\na\rb\n\nc", "h\ra\r\rb", "h\r\r\n\r\n", "h", "\n", "h\rx\n", "a\r\n\r\r\n"}) {
        const std::vector<ShoeTextLine> lines = shoeLines(text);
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].lineNumber, static_cast<int>(i) + 1);
            EXPECT_EQ(lines[i].start, joined.size()) << testing::PrintToString(text);
            joined += lines[i].text + lines[i].lineEnd;
        }
        EXPECT_EQ(joined, text);
        EXPECT_EQ(shoeHandLines(text).size(), lines.size() - 1);
    }
    const auto lf = shoeLines("h\r\na\rb\n\nc");
    ASSERT_EQ(lf.size(), 4u);
    EXPECT_EQ(lf[0].lineEnd, "\r\n");
    EXPECT_EQ(lf[1].text, "a\rb");
    EXPECT_EQ(lf[3].lineEnd, "");
    const auto cr = shoeLines("h\ra\r\rb");
    ASSERT_EQ(cr.size(), 4u);
    EXPECT_EQ(cr[2].text, "");
    EXPECT_EQ(cr[2].lineEnd, "\r");
    EXPECT_TRUE(shoeLines("").empty());
}

TEST_F(BadSetup, BinaryGarbageAsShoeIsRefusedBeforeAnyLog) {
    dir.write("setup/shoe.txt", "deals\n" + garbage(4096, 3));
    s.game.startGame("P7   ");
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_EQ(s.platform.messages[0].rfind("The shoe file setup/shoe.txt cannot be played: line ", 0), 0u);
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_TRUE(logs().empty());
}

TEST_F(BadSetup, FaultyLinesOfEveryOtherKindAreNamed) {
    const std::pair<std::string, std::string> cases[] = {
        {"5H 2H 2C 3H 4H 3C 2H ck", "line 2 has 15 significant characters instead of 16"},  // 5 is no card digit
        {"4C 2H 2C 3H 4H 3C 5H ck", "line 2 has 15 significant characters instead of 16"},
        {"4c 2H 2C 3H 4H 4C 2H ck", "line 2 names the card 4C twice"},  // any letter but H is clubs
        {"4C 2H 2C 3H 4H 3C 22 ck", "line 2: the goal card has a number where its colour letter belongs"},
        {"4C 2H 2C 3H 4H 3C 2H", "line 2 has 14 significant characters instead of 16"},
        {"4C 2H 2C 3H 4H 3C 2H ck " + std::string(100000, 'k'), "line 2 has more than 16 significant characters"},
        {"kc 2H 2C 3H 4H 3C 2H ck", "line 2: card 1 does not begin with a number 2, 3 or 4"},
    };
    for (const auto& [line, fault] : cases) {
        Session run;
        dir.write("setup/shoe.txt", "deals\n" + line);  // the last line needs no line end
        run.game.startGame("P7   ");
        EXPECT_EQ(run.platform.messages,
                  std::vector<std::string>{"The shoe file setup/shoe.txt cannot be played: " + fault + "."})
            << line.substr(0, 40);
        EXPECT_TRUE(logs().empty());
    }
}

TEST_F(BadSetup, AnyLetterButHIsClubsAndTheCardIsLoggedAsWritten) {
    dir.write("setup/shoe.txt", "deals\n4n 2H 2k 3H 4H 3c 2H ck\n");
    s.game.startGame("P7   ");
    s.untilHandInPlay();
    ASSERT_TRUE(s.game.progress().handInPlay);
    EXPECT_EQ(s.cardTextAt(downColorCardView), "4C");
    EXPECT_EQ(s.cardTextAt(numberCardView), "3C");
    const auto ck = log("ck");
    EXPECT_NE(ck[5].find("GC:3c;numberCardView:Card dealt"), std::string::npos) << ck[5];
    EXPECT_NE(ck[8].find("GC:4n;downColorCardView:Card dealt"), std::string::npos) << ck[8];
}

TEST_F(BadSetup, AShoeOf100000HandsLoadsAndDealsItsFirstHand) {
    std::string shoe = "deals\r\n";
    shoe.reserve(2600000);
    for (int i = 0; i < 100000; ++i) shoe += i % 2 ? "2H 3C 4H 2C 3H 4C 3H nk\r\n" : "4C 2H 2C 3H 4H 3C 2H ck\r\n";
    dir.write("setup/shoe.txt", shoe);
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.shoe().size(), 100000u);
    s.untilHandInPlay();
    ASSERT_TRUE(s.game.progress().handInPlay);
    EXPECT_EQ(s.cardTextAt(colorCardView), "2H");
    EXPECT_EQ(turnOf(s.game), "ck");
}

TEST_F(BadSetup, AFaultAfter100000GoodHandsIsStillFoundAtTheStart) {
    std::string shoe = "deals\n";
    for (int i = 0; i < 100000; ++i) shoe += "4C 2H 2C 3H 4H 3C 2H ck\n";
    dir.write("setup/shoe.txt", shoe + "4C 2H 2C 3H 4H 3C 2H c\n");
    s.game.startGame("P7   ");
    expectRefusedWithoutLogs(
        "The shoe file setup/shoe.txt cannot be played: line 100002 has 15 significant characters instead of 16.");
}

// ---- The card back and the background picture ----------------------------------

TEST_F(BadSetup, BackPicturesOfAnySizeAreUsedAsTheyAre) {
    for (auto [w, h] : {std::pair{75, 107}, std::pair{100, 150}, std::pair{1, 1}}) {
        Session start;
        dir.write("setup/back.bmp", bitmap24(w, h));
        start.game.startGame("P7   ");
        EXPECT_TRUE(start.platform.messages.empty()) << w << "x" << h;
        ASSERT_NE(start.game.cardBack(), nullptr) << w << "x" << h;
        EXPECT_EQ(start.game.cardBack()->width, w);
        EXPECT_EQ(start.game.cardBack()->height, h);
        EXPECT_EQ(start.game.cardBack()->pixels.front(), 0xFF804020u);
        EXPECT_TRUE(start.game.timerRunning(TimerId::DealWait));
    }
}

TEST_F(BadSetup, BackFilesOfNoPictureFormatStopTheStartAfterTheHeader) {
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (const std::string& content : {std::string(), png, garbage(2048, 4), std::string("GIF89a")}) {
        Session start;
        dir.write("setup/back.bmp", content);
        start.game.startGame("P7   ");
        ASSERT_EQ(start.platform.messages.size(), 1u);
        EXPECT_EQ(start.platform.messages[0].rfind("The card back ./setup/back.bmp is not a readable bitmap (", 0), 0u);
        EXPECT_TRUE(start.platform.terminated);
        EXPECT_FALSE(start.game.timerRunning(TimerId::DealWait));
    }
}

TEST_F(BadSetup, ABitmapCutShortIsRefused) {
    std::string back = bitmap24(75, 107);
    back.pop_back();
    dir.write("setup/back.bmp", back);
    s.game.startGame("P7   ");
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_EQ(s.platform.messages[0].rfind("The card back ./setup/back.bmp is not a readable bitmap (", 0), 0u);
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(log("ck").size(), 5u);  // the header and the game start are kept
}

TEST_F(BadSetup, BackFileThatIsADirectoryOrMissingGivesTheBuiltInBack) {
    makeDirectory(inWorkDir("setup/back.bmp"));
    s.game.startGame("P7   ");
    expectStarted();
    EXPECT_EQ(s.game.cardBack(), nullptr);
    // With no FileBackCard key the name is the setup directory itself.
    Session noKey;
    parameters({{"FileBackCard", ""}});
    noKey.game.startGame("P7   ");
    EXPECT_TRUE(noKey.platform.messages.empty());
    EXPECT_EQ(noKey.game.cardBack(), nullptr);
    EXPECT_TRUE(noKey.game.timerRunning(TimerId::DealWait));
}

TEST_F(BadSetup, TextureThatIsNoPictureOrADirectoryHidesTheBackgroundOnly) {
    for (const char* name : {"garbage.bmp", "folder"}) {
        WorkDir run;
        Session start;
        run.write("setup/QBXParameter.ini", parameterFile({{"File Texture", name}}));
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", kShoe);
        run.write("setup/garbage.bmp", garbage(1000, 5));
        fs::create_directory(inWorkDir("setup/folder"));
        start.game.startGame("P7   ");
        EXPECT_TRUE(start.platform.messages.empty()) << name;
        EXPECT_FALSE(start.game.table()[Ctl::Background].visible) << name;
        EXPECT_TRUE(start.game.timerRunning(TimerId::DealWait)) << name;
    }
}

// ---- dataout and the participant code ---------------------------------------------

TEST_F(BadSetup, DataoutThatIsAFileIsNoDirectory) {
    fs::remove(inWorkDir("dataout"));
    dir.write("dataout", "not a directory");
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages,
              std::vector<std::string>{"There must be a directory named 'dataout' to save the software output."});
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(dir.read("dataout"), "not a directory");
}

// Any length and any bytes: the header line stays one line of text the
// reader takes, with the code's other bytes as they were.
TEST_F(BadSetup, ParticipantCodesOfAnyLengthOrBytesLeaveAReadableHeader) {
    std::string bytes, printable;
    for (int c = 1; c < 256; ++c) {
        if (c != '\r' && c != '\n') bytes += static_cast<char>(c);
        if (c >= 0x20 && c != 0x7F) printable += static_cast<char>(c);
    }
    const std::pair<std::string, std::string> codes[] = {
        {std::string(10000, 'Q') + "   ", std::string(1024, 'Q')},
        {"\xc3\xa9\xff\xfe\x80 " + bytes + "   ", "\xc3\xa9\xff\xfe\x80 " + printable + "   "},
    };
    for (const auto& [code, written] : codes) {
        WorkDir run;
        Session start;
        run.write("setup/QBXParameter.ini", parameterFile());
        run.write("setup/messages.ini", englishCatalogue());
        run.write("setup/shoe.txt", kShoe);
        start.clock.set("09:00:00.000");
        start.game.startGame(code);
        EXPECT_TRUE(start.platform.messages.empty());
        for (const std::string& name : run.logs()) {
            const auto lines = splitLines(run.read("dataout/" + name));
            ASSERT_EQ(lines.size(), 5u) << name;
            EXPECT_EQ(lines[2], "32400.0:userID:userName " + written + ":gameNum -1:partner 1") << name;
        }
    }
}

}  // namespace

// ---- The shared catalogue of bad setups (qbxtool check runs it too) ---------

TEST(BadSetupCatalogue, TheGameStopsOrSaysSoForEveryOne) {
    for (const test::BadSetup& bad : test::badSetups()) {
        WorkDir dir;
        writeSetup(dir, test::kBadSetupShoe);
        bad.make(dir);
        Session s;
        s.game.startGame("P7   ");
        switch (bad.game) {
        case test::BadSetup::Game::Refused:
            EXPECT_FALSE(s.platform.messages.empty()) << bad.name;
            EXPECT_TRUE(s.platform.terminated) << bad.name;
            EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait)) << bad.name;
            break;
        case test::BadSetup::Game::ReportedThenPlays:
            EXPECT_FALSE(s.platform.messages.empty()) << bad.name;
            EXPECT_FALSE(s.platform.terminated) << bad.name;
            break;
        case test::BadSetup::Game::BlankTexts:
            EXPECT_TRUE(s.platform.messages.empty()) << bad.name;
            EXPECT_EQ(s.game.table()[Ctl::PassButton].caption, "") << bad.name;
            break;
        case test::BadSetup::Game::EndsAtOnce:
            s.settle();
            EXPECT_TRUE(s.platform.terminated) << bad.name;
            EXPECT_EQ(s.game.progress().handNumber, 1) << bad.name;
            break;
        }
    }
}
