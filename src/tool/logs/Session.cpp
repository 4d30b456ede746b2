#include "tool/logs/Session.h"

#include <algorithm>
#include <cstdio>

#include "core/eventlog/LogFormat.h"
#include "core/eventlog/LogReader.h"
#include "core/session/SessionActions.h"
#include "core/session/SessionTime.h"
#include "tool/logs/LogCheck.h"

namespace qbx::tool::logs {

namespace {

std::string lineRef(const std::string& file, long line) { return file + ":" + std::to_string(line); }

// A log being read, and its tracker.
struct LogStream {
    LogStream(bool ck, const std::string& path, const GameSetup* setup, SessionSink& sink, bool keepActions)
        : path(path),
          tracker(ck ? Role::Ck : Role::Nk, this->path, setup, sink, keepActions),
          colorKeeper(ck),
          sink(sink) {}
    std::string path;
    LogReader reader;
    LogCheck tracker;
    bool colorKeeper;
    SessionSink& sink;
    bool open = false, ended = false, hadFault = false;
    LogRecord record;
    LogFault f;  // kept, as most calls have none to report
    // Pick-ups read and not yet handed on: whose they were, a later record
    // tells (LogCheck::pickUpActor). Each is kept with a copy of its line, as
    // the reader's buffer moves on; the copies are reused.
    struct PickUp {
        std::string line;
        LogRecord record;
        RecordPlace place;
    };
    std::vector<PickUp> pickUps;
    size_t pickUpsHeld = 0;

    void holdPickUp(const RecordPlace& place) {
        if (pickUpsHeld == pickUps.size()) pickUps.emplace_back();
        PickUp& p = pickUps[pickUpsHeld++];
        p.line.assign(record.raw);
        p.record = record;
        p.record.moveViewsTo(p.line.data());
        p.place = place;
    }

    void handOnPickUps() {
        if (pickUpsHeld == 0) return;
        const char actor = tracker.pickUpActor() == Role::Ck ? 'c' : 'n';
        for (size_t i = 0; i < pickUpsHeld; ++i) {
            pickUps[i].place.actor = actor;
            sink.record(pickUps[i].place, pickUps[i].record);
        }
        pickUpsHeld = 0;
    }

    // The next record that has a mirror in the other log; the others are
    // checked and handed on as they pass.
    bool nextShared() {
        while (open && !ended) {
            switch (reader.next(record, f)) {
            case LogReader::Next::End:
                ended = true;
                tracker.finish();
                handOnPickUps();
                if (reader.alteration().any())
                    sink.warning({path, 0, SessionFaultKind::Warning, alterationText(reader.alteration())});
                return false;
            case LogReader::Next::Fault:
                hadFault = true;
                tracker.noteFault(f);
                continue;
            case LogReader::Next::Record:
                tracker.feed(record);
                RecordPlace place{colorKeeper, &path, tracker.hands.empty() ? 0 : tracker.hands.back().number,
                                  tracker.lastSince};
                if (!tracker.hasStart || record.kind == LogRecordKind::ShoeExhausted ||
                    record.kind == LogRecordKind::GameDone || record.kind == LogRecordKind::TotalMoves ||
                    record.kind == LogRecordKind::GameStarted || record.line <= 4)
                    place.hand = 0;
                if (record.kind == LogRecordKind::PickedUp) {
                    holdPickUp(place);
                    continue;
                }
                handOnPickUps();
                if (const std::optional<Role> actor = session::actorOf(record, colorKeeper ? Role::Ck : Role::Nk))
                    place.actor = *actor == Role::Ck ? 'c' : 'n';
                sink.record(place, record);
                if (session::isMirrored(record.kind)) return true;
            }
        }
        return false;
    }
};

// The hands are moved out of the trackers, which are done with.
void mergeHands(Session& s, LogCheck& ck, LogCheck& nk) {
    const size_t count = std::max(ck.hands.size(), nk.hands.size());
    s.hands.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Hand* c = i < ck.hands.size() ? &ck.hands[i] : nullptr;
        Hand* n = i < nk.hands.size() ? &nk.hands[i] : nullptr;
        Hand h = std::move(c ? *c : *n);
        if (c && n) {
            if (h.opener.empty()) h.opener = n->opener;
            if (h.goal.empty()) h.goal = n->goal;
            for (size_t b = 0; b < h.ends.size() && b < n->ends.size(); ++b) {
                h.ends[b].nkCount = n->ends[b].nkCount;
                h.ends[b].nkScore = n->ends[b].nkScore;
            }
            if (!n->ends.empty() && h.ends.size() < n->ends.size())
                for (size_t b = h.ends.size(); b < n->ends.size(); ++b) h.ends.push_back(n->ends[b]);
            // Each log has its own pick-ups and looks, whoever made them.
            h.ckPickUps += n->ckPickUps;
            h.nkPickUps += n->nkPickUps;
            h.ckLooks += n->ckLooks;
            h.nkLooks += n->nkLooks;
            for (const HandAction& a : n->actions)
                if (a.kind == ActionKind::PickUp || a.kind == ActionKind::Look) h.actions.push_back(a);
            std::stable_sort(h.actions.begin(), h.actions.end(),
                             [](const HandAction& a, const HandAction& b) { return a.atMs < b.atMs; });
        }
        s.hands.push_back(std::move(h));
    }
}

}  // namespace

