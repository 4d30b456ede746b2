#include "core/eventlog/LogFile.h"

namespace qbx {

namespace {

std::string describe(const std::string& what, const std::string& path, const std::string& reason) {
    return what + " " + path + ": " + reason;
}

}  // namespace

LogFile::Create LogFile::createNew(const std::string& path, std::string& error, const std::string& shownAs) {
    close();
    const std::string& shown = shownAs.empty() ? path : shownAs;
    std::string reason;
    switch (file_.createNew(path, reason)) {
    case sys::AppendFile::Create::Exists: return Create::Exists;
    case sys::AppendFile::Create::Failed:
        error = describe("Cannot create the event log", shown, reason);
        return Create::Failed;
    case sys::AppendFile::Create::Created: break;
    }
    path_ = shown;
    records_ = 0;
    hash_ = Sha256();
    bytes_ = 0;
    bytesKnown_ = true;
    unsynced_ = true;  // the new directory entry must reach the disk too
    line_.reserve(256);
    return Create::Created;
}

void LogFile::openInMemory(const std::string& name) {
    close();
    path_ = name;
    inMemory_ = true;
    bytesKnown_ = false;
    memory_.clear();
    records_ = 0;
}

void LogFile::writeLine(const std::string& record) {
    if (inMemory_) {
        ++records_;
        memory_ += record;
        memory_ += "\r\n";
        return;
    }
    if (!file_.isOpen()) throw LogError("The event log " + path_ + " is not open");
    // The record and its line end in one piece, so that they reach the
    // system in one call.
    line_.assign(record);
    line_ += "\r\n";
    std::string reason;
    if (!file_.append(line_.data(), line_.size(), reason)) {
        bytesKnown_ = false;
        throw LogError(describe("Cannot write the event log", path_, reason));
    }
    hash_.update(line_);
    bytes_ += static_cast<long long>(line_.size());
    unsynced_ = true;
    ++records_;
}

std::optional<LogFile::Written> LogFile::written() const {
    if (!bytesKnown_) return std::nullopt;
    Sha256 sofar = hash_;  // the digest spends its object; the file's goes on
    return Written{bytes_, sofar.hexDigest()};
}

void LogFile::sync() {
    if (inMemory_ || !file_.isOpen() || !unsynced_) return;
    std::string reason;
    if (!file_.sync(reason)) throw LogError(describe("Cannot save the event log", path_, reason));
    unsynced_ = false;
    // A log whose name was removed (dataout deleted during play) still takes
    // every write, but its records would vanish with the program.
    if (file_.removedFromDisk())
        throw LogError("Cannot save the event log " + path_ + ": the file has been removed from the disk");
}

void LogFile::close(bool durable) noexcept {
    inMemory_ = false;
    file_.close(durable && unsynced_);
    unsynced_ = false;
}

}  // namespace qbx
