#include "tool/logs/Csv.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
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

std::string_view recordName(LogRecordKind kind) {
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

// The rows of a table, written straight into one large block of bytes and
// handed to the file a megabyte at a time: no allocation and no length
// check per field. Each row first makes room for the longest it can be.
class RowBlock {
public:
    explicit RowBlock(OutputFile* out) : out_(out) {}
    // Room for `bytes` more; flushes first when the block is full.
    char* reserve(size_t bytes) {
        if (used_ >= kFlushAt) flush();
        if (used_ + bytes > capacity_) {
            const size_t capacity = std::max(capacity_ * 2, used_ + bytes + kFlushAt);
            std::unique_ptr<char[]> bigger(new char[capacity]);
            if (used_) std::memcpy(bigger.get(), block_.get(), used_);
            block_ = std::move(bigger);
            capacity_ = capacity;
        }
        return block_.get() + used_;
    }
    void commit(char* end) { used_ = static_cast<size_t>(end - block_.get()); }
    void flush() {
        if (out_ && used_) out_->write(block_.get(), used_);
        used_ = 0;
    }

private:
    OutputFile* out_;
    std::unique_ptr<char[]> block_;
    size_t capacity_ = 0, used_ = 0;
};

char* put(char* at, std::string_view text) {
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

char* putNumber(char* at, long long value) { return std::to_chars(at, at + 24, value).ptr; }

// A comma, a quote, a CR or a LF in the field: eight bytes at a time, as
// every record's text is looked at.
bool needsQuotes(std::string_view field) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    auto holds = [](uint64_t word, char c) {
        const uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
        return ((x - kOnes) & ~x & kHighs) != 0;
    };
    size_t i = 0;
    for (; i + 8 <= field.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, field.data() + i, 8);
        if (holds(word, ',') || holds(word, '"') || holds(word, '\r') || holds(word, '\n')) return true;
    }
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    }
    return false;
}

// One field, quoted when it holds a comma, a quote or a line end; at most
// twice its length and two bytes.
char* putField(char* at, std::string_view field) {
    if (!needsQuotes(field)) return put(at, field);
    *at++ = '"';
    for (const char c : field) {
        if (c == '"') *at++ = '"';
        *at++ = c;
    }
    *at++ = '"';
    return at;
}

class EventRows : public SessionSink {
public:
    EventRows(OutputFile* out, std::ostream& messages) : rows_(out), messages_(messages), writing_(out) {}
    void beginSession(const std::string& prefix) {
        prefix_ = prefix;
        otherFaults = 0;
    }
    void record(const RecordPlace& place, const LogRecord& r) override {
        ++events;
        if (!writing_) return;
        // Every field but the prefix is a piece of the line or a number; the
        // participant's text may double (quotes, or Latin-1 made UTF-8).
        char* b = rows_.reserve(prefix_.size() + 4 * r.raw.size() + 256);
        b = put(b, prefix_);
        b = put(b, place.colorKeeperLog ? "ck," : "nk,");
        b = putNumber(b, r.line);
        *b++ = ',';
        if (r.stampCount > 0) {
            b = putNumber(b, r.first.ms());
            *b++ = ',';
            b = putNumber(b, place.sinceStartMs);
        } else {
            *b++ = ',';
        }
        *b++ = ',';
        if (place.hand > 0) b = putNumber(b, place.hand);
        *b++ = ',';
        b = put(b, recordName(r.kind));
        *b++ = ',';
        b = put(b, r.code);
        *b++ = ',';
        if (r.role) b = put(b, r.role == 'c' ? "ck" : "nk");
        else if (r.kind == LogRecordKind::RemoteMove || r.kind == LogRecordKind::RemotePass)
            b = put(b, place.colorKeeperLog ? "nk" : "ck");
        *b++ = ',';
        b = put(b, r.cardA);
        *b++ = ',';
        b = put(b, r.positionA);
        *b++ = ',';
        b = put(b, r.cardB);
        *b++ = ',';
        b = put(b, r.positionB);
        *b++ = ',';
        if (r.moves >= 0) b = putNumber(b, r.moves);
        *b++ = ',';
        b = put(b, r.score);
        *b++ = ',';
        if (r.totalMoves >= 0) b = putNumber(b, r.totalMoves);
        *b++ = ',';
        b = putField(b, r.kind == LogRecordKind::UserHeader ? std::string_view(utf8Text_ = toUtf8(r.text)) : r.text);
        *b++ = '\r';
        *b++ = '\n';
        rows_.commit(b);
    }
    void fault(const SessionFault& f) override {
        if (losesRecords(f.kind)) {
            ++linesLeftOut;
            messages_ << f.file;
            if (f.line) messages_ << ':' << f.line;
            messages_ << ": " << f.what << (f.line ? " (left out)" : "") << "\n";
        } else {
            ++otherFaults;
        }
    }
    void flush() { rows_.flush(); }
    long long events = 0;
    int linesLeftOut = 0;
    int otherFaults = 0;

private:
    RowBlock rows_;
    std::ostream& messages_;
    bool writing_;
    std::string prefix_;
    std::string utf8Text_;
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
    rows.flush();
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
