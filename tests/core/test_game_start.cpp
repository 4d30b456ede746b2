// The game start and what the experimenter is told when a setup is wrong:
// which message, which files are left in dataout, and that the program ends
// instead of waiting without a window.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "core/eventlog/LogReader.h"
#include "support/FakeDesktop.h"

using namespace qbx;
using namespace qbx::test;

namespace {

const char* kShoe = "deals\r\n4C 2H 2C 3H 4H 3C 2H ck\r\n2H 3C 4H 2C 3H 4C 3H nk\r\n";

struct GameStart : ::testing::Test {
    WorkDir dir;
    Session s;
    void SetUp() override {
        writeSetup(dir, kShoe);
        s.clock.set("09:00:00.000");
    }
    std::vector<std::string> logs() const { return dir.logs(); }
};

TEST_F(GameStart, SetsCaptionsCountersAndArmsTheFirstDeal) {
    s.game.startGame("P7   ");
    const qbx::Table& t = s.game.table();
    EXPECT_TRUE(s.platform.messages.empty());
    EXPECT_EQ(t[Ctl::PassButton].caption, "Pass");
    EXPECT_EQ(t[Ctl::HelpButton].caption, "Help");
    EXPECT_EQ(t[Ctl::TurnTitle].caption, "Turn");
    EXPECT_EQ(t[Ctl::CkTurnIndicator].caption, "Colour keeper's turn");
    EXPECT_EQ(t[Ctl::TargetCaption].caption, "Target");
    EXPECT_EQ(t[Ctl::HandCounter].caption, "1");
    EXPECT_EQ(t[Ctl::MoveCounter].caption, "0");
    EXPECT_EQ(t.rulesLines, (std::vector<std::string>{"Colour rule", "Number rule"}));
    EXPECT_FALSE(t.formVisible());
    EXPECT_TRUE(s.game.timerRunning(TimerId::DealWait));
    EXPECT_EQ(s.game.timerInterval(TimerId::DealStep), 302);
    EXPECT_EQ(s.game.rules().maxRounds, 50);
    EXPECT_EQ(s.game.parameters().shoeFilePath, "setup/shoe.txt");
    EXPECT_EQ(logs().size(), 2u);
}

TEST_F(GameStart, CatalogueWithOnlyButtonsLeavesEveryOtherCaptionBlank) {
    dir.write("setup/messages.ini", "[BUTTON]\nHelp=Aiuto\nStep=Passo\n");
    s.game.startGame("P7   ");
    EXPECT_EQ(s.game.table()[Ctl::PassButton].caption, "Passo");
    EXPECT_EQ(s.game.table()[Ctl::HelpButton].caption, "Aiuto");
    for (Ctl c : {Ctl::TurnTitle, Ctl::MessagesTitle, Ctl::CkCaption, Ctl::NkCaption, Ctl::TargetCaption,
                  Ctl::HandCounterTitle, Ctl::MoveCounterTitle, Ctl::CkTurnIndicator, Ctl::NkTurnIndicator})
        EXPECT_EQ(s.game.table()[c].caption, "") << s.game.table()[c].name;
}

TEST_F(GameStart, NoDataoutDirectoryEndsTheProgramWithNoFile) {
    std::filesystem::remove_all(inWorkDir("dataout"));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages,
              std::vector<std::string>{"There must be a directory named 'dataout' to save the software output."});
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_FALSE(std::filesystem::exists(inWorkDir("dataout")));
    EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait));
}

TEST_F(GameStart, MissingShoeFileLeavesTheHeaderAndEnds) {
    dir.write("setup/QBXParameter.ini", parameterFile({{"ShoeFileName", "nothere.txt"}}));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"I do not find the the shoefile setup/nothere.txt"});
    EXPECT_TRUE(s.platform.terminated);
    ASSERT_EQ(logs().size(), 2u);
    const auto ck = splitLines(dir.read("dataout/" + logs()[0]));
    ASSERT_EQ(ck.size(), 5u);
    EXPECT_EQ(ck[0], "32400.0:TF:CK");
    EXPECT_EQ(ck[4], "32400.0:32400.0:GS:;Game started;;");
    EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait));
}

TEST_F(GameStart, OnlyTheSetupPathOpensTheShoe) {
    dir.write("shoefile.txt", kShoe);
    dir.write("setup/QBXParameter.ini", parameterFile({{"ShoeFileName", ""}}));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages, std::vector<std::string>{"I do not find the the shoefile setup/"});
}

