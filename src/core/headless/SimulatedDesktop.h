#pragma once
// A desktop for the game without a display: a clock that moves only when
// told, the table's three timers fired in time order, message boxes that
// close as soon as they open (a hook sees each while it is "open"). The
// simulated participants of qbxtool, the replay and the tests play whole
// games on it, through the same entry points the table window calls.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/game/Game.h"

namespace qbx {

// Milliseconds since the start of `date`'s day; a reading past midnight
// falls on the following day, as a real clock's would.
class SimulatedClock : public Clock {
public:
    LocalTime now() override;
    long long ms() const { return ms_; }
    void setMs(long long ms) { ms_ = ms; }
    void advance(long long ms) { ms_ += ms; }
    LocalTime date{2026, 12, 7, 0, 0, 0, 0};  // the day the milliseconds count from

protected:
    long long ms_ = 0;
};

// The local time `ms` milliseconds after the start of `day`.
LocalTime localTimeAfter(const LocalTime& day, long long ms);
// The milliseconds from the start of `day` to `t` (negative before it).
long long msAfter(const LocalTime& day, const LocalTime& t);

class SimulatedDesktop : public Platform {
public:
    explicit SimulatedDesktop(SimulatedClock& clock) : clock_(clock) {}

    void showMessage(const std::string& text) override;
    void beep() override { ++beeps; }
    void terminate() override { terminated = true; }
    Size screenSize() override { return screen; }
    Size windowSize() override { return window; }
    SystemInfo systemInfo() override { return system; }
    void timerChanged(TimerId id, bool running, int intervalMs) override;

    // Fires the earliest due timer of `game`, moving the clock to its time
    // first. False when no timer runs or the program has ended.
    bool fireNextTimer(Game& game);
    // Fires timers until none runs, the program ends or `done` holds.
    void runUntil(Game& game, const std::function<bool()>& done, int maxSteps = 100000);
    // Until a hand is laid and the table takes input again.
    void untilHandInPlay(Game& game);
    // When the next timer is due; -1 when none runs.
    long long nextTimerDue() const;

    std::vector<std::string> messages;                  // every box shown, in order
    std::function<void(const std::string&)> onMessage;  // runs while the box is "open"
    int beeps = 0;
    bool terminated = false;
    Size screen{1024, 768};
    Size window{1024, 768};
    SystemInfo system{"Test OS 1.0", 1024, 768, 1.5, "Test WM"};

    struct TimerSlot {
        bool running = false;
        int interval = 0;
        long long due = 0;
        unsigned generation = 0;
    };
    TimerSlot timers[3];

private:
    SimulatedClock& clock_;
};

// A participant's mouse on the table, by card position: a card image's
// centre, a drag that passes over the table in a few moves, a look.
int cardCentreX(const Game& game, uint8_t position);
int cardCentreY(const Game& game, uint8_t position);
void dragCardTo(Game& game, uint8_t from, int x, int y);
void pressCard(Game& game, uint8_t position, MouseButton button);
void releaseCard(Game& game, uint8_t position, MouseButton button);

}  // namespace qbx
