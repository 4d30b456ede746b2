#include "core/headless/SimulatedDesktop.h"

#include "core/session/SessionTime.h"

namespace qbx {

namespace {

using session::kDayMs;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Half a card image: the layout's cards are 75 by 107 pixels.
constexpr int kHalfCardWidth = 37;
constexpr int kHalfCardHeight = 53;

}  // namespace

LocalTime localTimeAfter(const LocalTime& day, long long ms) {
    long long days = ms / kDayMs;
    long long t = ms % kDayMs;
    if (t < 0) {
        t += kDayMs;
        --days;
    }
    LocalTime lt;
    civilFromDays(daysFromCivil(day.year, day.month, day.day) + days, lt.year, lt.month, lt.day);
    lt.hour = static_cast<int>(t / 3600000);
    lt.minute = static_cast<int>(t / 60000 % 60);
    lt.second = static_cast<int>(t / 1000 % 60);
    lt.millisecond = static_cast<int>(t % 1000);
    return lt;
}

long long msAfter(const LocalTime& day, const LocalTime& t) {
    const long long days = daysFromCivil(t.year, t.month, t.day) - daysFromCivil(day.year, day.month, day.day);
    return days * kDayMs + ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

LocalTime SimulatedClock::now() { return localTimeAfter(date, ms_); }

void SimulatedDesktop::showMessage(const std::string& text) {
    messages.push_back(text);
    if (onMessage) onMessage(text);
}

void SimulatedDesktop::timerChanged(TimerId id, bool running, int intervalMs) {
    TimerSlot& t = timers[static_cast<int>(id)];
    t.running = running;
    t.interval = intervalMs;
    t.due = clock_.ms() + intervalMs;
    ++t.generation;
}

long long SimulatedDesktop::nextTimerDue() const {
    long long due = -1;
    for (const TimerSlot& t : timers)
        if (t.running && (due < 0 || t.due < due)) due = t.due;
    return due;
}

bool SimulatedDesktop::fireNextTimer(Game& game) {
    int best = -1;
    for (int i = 0; i < 3; ++i)
        if (timers[i].running && (best < 0 || timers[i].due < timers[best].due)) best = i;
    if (best < 0 || terminated) return false;
    TimerSlot& t = timers[best];
    if (t.due > clock_.ms()) clock_.setMs(t.due);
    const unsigned generation = t.generation;
    game.onTimer(static_cast<TimerId>(best));
    // A timer the tick itself stopped or restarted keeps its new beat.
    if (t.running && t.generation == generation) t.due += t.interval;
    return true;
}

void SimulatedDesktop::runUntil(Game& game, const std::function<bool()>& done, int maxSteps) {
    for (int i = 0; i < maxSteps && !done(); ++i)
        if (!fireNextTimer(game)) return;
}

void SimulatedDesktop::untilHandInPlay(Game& game) {
    runUntil(game, [&] {
        return game.progress().handInPlay && game.table().formEnabled() && !game.timerRunning(TimerId::Glide);
    });
}

int cardCentreX(const Game& game, uint8_t position) { return game.placeX(position) + kHalfCardWidth; }
int cardCentreY(const Game& game, uint8_t position) { return game.placeY(position) + kHalfCardHeight; }

void dragCardTo(Game& game, uint8_t from, int x, int y) {
    const int x0 = cardCentreX(game, from), y0 = cardCentreY(game, from);
    game.mousePress(x0, y0, MouseButton::Left);
    for (int i = 1; i <= 4; ++i) game.mouseMove(x0 + (x - x0) * i / 4, y0 + (y - y0) * i / 4);
    game.mouseRelease(x, y, MouseButton::Left);
}

void pressCard(Game& game, uint8_t position, MouseButton button) {
    game.mousePress(cardCentreX(game, position), cardCentreY(game, position), button);
}

void releaseCard(Game& game, uint8_t position, MouseButton button) {
    game.mouseRelease(cardCentreX(game, position), cardCentreY(game, position), button);
}

}  // namespace qbx
