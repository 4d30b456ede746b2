#include "desktop/check/TraceFigures.h"

#include <algorithm>

#include "core/session/SessionTime.h"

namespace qbx {

void addTraceFigures(const trace::Entry* entries, size_t count, size_t dropped, const std::vector<int64_t>& sent,
                     machinecheck::Measurements& m) {
    auto ms = [](int64_t ns) { return static_cast<double>(ns) / 1e6; };
    // The time of day on the steady clock: each stamp, read to the whole
    // millisecond, says the day's time was at least its value when read; the
    // largest such bound places the steady clock on the log's time line.
    // (A coarse system clock, as on some Windows machines, shows as stamps
    // that read early.)
    session::Timeline line;
    std::vector<double> stampOnLine(count, 0);
    double steadyToLineMs = -1e300;
    for (size_t i = 0; i < count; ++i) {
        if (entries[i].event != trace::Event::Stamp) continue;
        line.place(entries[i].msOfDay);
        stampOnLine[i] = static_cast<double>(line.latestMs());
        steadyToLineMs = std::max(steadyToLineMs, stampOnLine[i] - ms(entries[i].ns));
    }
    // An input's stamp, as the log writes it: the first clock read after the
    // game had the input, minus the moment it was sent.
    size_t at = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        const int64_t until = i + 1 < sent.size() ? sent[i + 1] : INT64_MAX;
        while (at < count && entries[at].ns < sent[i]) ++at;
        size_t j = at;
        while (j < count && entries[j].ns < until && entries[j].event != trace::Event::Press &&
               entries[j].event != trace::Event::Release && entries[j].event != trace::Event::Click)
            ++j;
        if (j >= count || entries[j].ns >= until) continue;  // the table took it as no input of the game
        while (j < count && entries[j].ns < until && entries[j].event != trace::Event::Stamp) ++j;
        if (j < count && entries[j].ns < until) m.stampMs.push_back(stampOnLine[j] - (ms(sent[i]) + steadyToLineMs));
    }
    // Glide ticks: from a start to the first tick and between ticks. Deals:
    // each step tick starts a glide (the last step ends the deal), which
    // must place its card before the next step.
    int64_t lastTick = -1, stepAt = -1, placedAt = -1;
    for (size_t i = 0; i < count; ++i) {
        const trace::Entry& e = entries[i];
        switch (e.event) {
        case trace::Event::GlideStart: lastTick = e.ns; break;
        case trace::Event::GlideTick:
            if (lastTick >= 0) m.glideTickMs.push_back(ms(e.ns - lastTick));
            lastTick = e.ns;
            break;
        case trace::Event::GlideStop:
            lastTick = -1;
            if (stepAt >= 0 && placedAt < 0) placedAt = e.ns;
            break;
        case trace::Event::DealStepTick:
            if (stepAt >= 0) {
                m.dealGlides.push_back({placedAt >= 0 ? ms(placedAt - stepAt) : -1, ms(e.ns - stepAt)});
                m.dealStepMs.push_back(ms(e.ns - stepAt));
            }
            stepAt = e.ns;
            placedAt = -1;
            break;
        case trace::Event::DealStepStop: stepAt = -1; break;
        default: break;
        }
    }
    if (dropped) m.glideUnmeasured = "the trace overflowed";
}

}  // namespace qbx
