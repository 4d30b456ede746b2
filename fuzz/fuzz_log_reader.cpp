// The event log reader on any bytes. Every line gives exactly one record or
// one fault, numbered in order; a record's parts are the game's own (cards,
// places, codes) and parsing its line again gives the same record. What the
// reader says was done to the file is what the bytes show: a byte order mark
// only when the file starts with one, a last line read without its line end
// only when the file does not end in LF, and only as a record.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/eventlog/LogReader.h"

namespace {

bool isPlace(std::string_view p) {
    return p.empty() || p == "colorCardView" || p == "downColorCardView" || p == "upCardView" ||
           p == "downNumberCardView" || p == "numberCardView" || p == "targetCardView";
}

bool isCard(std::string_view c) { return c.empty() || (c.size() == 2 && c[0] >= '2' && c[0] <= '4'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool marked = bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const std::string_view text = marked ? bytes.substr(3) : bytes;
    long lines = 0;
    for (char c : text) lines += c == '\n';
    if (!text.empty() && text.back() != '\n') ++lines;

    qbx::LogReader reader;
    reader.openText(bytes);
    qbx::LogRecord r;
    qbx::LogFault f;
    long seen = 0;
    auto last = qbx::LogReader::Next::End;
    for (;;) {
        const auto next = reader.next(r, f);
        if (next == qbx::LogReader::Next::End) break;
        last = next;
        ++seen;
        const long line = next == qbx::LogReader::Next::Record ? r.line : f.line;
        if (line != seen) std::abort();
        if (next == qbx::LogReader::Next::Fault) {
            if (f.what.empty()) std::abort();
            continue;
        }
        if (r.raw.size() > qbx::LogReader::kLongestLine) std::abort();
        for (unsigned char c : r.raw)
            if (c == '\r' || c == '\n' || c == 0) std::abort();
        if (!isCard(r.cardA) || !isCard(r.cardB) || !isPlace(r.positionA) || !isPlace(r.positionB)) std::abort();
        if (r.stampCount < 0 || r.stampCount > 2 || r.first.seconds >= 86400 || r.first.millis > 1005) std::abort();
        if (r.kind == qbx::LogRecordKind::HandEnded && (r.moves < 0 || r.score.empty())) std::abort();
        if (r.kind == qbx::LogRecordKind::TotalMoves && r.totalMoves < 0) std::abort();
        const std::string copy(r.raw);
        qbx::LogRecord again;
        qbx::LogFault unused;
        if (!qbx::parseLogLine(copy, r.line, again, unused)) std::abort();
        if (again.kind != r.kind || again.first.ms() != r.first.ms() || again.cardA != r.cardA ||
            again.positionB != r.positionB || again.score != r.score || again.participant != r.participant)
            std::abort();
    }
    if (seen != lines) std::abort();
    if (reader.bytesRead() != static_cast<long long>(size)) std::abort();
    const qbx::LogAlteration& altered = reader.alteration();
    if (altered.byteOrderMark != marked) std::abort();
    if (altered.lastLineEndMissing &&
        (text.empty() || text.back() == '\n' || last != qbx::LogReader::Next::Record || seen < 2))
        std::abort();
    if (altered.any() == qbx::alterationText(altered).empty()) std::abort();
    return 0;
}
