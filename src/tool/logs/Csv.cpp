#include "tool/logs/Csv.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <ostream>

#include "table/log/TimeStamp.h"
#include "tool/Tool.h"
#include "tool/logs/Progress.h"
#include "tool/logs/Session.h"

namespace qbx::tool::logs {

namespace {

constexpr size_t kFlushAt = 1 << 20;

const char* recordName(LogRecordKind kind) {
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

void appendNumber(std::string& row, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    row.append(digits, end);
}

void appendHeader(std::string& row, const std::vector<std::string>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) row += ',';
        row += columns[i];
    }
    row += "\r\n";
}

// The participant code from the third header line, read before the session
// so that every row can carry it.
std::string participantOf(const std::string& path) {
    if (path.empty()) return {};
    LogReader reader;
    std::string error;
    if (!reader.open(path, error)) return {};
    LogRecord r;
    LogFault f;
    for (int i = 0; i < 4; ++i) {
        const auto next = reader.next(r, f);
        if (next == LogReader::Next::End) break;
        if (next == LogReader::Next::Record && r.kind == LogRecordKind::UserHeader) {
            std::string code(r.participant);
            if (code.size() >= 3 && code.compare(code.size() - 3, 3, "   ") == 0) code.resize(code.size() - 3);
            return code;
        }
    }
    return {};
}

bool losesRecords(const std::string& kind) {
    for (int k = 0; k <= static_cast<int>(LogFaultKind::UnknownRecord); ++k)
        if (kind == faultKindName(static_cast<LogFaultKind>(k))) return true;
    return kind == "empty";
}

class EventRows : public SessionSink {
public:
    EventRows(OutputFile* out, std::ostream& messages) : out_(out), messages_(messages) {}
    void beginSession(const std::string& prefix) {
        prefix_ = prefix;
        otherFaults = 0;
    }
    void record(const RecordPlace& place, const LogRecord& r) override {
        ++events;
        if (!out_) return;
        std::string& b = buffer_;
        b += prefix_;
        b += place.colorKeeperLog ? "ck," : "nk,";
        appendNumber(b, r.line);
        b += ',';
        if (r.stampCount > 0) {
            appendNumber(b, r.first.ms());
            b += ',';
            appendNumber(b, place.sinceStartMs);
        } else {
            b += ',';
        }
        b += ',';
        if (place.hand > 0) appendNumber(b, place.hand);
        b += ',';
        b += recordName(r.kind);
        b += ',';
        b.append(r.code);
        b += ',';
        if (r.role) b += r.role == 'c' ? "ck" : "nk";
        else if (r.kind == LogRecordKind::RemoteMove || r.kind == LogRecordKind::RemotePass)
            b += place.colorKeeperLog ? "nk" : "ck";
        b += ',';
        b.append(r.cardA);
        b += ',';
        b.append(r.positionA);
        b += ',';
        b.append(r.cardB);
        b += ',';
        b.append(r.positionB);
        b += ',';
        if (r.moves >= 0) appendNumber(b, r.moves);
        b += ',';
        b.append(r.score);
        b += ',';
        if (r.totalMoves >= 0) appendNumber(b, r.totalMoves);
        b += ',';
        if (r.kind == LogRecordKind::UserHeader)
            appendCsvField(b, toUtf8(r.text));
        else
            appendCsvField(b, r.text);
        b += "\r\n";
        if (b.size() >= kFlushAt) flush();
    }
    void fault(const SessionFault& f) override {
        if (losesRecords(f.kind)) {
            ++linesLeftOut;
            messages_ << f.file << (f.line ? ":" + std::to_string(f.line) : std::string()) << ": " << f.what
                      << (f.line ? " (left out)" : "") << "\n";
        } else {
            ++otherFaults;
        }
    }
    void flush() {
        if (out_ && !buffer_.empty()) out_->write(buffer_);
        buffer_.clear();
    }
    long long events = 0;
    int linesLeftOut = 0;
    int otherFaults = 0;

private:
    OutputFile* out_;
    std::ostream& messages_;
    std::string buffer_;
    std::string prefix_;
};

const char* endedBy(const Hand& h) {
    if (h.ends.empty()) return "";
    if (h.ends.size() > 1) return "several";
    const std::string& code = h.ends.front().code;
    return code == "GE" ? "goal" : code == "GP" ? "four_passes" : "move_limit";
}

void appendHand(std::string& b, const std::string& prefix, const Hand& h) {
    b += prefix;
    appendNumber(b, h.number);
    b += ',';
    b += h.opener;
    for (const std::string& card : h.dealt) {
        b += ',';
        b += card;
    }
    b += ',';
    b += h.goal;
    for (int n : {h.ckSwaps, h.ckPasses, h.nkSwaps, h.nkPasses, h.actionsTaken(), h.ckPickUps, h.nkPickUps,
                  h.ckLooks, h.nkLooks}) {
        b += ',';
        appendNumber(b, n);
    }
    b += ',';
    b += endedBy(h);
    b += ',';
    b += h.endCodes();
    b += ',';
    if (h.ended()) {
        const HandEndBlock& e = h.ends.front();
        if (e.ckCount >= 0) appendNumber(b, e.ckCount);
        b += ',';
        if (e.nkCount >= 0) appendNumber(b, e.nkCount);
        b += ',' + e.ckScore + ',' + e.nkScore + ',';
        if (h.dealMs >= 0 && h.endMs >= 0) appendNumber(b, h.endMs - h.dealMs);
    } else {
        b += ",,,,";
    }
    b += ',';
    if (h.fewest) appendNumber(b, *h.fewest);
    b += ',';
    if (h.fewest && h.ended() && h.actionsTaken() > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4f", double(*h.fewest) / h.actionsTaken());
        b += text;
    }
    b += "\r\n";
}

}  // namespace

