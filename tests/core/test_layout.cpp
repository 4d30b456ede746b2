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
        s.game.FormCreate("P   ");
        ASSERT_TRUE(s.platform.messages.empty());
    }
    std::pair<int, int> at(Ctl c) const { return {s.game.table()[c].left, s.game.table()[c].top}; }
};

TEST_F(Layout, DesignPlacesOnA1024By768ScreenWithParX200ParY64) {
    start(1024, 768, "200", "64");
    // Nothing is placed before the window is first shown.
    for (uint8_t code = 0; code < 7; ++code) EXPECT_EQ(s.game.GetCoordX(code), 0);
    s.runUntil([&] { return s.game.table().formVisible(); });
    using P = std::pair<int, int>;
    const int A = 312, B = 320;
    EXPECT_EQ(at(Ctl::Shape2), P(304, 312));
    EXPECT_EQ(at(Ctl::Shape3), P(456, 312));
    EXPECT_EQ(at(Ctl::Shape1), P(616, 312));
    EXPECT_EQ(at(Ctl::Shape6), P(328, 456));
    EXPECT_EQ(at(Ctl::Shape4), P(456, 456));
    EXPECT_EQ(at(Ctl::Shape5), P(584, 456));
    EXPECT_EQ(at(Ctl::Button1), P(792, 512));
    EXPECT_EQ(at(Ctl::Button2), P(792, 456));
    EXPECT_EQ(at(Ctl::Shape7), P(792, 160));
    const std::pair<Ctl, P> rest[] = {
        {Ctl::Label3, {A + 14, B - 34}},   {Ctl::Label6, {A + 166, B - 34}}, {Ctl::Label4, {A + 326, B - 34}},
        {Ctl::Image7, {A + 152, B - 184}}, {Ctl::BitBtn1, {A - 224, B}},     {Ctl::Shape8, {A - 272, B + 94}},
        {Ctl::Shape9, {A - 272, B + 136}}, {Ctl::Label8, {A - 232, B + 141}}, {Ctl::Label9, {A - 198, B + 161}},
        {Ctl::Shape11, {A - 272, B + 176}}, {Ctl::Shape10, {A - 272, B + 192}}, {Ctl::Label7, {A - 237, B + 197}},
        {Ctl::Label10, {A - 198, B + 217}}, {Ctl::ckturn, {A + 488, B - 152}}, {Ctl::nkturn, {A + 488, B - 128}},
        {Ctl::Label1, {A + 480, B - 176}}, {Ctl::Memo1, {A - 256, B - 164}},  {Ctl::Label2, {A - 256, B - 180}},
        {Ctl::Memo2, {A - 256, B + 71}},   {Ctl::Label5, {A - 256, B + 41}},  {Ctl::Image9, {0, 0}},
    };
    for (const auto& [control, place] : rest) EXPECT_EQ(at(control), place) << s.game.table()[control].name;
    // Card positions, and the deck 184 pixels above the Target.
    const int cx[7] = {A, A + 24, A + 152, A + 280, A + 312, A + 152, A + 152};
    const int cy[7] = {B, B + 144, B + 144, B + 144, B, B, B - 184};
    for (uint8_t code = 0; code < 7; ++code) {
        EXPECT_EQ(s.game.GetCoordX(code), cx[code]);
        EXPECT_EQ(s.game.GetCoordY(code), cy[code]);
    }
    // Only the low seven bits of a code count: 7 to 127 answer position 4.
    EXPECT_EQ(s.game.GetCoordX(7), s.game.GetCoordX(4));
    EXPECT_EQ(s.game.GetCoordY(127), s.game.GetCoordY(4));
    EXPECT_EQ(s.game.GetCoordX(128 + 5), s.game.GetCoordX(5));
    // The background fills the window less 20 and 40 pixels, behind everything.
    EXPECT_EQ(s.game.table()[Ctl::Image9].width, 1004);
    EXPECT_EQ(s.game.table()[Ctl::Image9].height, 728);
    EXPECT_EQ(s.game.table().stacking().front(), Ctl::Image9);
}

TEST_F(Layout, FittingHappensOnceWhateverTheScreenDoesLater) {
    start(1024, 768, "200", "64");
    s.untilHandInPlay();
    const auto before = at(Ctl::Button1);
    s.platform.screen = {1920, 1080};
    s.game.FormShow();
    EXPECT_EQ(at(Ctl::Button1), before);
    EXPECT_EQ(s.game.coordX[0], 312);
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
        run.game.FormCreate("P   ");
        run.runUntil([&] { return run.game.table().formVisible(); });
        EXPECT_EQ(run.game.coordX[colorCardView], c.anchor) << c.width << " " << c.parX;
        EXPECT_EQ(run.game.coordY[colorCardView], 384);
    }
}

TEST_F(Layout, TheFirstDealGlidesFromTheDeckToEachPlace) {
    start(1024, 768, "0", "0");
    // With parX and parY 0 the ColorKeeper's card has its corner at the centre.
    s.untilHandInPlay();
    const int slot = s.cardAt(colorCardView);
    EXPECT_EQ(at(cardImage(slot)), (std::pair<int, int>(512, 384)));
    EXPECT_EQ(at(Ctl::Image7), (std::pair<int, int>(512 + 152, 384 - 184)));
}

}  // namespace
