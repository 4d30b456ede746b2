#pragma once
// A session's time line. A log's stamps are the milliseconds since local
// midnight; a session that runs past midnight starts again from 0. Every
// reader of a session, the simulated clock and simulate count the day here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qbx::session {

inline constexpr long long kDayMs = 86400000LL;
// A stamp more than half a day below the latest has passed midnight; a
// smaller step back is a stamp out of order.
inline constexpr long long kHalfDayMs = kDayMs / 2;

// The stamps of one log, read in order, placed on one line across midnight.
class Timeline {
public:
    enum class Step : uint8_t { First, Forward, PastMidnight, Back };
    // A stamp as written (the milliseconds since its day's midnight), less
    // the delay a record adds to its milliseconds (`delayMs`) when it is held
    // against the stamps before it. Returns how it stands to them; a step
    // back leaves the furthest moment where it was.
    Step place(long long stampMs, long long delayMs = 0) {
        const long long moment = stampMs - delayMs + days_ * kDayMs;
        Step step = Step::Forward;
        if (!started_) {
            started_ = true;
            firstMs_ = stampMs;
            furthest_ = moment;
            step = Step::First;
        } else if (moment < furthest_) {
            if (furthest_ - moment > kHalfDayMs) {
                ++days_;
                crossedMidnight_ = true;
                step = Step::PastMidnight;
            } else {
                step = Step::Back;
            }
        }
        const long long placed = stampMs - delayMs + days_ * kDayMs;
        if (placed > furthest_) furthest_ = placed;
        latestMs_ = stampMs + days_ * kDayMs;
        return step;
    }
    bool started() const { return started_; }
    bool crossedMidnight() const { return crossedMidnight_; }
    // The last stamp placed, since the first day's midnight.
    long long latestMs() const { return latestMs_; }
    // The last stamp placed, since the first stamp.
    long long sinceFirstMs() const { return latestMs_ - firstMs_; }
    // The furthest moment reached (delays taken off), since the first day's midnight.
    long long furthestMs() const { return furthest_; }

private:
    bool started_ = false, crossedMidnight_ = false;
    long long days_ = 0, firstMs_ = 0, furthest_ = 0, latestMs_ = 0;
};

// The stamp at the start of a log's text ("37845.7:..."), in milliseconds;
// none when the text does not begin with one.
std::optional<long long> leadingStampMs(std::string_view text);

// "10:30:45.007" for a time of day in milliseconds (a later day's taken
// back to its own midnight).
std::string clockText(long long ms);

}  // namespace qbx::session