const std::vector<std::string>& eventColumns() {
    static const std::vector<std::string> columns = {
        "session", "date", "participant", "log", "line", "stamp_ms", "since_start_ms", "hand", "record", "code",
        "actor", "card_a", "position_a", "card_b", "position_b", "moves", "score", "total_moves", "text"};
    return columns;
}

const std::vector<std::string>& handColumns() {
    static const std::vector<std::string> columns = {
        "session", "date", "participant", "hand", "opener", "colorCardView", "downColorCardView", "upCardView",
        "downNumberCardView", "numberCardView", "targetCardView", "goal", "ck_swaps", "ck_passes", "nk_swaps",
        "nk_passes", "actions", "ck_pick_ups", "nk_pick_ups", "ck_looks", "nk_looks", "ended_by", "end_codes",
        "ck_count", "nk_count", "ck_score", "nk_score", "deal_to_end_ms", "fewest", "efficiency"};
    return columns;
}

void appendCsvField(std::string& row, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        row.append(field);
        return;
    }
    row += '"';
    for (char c : field) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

CsvCounts writeCsv(const LogFolder& logs, const CsvOptions& options, std::ostream& messages) {
    CsvCounts counts;
    std::unique_ptr<OutputFile> events, hands;
    if (!options.eventsPath.empty()) events = std::make_unique<OutputFile>(options.eventsPath);
    if (!options.handsPath.empty()) hands = std::make_unique<OutputFile>(options.handsPath);
    std::string handRows;
    if (events) {
        std::string header;
        appendHeader(header, eventColumns());
        events->write(header);
    }
    if (hands) appendHeader(handRows, handColumns());
    EventRows rows(events.get(), messages);
    Progress progress("csv", logs.pairs.size());
    for (const LogPair& pair : logs.pairs) {
        if (!pair.complete()) {
            ++counts.unpaired;
            messages << (pair.ckPath.empty() ? pair.nkPath : pair.ckPath) << ": no "
                     << (pair.ckPath.empty() ? "ColorKeeper" : "NumberKeeper") << " log "
                     << partnerLogName(pair.name) << " beside it (its records are in the table)\n";
        }
        std::string prefix;
        appendCsvField(prefix, pair.name.suffix);
        prefix += ',' + pair.name.isoDate() + ',';
        appendCsvField(prefix, toUtf8(participantOf(pair.ckPath.empty() ? pair.nkPath : pair.ckPath)));
        prefix += ',';
        rows.beginSession(prefix);
        const Session session = readSession(pair, options.setup, rows);
        rows.flush();
        if (rows.otherFaults) ++counts.sessionsWithFaults;
        ++counts.sessions;
        if (hands) {
            for (const Hand& h : session.hands) appendHand(handRows, prefix, h);
            if (handRows.size() >= kFlushAt) {
                hands->write(handRows);
                handRows.clear();
            }
        }
        counts.hands += static_cast<long long>(session.hands.size());
        progress.step();
    }
    counts.events = rows.events;
    counts.linesLeftOut = rows.linesLeftOut;
    if (hands) {
        hands->write(handRows);
        hands->commit();
    }
    if (events) events->commit();
    return counts;
}

}  // namespace qbx::tool::logs