TEST_F(GameStart, FaultyShoeLinesAreNamedBeforeAnyLogExists) {
    const std::pair<std::string, std::string> cases[] = {
        {"4C 2H 2C 3H 4H 3C 2H c", "line 3 has 15 significant characters instead of 16"},
        {"4C 2H 2C 3H 4H 3C 2H ckk", "line 3 has more than 16 significant characters"},
        {"4C 4C 2C 3H 4H 3C 2H ck", "line 3 names the card 4C twice"},
        {"4C 2H 2C 3H 4H 3C kH c2", "line 3: the goal card does not begin with a number 2, 3 or 4"},
        {"C4 2H 2C 3H 4H 3C 2H ck", "line 3: card 1 does not begin with a number 2, 3 or 4"},
        {"43 2H 2C 3H 4H 3C 2H ck", "line 3: card 1 has a number where its colour letter belongs"},
        {"no hand here", "line 3 has 2 significant characters instead of 16"},
    };
    for (const auto& [line, fault] : cases) {
        Session run;
        dir.write("setup/shoe.txt", std::string("deals\n4C 2H 2C 3H 4H 3C 2H ck\n") + line + "\n\n");
        run.game.startGame("P7   ");
        ASSERT_EQ(run.platform.messages.size(), 1u) << line;
        EXPECT_EQ(run.platform.messages[0], "The shoe file setup/shoe.txt cannot be played: " + fault + ".");
        EXPECT_TRUE(run.platform.terminated);
        EXPECT_TRUE(logs().empty()) << line;
    }
}

TEST_F(GameStart, BlankLinesAnywhereAreNoHands) {
    dir.write("setup/shoe.txt", "deals\r\n\r\n4C 2H 2C 3H 4H 3C 2H ck\r\n  \t\r\n2H 3C 4H 2C 3H 4C 3H nk\r\n\r\n");
    s.game.startGame("P7   ");
    EXPECT_TRUE(s.platform.messages.empty());
    EXPECT_EQ(s.game.shoe().size(), 2u);
}

TEST_F(GameStart, WholeNumberKeysThatAreNotNumbersStopTheStart) {
    for (const char* key : {"MaxRounds", "PremiumRound", "CostMove"}) {
        for (const char* value : {"abc", "", "12x", "99999999999"}) {
            Session run;
            dir.write("setup/QBXParameter.ini", parameterFile({{key, value}}));
            run.game.startGame("P7   ");
            ASSERT_EQ(run.platform.messages.size(), 1u) << key << "=" << value;
            EXPECT_EQ(run.platform.messages[0], std::string("'") + value + "' is not a valid integer value (" + key +
                                                    " in setup/QBXParameter.ini).");
            EXPECT_TRUE(run.platform.terminated);
            EXPECT_TRUE(logs().empty());
        }
    }
}

TEST_F(GameStart, NoParameterFileStopsAtTheFirstNumber) {
    std::filesystem::remove(inWorkDir("setup/QBXParameter.ini"));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.platform.messages,
              std::vector<std::string>{"'' is not a valid integer value (MaxRounds in setup/QBXParameter.ini)."});
    EXPECT_TRUE(s.platform.terminated);
}

TEST_F(GameStart, BackFileThatIsNoBitmapEndsAfterTheHeader) {
    dir.write("setup/back.bmp", "BM this is not a bitmap at all");
    s.game.startGame("P7   ");
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_EQ(s.platform.messages[0].rfind("The card back ./setup/back.bmp is not a readable bitmap", 0), 0u);
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_FALSE(s.game.timerRunning(TimerId::DealWait));
    EXPECT_EQ(splitLines(dir.read("dataout/" + logs()[0])).size(), 5u);
}

TEST_F(GameStart, DragCkNkAndViewTargetAreReadInAnyCase) {
    dir.write("setup/QBXParameter.ini", parameterFile({{"Drag CkNk", "tRuE"}, {"ViewTarget", "false"}}));
    s.game.startGame("P7   ");
    EXPECT_EQ(s.game.rules().handCardsLocked, 0);
    EXPECT_FALSE(s.game.table()[Ctl::DeckCard].visible);
    Session locked;
    dir.write("setup/QBXParameter.ini", parameterFile({{"Drag CkNk", "yes"}}));
    locked.game.startGame("P7   ");
    EXPECT_EQ(locked.game.rules().handCardsLocked, 1);
    // Slots 5 and 6 lie at the hand positions until the first hand is laid.
    EXPECT_EQ(locked.game.table()[Ctl::Card3C].dragMode, DragMode::Manual);
    EXPECT_EQ(locked.game.table()[Ctl::Card4C].dragMode, DragMode::Manual);
    EXPECT_EQ(locked.game.table()[Ctl::Card2H].dragMode, DragMode::Automatic);
}

TEST_F(GameStart, NoTextureHidesTheBackground) {
    s.game.startGame("P7   ");
    EXPECT_FALSE(s.game.table()[Ctl::Background].visible);
}

// ---- The logs are never overwritten and always found a name -------------

TEST_F(GameStart, ExistingLogsOfEitherRoleAreNeverReplaced) {
    int draws = 0;
    s.game.setRandomSuffix([&] { return draws++ < 2 ? 17 + draws - 1 : 99; });  // 17, 18, then 99
    dir.write("dataout/ck071226_17.txt", "old ck");
    dir.write("dataout/nk071226_18.txt", "old nk");
    s.game.startGame("P7   ");
    EXPECT_EQ(dir.read("dataout/ck071226_17.txt"), "old ck");
    EXPECT_EQ(dir.read("dataout/nk071226_18.txt"), "old nk");
    EXPECT_FALSE(std::filesystem::exists(inWorkDir("dataout/ck071226_18.txt")));
    EXPECT_NE(dir.read("dataout/ck071226_99.txt").find("TF:CK"), std::string::npos);
    EXPECT_NE(dir.read("dataout/nk071226_99.txt").find("TF:NK"), std::string::npos);
}

