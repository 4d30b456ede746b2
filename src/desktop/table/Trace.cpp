#include "desktop/table/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace qbx::trace {

namespace {

// Enough for hours of play: a hand takes about 200 entries.
constexpr size_t kCapacity = 1 << 18;

std::vector<Entry> buffer;
size_t used = 0;
size_t dropped = 0;
std::string path;

int64_t nowNs(clockid_t clock) noexcept {
    timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

const char* name(Event e) {
    switch (e) {
    case Event::GlideStart: return "glide-start";
    case Event::GlideTick: return "glide-tick";
    case Event::GlideStop: return "glide-stop";
    case Event::DealStepStart: return "deal-step-start";
    case Event::DealStepTick: return "deal-step-tick";
    case Event::DealStepStop: return "deal-step-stop";
    case Event::Press: return "press";
    case Event::Release: return "release";
    case Event::Click: return "click";
    case Event::Stamp: return "stamp";
    }
    return "?";
}

}  // namespace

namespace detail {

bool enabled = false;

void record(Event event, int32_t msOfDay) noexcept {
    // CLOCK_MONOTONIC is read through the vDSO: no system call.
    if (used == kCapacity) {
        ++dropped;
        return;
    }
    buffer[used++] = {nowNs(CLOCK_MONOTONIC), msOfDay, event};
}

}  // namespace detail

void init() {
    const char* file = std::getenv("QBX_TRACE_FILE");
    if (!file || !*file) return;
    path = file;
    buffer.resize(kCapacity);
    detail::enabled = true;
}

void writeOut() {
    if (!detail::enabled || path.empty()) return;
    detail::enabled = false;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return;
    // The offset turns the steady times into wall-clock times.
    const int64_t mono = nowNs(CLOCK_MONOTONIC);
    const int64_t real = nowNs(CLOCK_REALTIME);
    std::fprintf(f, "# realtime-minus-monotonic-ns %lld\n# dropped %zu\n", static_cast<long long>(real - mono),
                 dropped);
    for (size_t i = 0; i < used; ++i)
        std::fprintf(f, "%lld %s\n", static_cast<long long>(buffer[i].ns), name(buffer[i].event));
    std::fclose(f);
}

void startInMemory() {
    buffer.resize(kCapacity);
    used = 0;
    dropped = 0;
    path.clear();
    detail::enabled = true;
}

void stop() { detail::enabled = false; }

const Entry* entries(size_t& count, size_t& droppedCount) {
    count = used;
    droppedCount = dropped;
    return buffer.data();
}

int64_t steadyNs() noexcept { return nowNs(CLOCK_MONOTONIC); }

}  // namespace qbx::trace
