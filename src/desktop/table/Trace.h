#pragma once
// An opt-in trace of the moments that decide how the program feels: every
// tick of the glide and deal timers, their starts and stops, and every input
// event handed to the game. Set QBX_TRACE_FILE to a path to turn it on; the
// times (steady clock) go into a buffer allocated once at start and reach
// the file only when the program ends. Off, a mark costs one predictable
// branch and touches nothing else.

#include <cstddef>
#include <cstdint>

namespace qbx::trace {

enum class Event : uint8_t {
    GlideStart,
    GlideTick,
    GlideStop,
    DealStepStart,
    DealStepTick,
    DealStepStop,
    Press,
    Release,
    Click,
    Stamp,  // the game read the clock for a record's time stamp
};

// One mark: the steady clock in nanoseconds, and what happened.
struct Entry {
    int64_t ns;
    int32_t msOfDay;  // a stamp's time of day as the game read it, in ms; 0 for the rest
    Event event;
};

namespace detail {
extern bool enabled;
void record(Event event, int32_t msOfDay = 0) noexcept;
}  // namespace detail

// Reads QBX_TRACE_FILE and, when it is set, allocates the buffer.
void init();
// Writes the buffer to the file named at init(); nothing when off.
void writeOut();
// Turns the trace on in memory alone (the machine check reads it back), or
// off; what was marked is kept until the next start.
void startInMemory();
void stop();
// The marks made since the trace was turned on, and how many did not fit.
const Entry* entries(size_t& count, size_t& dropped);
// The steady clock the marks use, in nanoseconds.
int64_t steadyNs() noexcept;

inline void mark(Event event) noexcept {
    if (__builtin_expect(detail::enabled, false)) detail::record(event);
}
// The game read the clock for a record: the time of day it got, in ms.
inline void markStamp(int32_t msOfDay) noexcept {
    if (__builtin_expect(detail::enabled, false)) detail::record(Event::Stamp, msOfDay);
}

}  // namespace qbx::trace
