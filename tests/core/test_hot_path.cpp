// A glide tick runs 66 times a second while a participant watches a card
// move: it may allocate nothing and may ask for the repaint of nothing but
// the card's old and new places.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/FakeDesktop.h"

// The replaced operators below pair malloc with free; GCC cannot see that
// through the replacement and warns.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> gAllocations{0};
std::atomic<bool> gCounting{false};
}  // namespace

void* operator new(std::size_t size) {
    if (gCounting) ++gAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace qbx;
using namespace qbx::test;

namespace {

TEST(GlideTick, AllocatesNothingAndDirtiesOnlyTheCardsOldAndNewPlaces) {
    WorkDir dir;
    writeSetup(dir, "h\n4C 2H 2C 3H 4H 3C 2H ck\n");
    Session s;
    s.game.startGame("P   ");
    s.untilHandInPlay();
    std::vector<Rect> dirty;
    dirty.reserve(64);
    s.game.table().takeDirty(dirty);

    const Ctl card = Ctl::Card4H;
    s.game.startGlide(card, s.game.table()[card].left - 300, s.game.table()[card].top - 100);
    s.game.table().takeDirty(dirty);  // the frames repainted at the glide's start
    int ticks = 0;
    while (s.game.timerRunning(TimerId::Glide)) {
        const Rect before = s.game.table()[card].rect();
        gAllocations = 0;
        gCounting = true;
        s.game.onTimer(TimerId::Glide);
        gCounting = false;
        ++ticks;
        EXPECT_EQ(gAllocations.load(), 0) << "tick " << ticks;
        s.game.table().takeDirty(dirty);
        const Rect after = s.game.table()[card].rect();
        ASSERT_EQ(dirty.size(), 2u) << "tick " << ticks;
        EXPECT_EQ(dirty[0], before);
        EXPECT_EQ(dirty[1], after);
    }
    EXPECT_EQ(ticks, 15);  // 300 pixels at 20 a tick
}

}  // namespace