int Session::handsPlayed() const {
    int n = 0;
    for (const Hand& h : hands) n += h.ended();
    return n;
}

std::optional<double> Session::ckTotal() const {
    if (pair.ckPath.empty() || ckUnreadable) return std::nullopt;
    double total = 0;
    for (const Hand& h : hands)
        if (h.ended() && !h.ends.front().ckScore.empty()) total += std::stod(h.ends.front().ckScore);
    return total;
}

std::optional<double> Session::nkTotal() const {
    if (pair.nkPath.empty() || nkUnreadable) return std::nullopt;
    double total = 0;
    for (const Hand& h : hands)
        if (h.ended() && !h.ends.front().nkScore.empty()) total += std::stod(h.ends.front().nkScore);
    return total;
}

std::string totalText(const std::optional<double>& total) { return total ? scoreText(*total) : std::string(); }

std::string dealsNotFromSetupWarning(const Session& session, const GameSetup& setup) {
    return session.pair.name.suffix + ": warning: its hands are not those of the shoe " + setup.shoePath +
           ": the fewest actions and the efficiency are left empty for this session";
}

std::string clockText(const LogStamp& stamp) { return session::clockText(stamp.ms()); }

namespace {

// Reads both logs, opened, side by side.
Session readStreams(const LogPair& pair, LogStream& ck, LogStream& nk, SessionSink& sink, int openFaults) {
    Session s;
    s.pair = pair;
    s.faults = openFaults;
    s.ckUnreadable = !ck.path.empty() && !ck.open;
    s.nkUnreadable = !nk.path.empty() && !nk.open;
    bool mirrored = ck.open && nk.open;
    for (;;) {
        const bool haveCk = ck.nextShared();
        const bool haveNk = mirrored ? nk.nextShared() : false;
        if (!mirrored || !haveCk || !haveNk) break;
        if (ck.hadFault || nk.hadFault) {
            // An unreadable line leaves the two logs out of step.
            mirrored = false;
            break;
        }
        const std::string why = session::mirrorDifference(ck.record, nk.record);
        if (!why.empty()) {
            ++s.faults;
            sink.fault({ck.path, ck.record.line, SessionFaultKind::Mirror,
                        why + " at " + lineRef(nk.path, nk.record.line) + ": the two logs part here"});
            mirrored = false;
            break;
        }
    }
    // Read on to the end of each log alone.
    while (ck.nextShared()) {}
    while (nk.nextShared()) {}
    for (LogStream* stream : {&ck, &nk})
        if (stream->open && stream->tracker.lines == 0 && stream->reader.linesRead() == 0) {
            ++s.faults;
            sink.fault({stream->path, 0, SessionFaultKind::Empty, "the log is empty"});
        }
    const LogCheck& c = ck.tracker;
    const LogCheck& n = nk.tracker;
    s.faults += c.faults + n.faults;
    s.participant = !c.participant.empty() || n.participant.empty() ? c.participant : n.participant;
    s.hasStart = c.hasStart || n.hasStart;
    s.start = c.hasStart ? c.start : n.start;
    const LogCheck& later = (n.hasStart && (!c.hasStart || n.lastSince > c.lastSince)) ? n : c;
    s.last = later.last;
    s.lastMs = later.lastSince;
    s.crossesMidnight = c.crossedMidnight || n.crossedMidnight;
    s.gameEnded = pair.complete() ? c.done() && n.done() : pair.ckPath.empty() ? n.done() : c.done();
    s.totalMoves = c.totalMoves >= 0 ? c.totalMoves : n.totalMoves;
    mergeHands(s, ck.tracker, nk.tracker);
    s.dealsNotFromSetup = c.dealsNotFromSetup || n.dealsNotFromSetup;
    if (s.dealsNotFromSetup)
        for (Hand& h : s.hands) h.fewest.reset();
    s.lastHand = s.hands.empty() ? 0 : s.hands.back().number;
    return s;
}

}  // namespace

Session readSession(const LogPair& pair, const GameSetup* setup, SessionSink& sink, bool keepActions) {
    LogStream ck(true, pair.ckPath, setup, sink, keepActions);
    LogStream nk(false, pair.nkPath, setup, sink, keepActions);
    int faults = 0;
    for (LogStream* stream : {&ck, &nk}) {
        if (stream->path.empty()) continue;
        std::string error;
        stream->open = stream->reader.open(stream->path, error);
        if (!stream->open) {
            ++faults;
            sink.fault({stream->path, 0, SessionFaultKind::CannotRead, error});
        }
    }
    return readStreams(pair, ck, nk, sink, faults);
}

Session readSessionText(const LogPair& pair, std::string_view ckLog, std::string_view nkLog, const GameSetup* setup,
                        SessionSink& sink) {
    LogStream ck(true, pair.ckPath, setup, sink, false);
    LogStream nk(false, pair.nkPath, setup, sink, false);
    ck.reader.openText(ckLog);
    nk.reader.openText(nkLog);
    ck.open = nk.open = true;
    return readStreams(pair, ck, nk, sink, 0);
}

}  // namespace qbx::tool::logs
