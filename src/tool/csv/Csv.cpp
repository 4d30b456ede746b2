#include "tool/csv/Csv.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

#include "core/eventlog/LogFormat.h"
#include "tool/csv/CsvRow.h"
#include "tool/csv/Readers.h"
#include "tool/Tool.h"
#include "tool/logs/LinesLeftOut.h"
#include "tool/logs/Progress.h"
#include "tool/logs/Session.h"

namespace qbx::tool::logs {

using namespace csv;

namespace {

// Inline: called for every row, and the switch is one look-up in a table.
inline std::string_view recordName(LogRecordKind kind) {
    switch (kind) {
    case LogRecordKind::RoleHeader: return "role_header";
    case LogRecordKind::GameBegins: return "game_begins";
    case LogRecordKind::UserHeader: return "participant_header";
    case LogRecordKind::FixedHeader: return "fixed_header";
    case LogRecordKind::GameStarted: return "game_started";
    case LogRecordKind::CardDealt: return "card_dealt";
    case LogRecordKind::PickedUp: return "pick_up";
    case LogRecordKind::LookedAt: return "look";
    case LogRecordKind::OwnMove: return "own_move";
    case LogRecordKind::RemoteMove: return "remote_move";
    case LogRecordKind::OwnPass: return "own_pass";
    case LogRecordKind::RemotePass: return "remote_pass";
    case LogRecordKind::HandEnded: return "hand_end";
    case LogRecordKind::HandEndClose: return "hand_end_close";
    case LogRecordKind::ShoeExhausted: return "shoe_exhausted";
    case LogRecordKind::GameDone: return "game_done";
    case LogRecordKind::TotalMoves: return "total_moves";
    }
    return "";
}

std::string_view endedBy(const Hand& h) {
    if (h.ends.empty()) return "";
    if (h.ends.size() > 1) return "several";
    const std::string& code = h.ends.front().code;
    return code == logtext::kGoalCode ? "goal" : code == logtext::kFourPassesCode ? "four_passes" : "move_limit";
}

// What a hand that has not ended gives the end block's columns: empty fields.
const HandEndBlock kNoEnd;

}  // namespace

namespace {

std::vector<std::string> namesOf(const std::vector<CsvColumn>& columns) {
    std::vector<std::string> names;
    names.reserve(columns.size());
    for (const CsvColumn& c : columns) names.emplace_back(c.name);
    return names;
}

}  // namespace

// events.csv: its columns, in the order appendEventRow writes them.
const std::vector<std::string>& eventColumns() {
    static const std::vector<std::string> columns = namesOf(eventsCodebook());
    return columns;
}

namespace {

// One row of events.csv (appendEventRow), inlined where the sessions are
// read: a call per record costs about 1% of a run.
[[gnu::always_inline]] inline void writeEventRow(RowBytes& rows, std::string_view leading, const RecordPlace& place,
                                                 const LogRecord& r) {
    // Every field but the leading ones is a piece of the line or a number;
    // the participant's text may double (quotes, or Latin-1 made UTF-8).
    RowWriter row(rows, leading.size() + 4 * r.raw.size() + 256);
    row.fields(leading);
    row.field(place.colorKeeperLog ? "ck" : "nk");
    row.number(r.line);
    if (r.stampCount > 0) {
        row.stampMs(r);
        row.number(place.sinceStartMs);
    } else {
        row.empty();
        row.empty();
    }
    row.numberIf(place.hand > 0, place.hand);
    row.field(recordName(r.kind));
    row.field(r.code);
    // The role that acted (a pick-up's, as the action after it tells).
    if (place.actor)
        row.field(place.actor == 'c' ? "ck" : "nk");
    else
        row.empty();
    row.field(r.cardA);
    row.field(r.positionA);
    row.field(r.cardB);
    row.field(r.positionB);
    row.numberIf(r.moves >= 0, r.moves);
    row.field(r.score);
    row.numberIf(r.totalMoves >= 0, r.totalMoves);
    // Only the participant header has free text: the reader has matched
    // every other record's text against its fixed words, none of which
    // needs quotes.
    if (r.kind == LogRecordKind::UserHeader)
        row.text(asUtf8(r.text));
    else
        row.field(r.text);
    row.end();
}

}  // namespace

void appendEventRow(RowBytes& rows, std::string_view leading, const RecordPlace& place, const LogRecord& r) {
    writeEventRow(rows, leading, place, r);
}

// hands.csv: its columns, in the order appendHandRow writes them.
const std::vector<std::string>& handColumns() {
    static const std::vector<std::string> columns = namesOf(handsCodebook());
    return columns;
}

bool readAsFormula(std::string_view cell) {
    return !cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
}

std::string sessionTrailingFields(const RunRecord* record) {
    if (!record) return ",,,,,";
    return leadingFields({record->setupShort, record->version, record->continues ? record->continues->session : "",
                          record->continues ? std::to_string(record->continues->hand) : "",
                          record->simulated ? "true" : "false"});
}

// A hand's fields are short: the cards, codes and scores are bytes of the
// logs, the numbers a few digits each.
void appendHandRow(RowBytes& rows, std::string_view leading, const Hand& h, std::string_view trailing) {
    size_t longest = leading.size() + trailing.size() + h.opener.size() + h.goal.size() + 256;
    for (const std::string& card : h.dealt) longest += card.size();
    for (const HandEndBlock& e : h.ends) longest += e.code.size() + 1;
    if (h.ended()) longest += h.ends.front().ckScore.size() + h.ends.front().nkScore.size();
    RowWriter row(rows, longest);
    row.fields(leading);
    row.number(h.number);
    row.field(h.opener);
    for (const std::string& card : h.dealt) row.field(card);  // the six places, in the order of their columns
    row.field(h.goal);
    for (int n : {h.ckSwaps, h.ckPasses, h.nkSwaps, h.nkPasses, h.actionsTaken(), h.ckPickUps, h.nkPickUps, h.ckLooks,
                  h.nkLooks})
        row.number(n);
    row.field(endedBy(h));
    row.field(h.endCodes());
    const HandEndBlock& e = h.ended() ? h.ends.front() : kNoEnd;
    row.numberIf(e.ckCount >= 0, e.ckCount);
    row.numberIf(e.nkCount >= 0, e.nkCount);
    row.field(e.ckScore);
    row.field(e.nkScore);
    row.numberIf(h.ended() && h.dealMs >= 0 && h.endMs >= 0, h.endMs - h.dealMs);
    row.numberIf(h.fewest.has_value(), h.fewest.value_or(0));
    if (const std::optional<double> efficiency = h.efficiency())
        row.fourDecimals(*efficiency);
    else
        row.empty();
    row.fields(trailing);
    row.end();
}

namespace {

void writeHeader(OutputFile& table, const std::vector<std::string>& columns) {
    size_t longest = 1;
    for (const std::string& name : columns) longest += name.size() + 1;
    RowBytes header;
    RowWriter row(header, longest);
    for (const std::string& name : columns) row.field(name);
    row.end();
    table.write(header.data(), header.size());
}

// What one session gives the tables: its rows, its messages and its counts.
struct SessionRows {
    RowBytes events;
    RowBytes hands;
    // Rows read before the participant code is known (EventRows); kept
    // here so that their block is made once per slot, not per session.
    RowBytes waiting;
    std::vector<size_t> waitingEnds;
    std::string messages;
    long long records = 0;
    long long handCount = 0;
    bool formulaCode = false;  // the participant code begins as a formula does
    int linesLeftOut = 0;
    bool otherFaults = false;
    std::exception_ptr error;
};

// Every row starts with the session, its date and the participant code of
// the session's first log (the ColorKeeper's when there is one), as its
// first four lines give it. The two logs are read side by side, so a few
// rows come before that code is known: they wait, without the start, in a
// block of their own.
class EventRows : public SessionSink {
public:
    EventRows(SessionRows& out, bool writing, const LogPair& pair, bool spreadsheetSafe)
        : spreadsheetSafe_(spreadsheetSafe),
          rows_(out.events),
          waiting_(out.waiting),
          waitingEnds_(out.waitingEnds),
          out_(out),
          writing_(writing),
          headerFile_(pair.ckPath.empty() ? pair.nkPath : pair.ckPath),
          headerInCkLog_(!pair.ckPath.empty()),
          name_(pair.name) {}
    void record(const RecordPlace& place, const LogRecord& r) override {
        ++out_.records;
        if (!participantKnown_ && place.colorKeeperLog == headerInCkLog_) {
            if (r.kind == LogRecordKind::UserHeader) {
                knowParticipant(session::participantCode(r.participant));
            } else {
                headerLineSeen();
            }
        }
        if (!writing_) return;
        if (participantKnown_) {
            writeEventRow(rows_, leading_, place, r);
        } else {
            writeEventRow(waiting_, {}, place, r);  // its leading fields come with the code
            waitingEnds_.push_back(waiting_.size());
        }
    }
    // The session has been read: a first log without the code has none.
    void finish() {
        if (!participantKnown_) knowParticipant({});
    }
    const std::string& leading() const { return leading_; }
    void fault(const SessionFault& f) override {
        if (!participantKnown_ && f.file == headerFile_ && losesRecords(f.kind)) {
            if (f.line == 0)
                knowParticipant({});  // unreadable or empty
            else
                headerLineSeen();
        }
        leftOut_.fault(f);
        out_.linesLeftOut = leftOut_.count();
        if (!losesRecords(f.kind)) out_.otherFaults = true;
    }
    void warning(const SessionFault& w) override { leftOut_.warning(w); }

private:
    // The code is looked for in the first four lines, records or not.
    void headerLineSeen() {
        if (++headerLines_ == 4) knowParticipant({});
    }
    void knowParticipant(const std::string& code) {
        std::string cell = asUtf8(code);
        out_.formulaCode = readAsFormula(cell);
        if (out_.formulaCode && spreadsheetSafe_) cell.insert(0, 1, '\'');
        leading_ = leadingFields({name_.suffix, name_.isoDate(), cell});
        participantKnown_ = true;
        size_t from = 0;
        for (const size_t end : waitingEnds_) {
            rows_.append(leading_);
            rows_.append(std::string_view(waiting_.data() + from, end - from));
            from = end;
        }
    }

