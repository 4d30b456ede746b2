#pragma once
// An opt-in trace of the moments that decide how the program feels: every
// tick of the glide and deal timers, their starts and stops, and every input
// event handed to the game. Set QBX_TRACE_FILE to a path to turn it on; the
// times (steady clock) go into a buffer allocated once at start and reach
// the file only when the program ends. Off, a mark costs one predictable
// branch and touches nothing else.

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
};

namespace detail {
extern bool enabled;
void record(Event event) noexcept;
}  // namespace detail

// Reads QBX_TRACE_FILE and, when it is set, allocates the buffer.
void init();
// Writes the buffer to the file named at init(); nothing when off.
void writeOut();

inline void mark(Event event) noexcept {
    if (__builtin_expect(detail::enabled, false)) detail::record(event);
}

}  // namespace qbx::trace
