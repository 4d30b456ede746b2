// The machine check's timing figures from the table's trace: a stamp as the
// log writes it (whole milliseconds of the day) against the moment its input
// was sent, across midnight too; inputs that make no record; glide ticks;
// each glide of a deal against its step, a glide that never placed its card
// among them.

#include <QtTest>

#include <vector>

#include "desktop/check/TraceFigures.h"

using qbx::trace::Entry;
using qbx::trace::Event;

namespace {

constexpr int64_t kMs = 1'000'000;

// Steady nanoseconds from milliseconds with a fraction.
int64_t at(double ms) { return static_cast<int64_t>(ms * kMs); }

// A stamp read at steady `ms` on a day whose clock reads steady + `dayMs`,
// truncated to the millisecond as the game reads it.
Entry stamp(double ms, double dayMs) {
    return {at(ms), static_cast<int32_t>(static_cast<int64_t>(ms + dayMs) % 86'400'000), Event::Stamp};
}

Entry mark(double ms, Event e) { return {at(ms), 0, e}; }

}  // namespace

class TestTraceFigures : public QObject {
    Q_OBJECT
private slots:
    void stampsAreTakenAsTheLogWritesThemAndOnlyForInputsTheGameHad() {
        const double day = 5000.0;
        const std::vector<Entry> entries = {
            stamp(2.0, day),                             // a deal step's read, on a whole millisecond: places the clock
            mark(10.5, Event::Press), stamp(10.6, day),  // sent at 10.2: stamp 5010, sent 5010.2
            // sent at 20.0: a box's button, no input of the game and no record
            mark(30.9, Event::Release), stamp(31.7, day),  // sent at 30.0: stamp 5031
        };
        qbx::machinecheck::Measurements m;
        qbx::addTraceFigures(entries.data(), entries.size(), 0, {at(10.2), at(20.0), at(30.0)}, m);
        QCOMPARE(m.stampMs.size(), size_t(2));
        QVERIFY(qAbs(m.stampMs[0] - (-0.2)) < 1e-6);
        QVERIFY(qAbs(m.stampMs[1] - 1.0) < 1e-6);
    }

    void stampsPastMidnightStayOnOneLine() {
        // The day's clock reads steady + (one day - 10 ms): midnight falls at steady 10 ms.
        const double day = 86'400'000.0 - 10.0;
        const std::vector<Entry> entries = {stamp(5.0, day), mark(14.2, Event::Click), stamp(14.3, day)};
        qbx::machinecheck::Measurements m;
        qbx::addTraceFigures(entries.data(), entries.size(), 0, {at(13.5)}, m);
        QCOMPARE(m.stampMs.size(), size_t(1));
        QVERIFY(qAbs(m.stampMs[0] - 0.5) < 1e-6);  // stamp 4 ms past midnight, sent 3.5 ms past
    }

    void everyDealGlideIsHeldAgainstItsStep() {
        const std::vector<Entry> entries = {
            mark(0, Event::DealStepStart), mark(302, Event::DealStepTick), mark(302, Event::GlideStart),
            mark(317, Event::GlideTick), mark(333, Event::GlideTick), mark(557, Event::GlideStop),
            // the second glide is still under way at the next step: its card is left short
            mark(604, Event::DealStepTick), mark(604, Event::GlideStart), mark(619, Event::GlideTick),
            mark(910, Event::DealStepTick), mark(1000, Event::GlideStop), mark(1212, Event::DealStepTick),
            mark(1212, Event::DealStepStop),
            // a glide after the deal (a drop) counts for its ticks only
            mark(2000, Event::GlideStart), mark(2015, Event::GlideTick), mark(2016, Event::GlideStop),
            mark(2100, Event::GlideTick),  // no glide runs: no interval
        };
        qbx::machinecheck::Measurements m;
        qbx::addTraceFigures(entries.data(), entries.size(), 0, {}, m);
        QCOMPARE(m.dealGlides.size(), size_t(3));
        QCOMPARE(m.dealGlides[0].lastingMs, 255.0);
        QCOMPARE(m.dealGlides[0].stepMs, 302.0);
        QCOMPARE(m.dealGlides[1].lastingMs, -1.0);
        QCOMPARE(m.dealGlides[1].stepMs, 306.0);
        QCOMPARE(m.dealGlides[2].lastingMs, 90.0);
        QCOMPARE(m.dealStepMs, (std::vector<double>{302.0, 306.0, 302.0}));
        QCOMPARE(m.glideTickMs, (std::vector<double>{15.0, 16.0, 15.0, 15.0}));
        QVERIFY(m.glideUnmeasured.empty());
        QVERIFY(m.stampMs.empty());
    }

    void anOverflowedTraceIsSaid() {
        const std::vector<Entry> entries = {mark(0, Event::GlideStart)};
        qbx::machinecheck::Measurements m;
        qbx::addTraceFigures(entries.data(), entries.size(), 3, {}, m);
        QVERIFY(!m.glideUnmeasured.empty());
    }
};

QTEST_MAIN(TestTraceFigures)
#include "test_trace_figures.moc"