    bool spreadsheetSafe_;
    RowBytes& rows_;
    RowBytes& waiting_;
    std::vector<size_t>& waitingEnds_;
    SessionRows& out_;
    bool writing_;
    const std::string& headerFile_;
    bool headerInCkLog_;
    const LogName& name_;
    std::string leading_;  // the session, its date and the participant code, once known
    bool participantKnown_ = false;
    int headerLines_ = 0;
    LinesLeftOut leftOut_{&out_.messages};
};

void convertSession(const LogFolder& logs, size_t k, const CsvOptions& options, SessionRows& out) {
    const LogPair& pair = logs.pairs[k];
    const GameSetup* setup = k < options.setups.size() ? options.setups[k] : nullptr;
    out.events.clear();
    out.hands.clear();
    out.waiting.clear();
    out.waitingEnds.clear();
    out.messages.clear();
    out.records = out.handCount = 0;
    out.formulaCode = false;
    out.linesLeftOut = 0;
    out.otherFaults = false;
    out.error = nullptr;
    if (!pair.complete())
        out.messages += (pair.ckPath.empty() ? pair.nkPath : pair.ckPath) + ": no " +
                        (pair.ckPath.empty() ? "ColorKeeper" : "NumberKeeper") + " log " + partnerLogName(pair.name) +
                        " beside it (its records are in the table)\n";
    EventRows rows(out, !options.eventsPath.empty(), pair, options.spreadsheetSafe);
    const Session session = readSession(pair, setup, rows);
    rows.finish();
    if (session.dealsNotFromSetup) out.messages += dealsNotFromSetupWarning(session, *setup) + "\n";
    if (!options.handsPath.empty()) {
        const std::string trailing = sessionTrailingFields(pair.record.get());
        for (const Hand& h : session.hands) appendHandRow(out.hands, rows.leading(), h, trailing);
    }
    out.handCount = static_cast<long long>(session.hands.size());
}

// Sessions are turned into rows by two threads (the caller's and one more),
// a few sessions ahead of the one being written; the tables and the messages
// keep the order of the sessions, and memory holds at most kSessionsAhead
// sessions' rows. There is no writer thread: a thread that has finished a
// session writes, in order, every session that is ready, unless the other
// thread is doing so already. A thread sleeps only when it is that far ahead.
constexpr size_t kSessionsAhead = 8;

class SessionWorkers {
public:
    // Writes the rows of session k; called in the order of the sessions, by
    // one thread at a time.
    using Writer = std::function<void(size_t k, SessionRows& rows)>;

