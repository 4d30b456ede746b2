#include "core/eventlog/EventLogs.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/eventlog/LogFormat.h"
#include "core/platform/System.h"

namespace qbx {

namespace {

constexpr int kSuffixes = 10000;
constexpr int kRandomTries = 200;

bool nameTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found && !ec;
}

}  // namespace

EventLogs::Open EventLogs::create(const std::string& directory, Clock& clock, const std::function<int()>& random,
                                  std::string& error, const std::string& folder) {
    const std::string where = folder.empty() ? directory : folder + "/" + directory;
    // Random suffixes first, as the lab has always named its logs; then every
    // suffix of the day in order, so that the search ends.
    for (int attempt = 0; attempt < kRandomTries + kSuffixes; ++attempt) {
        int number = attempt < kRandomTries ? random() % kSuffixes : attempt - kRandomTries;
        if (number < 0) number = -number;
        const std::string suffix = logFileSuffix(clock.now(), number);
        const std::string ckPath = where + "/ck" + suffix;
        const std::string nkPath = where + "/nk" + suffix;
        if (nameTaken(nkPath)) continue;
        LogFile::Create made = ck_.createNew(ckPath, error, directory + "/ck" + suffix);
        if (made == LogFile::Create::Exists) continue;
        if (made == LogFile::Create::Failed) return Open::Failed;
        made = nk_.createNew(nkPath, error, directory + "/nk" + suffix);
        if (made == LogFile::Create::Created) {
            suffix_ = suffix;
            if (durable_) sys::syncDirectory(where);
            return Open::Ok;
        }
        // The ColorKeeper file is ours and empty: take it back.
        ck_.close();
        std::remove(ckPath.c_str());
        if (made == LogFile::Create::Failed) return Open::Failed;
    }
    error = "All 10000 event log names of today are taken in " + directory +
            ". Please move the old logs elsewhere and start again.";
    return Open::NoFreeName;
}

void EventLogs::createInMemory(const std::string& suffix) {
    suffix_ = suffix;
    ck_.openInMemory("ck" + suffix);
    nk_.openInMemory("nk" + suffix);
}

void EventLogs::sync() {
    if (!durable_) return;
    ck_.sync();
    nk_.sync();
}

void EventLogs::close() noexcept {
    ck_.close(durable_);
    nk_.close(durable_);
}

}  // namespace qbx
