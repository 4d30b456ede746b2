#pragma once
// The two event logs of a run, one per role: dataout/ck<suffix> and
// dataout/nk<suffix>, with the suffix "ddmmyy_<random 0..9999>.txt".

#include <functional>
#include <string>

#include "core/platform/Platform.h"
#include "core/eventlog/LogFile.h"

namespace qbx {

class EventLogs {
public:
    enum class Open { Ok, NoFreeName, Failed };
    // Chooses a suffix for which neither log exists and creates both files,
    // empty. `random` draws 0..9999; `today` reads the date afresh for each
    // try. Tries random suffixes, then every suffix in order, so it ends.
    // `directory` is taken in `folder` (empty: the working directory) and
    // named in messages as given ("dataout").
    Open create(const std::string& directory, Clock& clock, const std::function<int()>& random, std::string& error,
                const std::string& folder = {});

    // Both logs kept in memory under the given suffix: nothing is written
    // to the disk (a replay).
    void createInMemory(const std::string& suffix);

    LogFile& ck() { return ck_; }
    LogFile& nk() { return nk_; }
    const LogFile& ck() const { return ck_; }
    const LogFile& nk() const { return nk_; }
    const std::string& suffix() const { return suffix_; }

    // Makes both files durable (after the records of one action).
    void sync();
    // Benchmarks and qbxtool simulate only: false leaves the records, and the
    // new files' names, with the operating system (written, not waited for),
    // to time the game's own work apart from the disk's, or to make them
    // durable once at the end of many sessions (qbxtool simulate). A real
    // run never turns this off.
    void setDurable(bool durable) { durable_ = durable; }
    void close() noexcept;

private:
    LogFile ck_, nk_;
    std::string suffix_;
    bool durable_ = true;
};

}  // namespace qbx