    SessionWorkers(const LogFolder& logs, const CsvOptions& options, Writer write)
        : logs_(logs), options_(options), write_(std::move(write)) {}

    // Returns when every session is written; rethrows the first error (a
    // session that could not be read, a table that could not be written).
    void run() {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const size_t threadCount = std::min<size_t>({cores, 2, logs_.pairs.size()});
        const size_t helpers = threadCount > 1 ? threadCount - 1 : 0;
        std::vector<std::thread> threads;
        for (size_t i = 0; i < helpers; ++i) threads.emplace_back([this] { work(); });
        work();
        for (std::thread& t : threads) t.join();
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    // A cache line or more each: two threads fill neighbouring slots row by
    // row, and must not share a line.
    struct alignas(64) Slot {
        SessionRows rows;
        bool ready = false;
    };

    void work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            roomFreed_.wait(lock,
                            [&] { return stop_ || next_ >= logs_.pairs.size() || next_ < written_ + kSessionsAhead; });
            if (stop_ || next_ >= logs_.pairs.size()) return;
            const size_t k = next_++;
            Slot& slot = slots_[k % kSessionsAhead];
            lock.unlock();
            try {
                convertSession(logs_, k, options_, slot.rows);
            } catch (...) {
                slot.rows.error = std::current_exception();
            }
            lock.lock();
            slot.ready = true;
            if (writing_) continue;  // the thread writing will come to it
            writing_ = true;
            while (!stop_ && written_ < logs_.pairs.size() && slots_[written_ % kSessionsAhead].ready) {
                const size_t w = written_;
                Slot& done = slots_[w % kSessionsAhead];
                lock.unlock();
                std::exception_ptr error = done.rows.error;
                if (!error) {
                    try {
                        write_(w, done.rows);
                    } catch (...) {
                        error = std::current_exception();
                    }
                }
                lock.lock();
                if (error) {
                    failure_ = error;
                    stop_ = true;
                }
                done.ready = false;
                ++written_;
                roomFreed_.notify_all();
            }
            writing_ = false;
        }
    }

