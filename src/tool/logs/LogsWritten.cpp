#include "tool/logs/LogsWritten.h"

#include <filesystem>
#include <optional>

#include "core/platform/System.h"
#include "core/runrecord/Sha256.h"

namespace qbx::tool::logs {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// A log's bytes as the program wrote them, from a copy altered as a whole:
// the byte order mark dropped, every line end (LF alone, CR LF, CR CR LF)
// made CR LF. Bytes the program wrote pass unchanged, as its lines hold no
// CR but the one of their line end. The hash of the first `mark` bytes is
// kept on the way.
class AsWritten {
public:
    explicit AsWritten(long long mark) : mark_(mark) {
        if (mark_ == 0) atMark_ = Sha256().hexDigest();
    }

    void feed(const char* p, size_t n) {
        size_t run = 0;  // the start of the bytes not yet passed on
        for (size_t i = 0; i < n; ++i) {
            const char c = p[i];
            if (c == '\r') {
                emit(p + run, i - run);
                ++pendingReturns_;
                run = i + 1;
            } else if (c == '\n') {
                emit(p + run, i - run);
                pendingReturns_ = 0;
                emit("\r\n", 2);
                run = i + 1;
            } else if (pendingReturns_ > 0) {
                returns();
            }
        }
        emit(p + run, n - run);
    }

    // The end of the file: the hash of the whole, and of the whole with the
    // last line end the copy may have dropped.
    void finish() {
        returns();
        Sha256 whole = hash_;
        wholeHash_ = whole.hexDigest();
        if (bytes_ > 0 && last_ != '\n') {
            Sha256 ended = hash_;
            ended.update("\r\n", 2);
            withLineEnd_ = ended.hexDigest();
        }
    }

    long long bytes() const { return bytes_; }
    const std::optional<std::string>& atMark() const { return atMark_; }
    // Whether the bytes are `bytes` long with this hash (a last line end the
    // copy dropped put back).
    bool same(long long bytes, const std::string& sha256) const {
        if (bytes == bytes_ && sha256 == wholeHash_) return true;
        return withLineEnd_ && bytes == bytes_ + 2 && sha256 == *withLineEnd_;
    }

private:
    void returns() {
        for (; pendingReturns_ > 0; --pendingReturns_) emit("\r", 1);
    }
    void emit(const char* p, size_t n) {
        if (n == 0) return;
        if (!atMark_ && bytes_ + static_cast<long long>(n) >= mark_) {
            const auto before = static_cast<size_t>(mark_ - bytes_);
            hash_.update(p, before);
            bytes_ += static_cast<long long>(before);
            Sha256 sofar = hash_;
            atMark_ = sofar.hexDigest();
            p += before;
            n -= before;
        }
        hash_.update(p, n);
        bytes_ += static_cast<long long>(n);
        if (n > 0) last_ = p[n - 1];
    }

    Sha256 hash_;
    long long bytes_ = 0;
    const long long mark_;
    std::optional<std::string> atMark_;
    std::string wholeHash_;
    std::optional<std::string> withLineEnd_;
    int pendingReturns_ = 0;
    char last_ = 0;
};

// Reads the log through; false when it cannot be read whole.
bool readAsWritten(const std::string& path, AsWritten& log) {
    sys::ReadOnlyFile file;
    std::string error;
    if (file.open(path, error) != sys::ReadOnlyFile::Open::Ok || file.sizeAtOpen() < 0) return false;
    // A log still being written is read as far as it had come when opened.
    long long left = file.sizeAtOpen();
    std::string buffer(size_t{1} << 16, '\0');
    bool first = true;
    size_t held = 0;  // the first bytes, until the byte order mark can be told
    while (left > 0) {
        const size_t want =
            static_cast<size_t>(std::min<long long>(left, static_cast<long long>(buffer.size() - held)));
        const long long got = file.read(buffer.data() + held, want, error);
        if (got < 0) return false;
        if (got == 0) break;
        left -= got;
        held += static_cast<size_t>(got);
        if (first && held < 3 && left > 0) continue;
        size_t from = 0;
        if (first && held >= 3 && buffer.compare(0, 3, kByteOrderMark) == 0) from = 3;
        first = false;
        log.feed(buffer.data() + from, held - from);
        held = 0;
    }
    if (held > 0) log.feed(buffer.data(), held);
    log.finish();
    return true;
}

std::string bytesText(long long n) { return groupedNumber(n) + (n == 1 ? " byte" : " bytes"); }

// How `path` differs from what the record says was written; empty when it
// does not.
std::string changeOf(const std::string& path, const LogWritten& written, bool ended) {
    AsWritten log(written.bytes);
    if (!readAsWritten(path, log)) return {};
    const std::string changed = "changed after the session: ";
    const std::string notWritten = ": its records are not those the program wrote";
    if (ended) {
        if (log.same(written.bytes, written.sha256)) return {};
        const long long now = log.bytes();
        if (now > written.bytes)
            return changed + bytesText(now - written.bytes) + " more than when it ended" +
                   (log.atMark() == written.sha256 ? " (added after its last line)" : "") + notWritten;
        if (now < written.bytes)
            return changed + bytesText(written.bytes - now) + " fewer than when it ended" + notWritten;
        return changed + "same size, other bytes" + notWritten;
    }
    // The program did not end the session (it was stopped): the log may
    // have gone on after the record was last written, but the bytes up to
    // there stay as they were.
    if (log.atMark() == written.sha256) return {};
    if (log.bytes() < written.bytes) {
        // Its last line end dropped by a copy is no change.
        if (log.bytes() + 2 == written.bytes && log.same(written.bytes, written.sha256)) return {};
        return changed + bytesText(written.bytes - log.bytes()) + " fewer than when its run record was last written" +
               notWritten;
    }
    return changed + "its first " + bytesText(written.bytes) +
           " are not those written when its run record was last written" + notWritten;
}

}  // namespace

std::string groupedNumber(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return n < 0 ? "-" + digits : digits;
}

std::vector<SessionFault> logsChangedAfterSession(const LogPair& pair) {
    std::vector<SessionFault> warnings;
    if (!pair.record) return warnings;
    const RunRecord& record = *pair.record;
    for (const std::string* path : {&pair.ckPath, &pair.nkPath}) {
        if (path->empty()) continue;
        const std::string name = std::filesystem::path(*path).filename().string();
        for (const LogWritten& written : record.logsWritten) {
            if (written.log != name) continue;
            if (written.bytes < 0) break;  // no size the program writes
            std::string what = changeOf(*path, written, record.ended);
            if (!what.empty()) warnings.push_back({*path, 0, SessionFaultKind::Warning, std::move(what)});
            break;
        }
    }
    return warnings;
}

}  // namespace qbx::tool::logs