TEST_F(GameStart, AFullDayOfNamesIsReportedNotProbedForever) {
    for (int i = 0; i < 10000; ++i) dir.write("dataout/ck071226_" + std::to_string(i) + ".txt", "");
    s.game.startGame("P7   ");
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_EQ(s.platform.messages[0],
              "All 10000 event log names of today are taken in dataout. Please move the old logs elsewhere and "
              "start again.");
    EXPECT_TRUE(s.platform.terminated);
    EXPECT_EQ(logs().size(), 10000u);
}

#ifndef _WIN32  // a file size limit is POSIX; Windows has the full-disk test in windows/
TEST_F(GameStart, ALogThatCannotBeWrittenDuringPlayIsReportedAndEnds) {
    s.game.startGame("P7   ");
    s.untilHandInPlay();
    // Files may not grow any more: the next record cannot be written.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 1;
    setrlimit(RLIMIT_FSIZE, &tiny);
    s.pass();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_NE(s.platform.messages[0].find("Cannot write the event log dataout/ck"), std::string::npos);
    EXPECT_NE(s.platform.messages[0].find("Please call the experimenter."), std::string::npos);
    EXPECT_TRUE(s.platform.terminated);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(s.game.timerRunning(static_cast<TimerId>(i)));
    // Nothing more happens once the program has been asked to end.
    s.pass();
    EXPECT_EQ(s.platform.messages.size(), 1u);
}
#endif

TEST_F(GameStart, RecordsAreDurableBeforeAHandEndBoxWaitsForTheParticipant) {
    s.game.startGame("P7   ");
    s.untilHandInPlay();
    int boxes = 0;
    s.platform.onMessage = [&](const std::string&) {
        ++boxes;
        EXPECT_FALSE(s.game.logs().ck().awaitingSync());
        EXPECT_FALSE(s.game.logs().nk().awaitingSync());
    };
    for (int i = 0; i < 4; ++i) s.pass();
    EXPECT_EQ(boxes, 1);
    // The fourth pass is on disk, though the box was still open.
    EXPECT_NE(dir.read("dataout/" + logs()[0]).find("PP::"), std::string::npos);
}

// Whatever the login hands over, both logs get one readable line of text
// for the code, and the run record names it as the logs do; an ordinary
// code goes in byte for byte.
TEST(ParticipantCode, ReachesBothLogsAsOneLineOfText) {
    const std::string x1023(1023, 'x');
    const struct {
        std::string given, written;
    } cases[] = {
        {"A1   ", "A1   "},
        {"Zo\xC3\xAB 7    ", "Zo\xC3\xAB 7    "},
        {"P1, \"x\" \xF0\x9F\x82\xA1   ", "P1, \"x\" \xF0\x9F\x82\xA1   "},
        {"Jos\xE9\x85   ", "Jos\xE9\x85   "},  // 8-bit text: 0x85 is a letter there, not a control
        {"P12\n   ", "P12   "},
        {"P12\r\n32400.0:32400.0:PP::Colorkeeper passed turn:;;;   ",
         "P1232400.0:32400.0:PP::Colorkeeper passed turn:;;;   "},
        {std::string("N\0U\x7F\tL", 6) + "   ", "NUL   "},
        {"Zo\xC3\xAB\xC2\x85\xC2\x9F\xE2\x80\xA8\xE2\x80\xA9!   ", "Zo\xC3\xAB!   "},
        {x1023 + "\xC3\xA9   ", x1023},  // the cut falls between characters
    };
    for (const auto& c : cases) {
        WorkDir dir;
        writeSetup(dir, kShoe);
        Session s;
        s.clock.set("09:00:00.000");
        s.game.startGame(c.given);
        ASSERT_EQ(dir.logs().size(), 2u);
        for (const std::string& name : dir.logs()) {
            const std::string text = dir.read("dataout/" + name);
            LogReader reader;
            reader.openText(text);
            LogRecord record;
            LogFault fault;
            std::vector<LogRecordKind> kinds;
            std::string participant;
            for (LogReader::Next n; (n = reader.next(record, fault)) != LogReader::Next::End;) {
                ASSERT_EQ(n, LogReader::Next::Record) << name << " line " << fault.line << ": " << fault.what;
                kinds.push_back(record.kind);
                if (record.kind == LogRecordKind::UserHeader) participant = record.participant;
            }
            EXPECT_EQ(kinds.size(), 5u) << name;
            EXPECT_EQ(participant, c.written);
            EXPECT_NE(text.find("32400.0:userID:userName " + c.written + ":gameNum -1:partner 1\r\n"),
                      std::string::npos);
        }
        EXPECT_EQ(s.game.runRecord().participant, c.written);
    }
}

}  // namespace
