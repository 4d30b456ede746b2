// Fitting the table to the screen at its first showing: every place follows
// from the anchor (screen / 2 - parX, screen / 2 - parY, truncated toward
// zero).

#include <gtest/gtest.h>

#include "support/FakeDesktop.h"

using namespace qbx;
using namespace qbx::test;

namespace {

struct Layout : ::testing::Test {
    WorkDir dir;
    Session s;
    void start(int screenW, int screenH, const std::string& parX, const std::string& parY) {
        writeSetup(dir, "h\n4C 2H 2C 3H 4H 3C 2H ck\n", {{"parX", parX}, {"parY", parY}});
        s.platform.screen = {screenW, screenH};
        s.platform.window = {screenW, screenH};
        s.game.startGame("P   ");
        ASSERT_TRUE(s.platform.messages.empty());
    }
    std::pair<int, int> at(Ctl c) const { return {s.game.table()[c].left, s.game.table()[c].top}; }
};

TEST_F(Layout, DesignPlacesOnA1024By768ScreenWithParX200ParY64) {
    start(1024, 768, "200", "64");
    // Nothing is placed before the window is first shown.
    for (uint8_t code = 0; code < 7; ++code) EXPECT_EQ(s.game.placeX(code), 0);
    s.runUntil([&] { return s.game.table().formVisible(); });
    using P = std::pair<int, int>;
    const int A = 312, B = 320;
    EXPECT_EQ(at(Ctl::CkHandFrame), P(304, 312));
    EXPECT_EQ(at(Ctl::TargetFrame), P(456, 312));
    EXPECT_EQ(at(Ctl::NkHandFrame), P(616, 312));
    EXPECT_EQ(at(Ctl::DownColourFrame), P(328, 456));
    EXPECT_EQ(at(Ctl::UpFrame), P(456, 456));
    EXPECT_EQ(at(Ctl::DownNumberFrame), P(584, 456));
    EXPECT_EQ(at(Ctl::PassButton), P(792, 512));
    EXPECT_EQ(at(Ctl::HelpButton), P(792, 456));
    EXPECT_EQ(at(Ctl::TurnBox), P(792, 160));
    const std::pair<Ctl, P> rest[] = {
        {Ctl::CkCaption, {A + 14, B - 34}},
        {Ctl::TargetCaption, {A + 166, B - 34}},
        {Ctl::NkCaption, {A + 326, B - 34}},
        {Ctl::DeckCard, {A + 152, B - 184}},
        {Ctl::SecondHelpButton, {A - 224, B}},
        {Ctl::NavyBar, {A - 272, B + 94}},
        {Ctl::MoveCounterBox, {A - 272, B + 136}},
        {Ctl::MoveCounterTitle, {A - 232, B + 141}},
        {Ctl::MoveCounter, {A - 198, B + 161}},
        {Ctl::RedBar, {A - 272, B + 176}},
        {Ctl::HandCounterBox, {A - 272, B + 192}},
        {Ctl::HandCounterTitle, {A - 237, B + 197}},
        {Ctl::HandCounter, {A - 198, B + 217}},
        {Ctl::CkTurnIndicator, {A + 488, B - 152}},
        {Ctl::NkTurnIndicator, {A + 488, B - 128}},
        {Ctl::TurnTitle, {A + 480, B - 176}},
        {Ctl::MessagesText, {A - 256, B - 164}},
        {Ctl::MessagesTitle, {A - 256, B - 180}},
        {Ctl::RulesText, {A - 256, B + 71}},
        {Ctl::RulesTitle, {A - 256, B + 41}},
        {Ctl::Background, {0, 0}},
    };
    for (const auto& [control, place] : rest) EXPECT_EQ(at(control), place) << s.game.table()[control].name;
    // Card positions, and the deck 184 pixels above the Target.
    const int cx[7] = {A, A + 24, A + 152, A + 280, A + 312, A + 152, A + 152};
    const int cy[7] = {B, B + 144, B + 144, B + 144, B, B, B - 184};
    for (uint8_t code = 0; code < 7; ++code) {
        EXPECT_EQ(s.game.placeX(code), cx[code]);
        EXPECT_EQ(s.game.placeY(code), cy[code]);
    }
    // Only the low seven bits of a code count: 7 to 127 answer position 4.
    EXPECT_EQ(s.game.placeX(7), s.game.placeX(4));
    EXPECT_EQ(s.game.placeY(127), s.game.placeY(4));
    EXPECT_EQ(s.game.placeX(128 + 5), s.game.placeX(5));
    // The background fills the window less 20 and 40 pixels, behind everything.
    EXPECT_EQ(s.game.table()[Ctl::Background].width, 1004);
    EXPECT_EQ(s.game.table()[Ctl::Background].height, 728);
    EXPECT_EQ(s.game.table().stacking().front(), Ctl::Background);
}

TEST_F(Layout, FittingHappensOnceWhateverTheScreenDoesLater) {
    start(1024, 768, "200", "64");
    s.untilHandInPlay();
    const auto before = at(Ctl::PassButton);
    s.platform.screen = {1920, 1080};
    s.game.onFirstShow();
    EXPECT_EQ(at(Ctl::PassButton), before);
    EXPECT_EQ(s.game.placeX(0), 312);
}

TEST_F(Layout, AnchorIsTruncatedTowardZero) {
    struct Case {
        int width;
        const char* parX;
        int anchor;
    } cases[] = {{1365, "0", 682}, {101, "51", 0}, {100, "51", -1}, {1024, "-40", 552}, {1024, "abc", 512}};
    dir.write("setup/messages.ini", englishCatalogue());
    dir.write("setup/shoe.txt", "h\n4C 2H 2C 3H 4H 3C 2H ck\n");
    for (const Case& c : cases) {
        Session run;
        dir.write("setup/QBXParameter.ini", parameterFile({{"parX", c.parX}, {"parY", "0"}}));
        run.platform.screen = {c.width, 768};
        run.game.startGame("P   ");
        run.runUntil([&] { return run.game.table().formVisible(); });
        EXPECT_EQ(run.game.placeX(colorCardView), c.anchor) << c.width << " " << c.parX;
        EXPECT_EQ(run.game.placeY(colorCardView), 384);
    }
}

TEST_F(Layout, TheFirstDealGlidesFromTheDeckToEachPlace) {
    start(1024, 768, "0", "0");
    // With parX and parY 0 the ColorKeeper's card has its corner at the centre.
    s.untilHandInPlay();
    const int card = s.cardAt(colorCardView);
    EXPECT_EQ(at(cardImage(card)), (std::pair<int, int>(512, 384)));
    EXPECT_EQ(at(Ctl::DeckCard), (std::pair<int, int>(512 + 152, 384 - 184)));
}

}  // namespace