    const LogFolder& logs_;
    const CsvOptions& options_;
    Writer write_;
    std::array<Slot, kSessionsAhead> slots_;
    std::mutex mutex_;
    std::condition_variable roomFreed_;
    size_t next_ = 0, written_ = 0;
    bool writing_ = false, stop_ = false;
    std::exception_ptr failure_;
};

}  // namespace

CsvCounts writeCsv(const LogFolder& logs, const CsvOptions& options, std::ostream& messages) {
    CsvCounts counts;
    std::unique_ptr<OutputFile> events, hands;
    if (!options.eventsPath.empty()) events = std::make_unique<OutputFile>(options.eventsPath);
    if (!options.handsPath.empty()) hands = std::make_unique<OutputFile>(options.handsPath);
    std::unique_ptr<OutputFile> codebook;
    if (!options.codebookPath.empty()) codebook = std::make_unique<OutputFile>(options.codebookPath);
    std::unique_ptr<OutputFile> pandas, r;
    if (!options.pandasReaderPath.empty()) pandas = std::make_unique<OutputFile>(options.pandasReaderPath);
    if (!options.rReaderPath.empty()) r = std::make_unique<OutputFile>(options.rReaderPath);
    if (events) writeHeader(*events, eventColumns());
    if (hands) writeHeader(*hands, handColumns());
    Progress progress("csv", logs.pairs.size());
    SessionWorkers workers(logs, options, [&](size_t k, SessionRows& rows) {
        messages << rows.messages;
        if (events) events->write(rows.events.data(), rows.events.size());
        if (hands) hands->write(rows.hands.data(), rows.hands.size());
        if (!logs.pairs[k].complete()) ++counts.unpaired;
        if (rows.otherFaults) ++counts.sessionsWithFaults;
        ++counts.sessions;
        counts.events += rows.records;
        counts.hands += rows.handCount;
        if (rows.formulaCode) counts.formulaCells += (events ? rows.records : 0) + (hands ? rows.handCount : 0);
        counts.linesLeftOut += rows.linesLeftOut;
        progress.step();
    });
    workers.run();
    if (codebook) {
        std::vector<PackageSession> sessions;
        sessions.reserve(logs.pairs.size());
        for (const LogPair& pair : logs.pairs)
            sessions.push_back({pair.name.suffix, pair.record ? pair.record->setupHash : std::string(),
                                pair.record ? pair.record->version : std::string()});
        codebook->write(dataPackageJson(options.codebookTables, sessions));
    }
    if (pandas) pandas->write(pandasReader(options.codebookTables));
    if (r) r->write(rReader(options.codebookTables));
    if (hands) hands->commit();
    if (events) events->commit();
    if (codebook) codebook->commit();
    if (pandas) pandas->commit();
    if (r) r->commit();
    return counts;
}

}  // namespace qbx::tool::logs
