#pragma once
// Writes a session's run record and saves its setup on a thread of its own,
// so that neither ever delays a deal, an action or a stamp: the game hands
// it copies of the record and never waits. Only the newest copy not yet
// written is kept; each is written whole (temporary name, flush, rename).
// A failure (an exception too) is kept in the record's problems and said on
// standard error; it never reaches the game. The record keeps the same
// reserve of free disk as the copy of the setup: the logs come first.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/config/ConfigFiles.h"
#include "core/runrecord/RunRecord.h"
#include "core/runrecord/SetupDigest.h"

namespace qbx {

class RunRecordWriter {
public:
    // Inline does the work in the calling thread (tests that want a plain
    // order of events, and the benchmark's comparison).
    enum class Mode { Background, Inline };
    // How long the end of a session waits for the thread: a signal or the
    // desktop ending the program, and the game's own end (the setup has been
    // read long before, unless it is huge).
    static constexpr std::chrono::milliseconds kClosingWait{250};
    static constexpr std::chrono::milliseconds kGameEndWait{2000};
    // Free disk the record and the copy leave for the logs.
    static constexpr long long kReserve = 64LL << 20;
    // `durable` false leaves each record with the operating system (written,
    // not waited for): qbxtool simulate, which makes its files durable once
    // at the end of its run. A participant's session never does.
    explicit RunRecordWriter(Mode mode = Mode::Background, bool durable = true) : mode_(mode), durable_(durable) {}
    // Stops reading or copying the setup, writes what was handed over and
    // not yet written, then ends the thread.
    ~RunRecordWriter();
    RunRecordWriter(const RunRecordWriter&) = delete;
    RunRecordWriter& operator=(const RunRecordWriter&) = delete;

    // The session's first record, to be written as dataout/<fileName> in
    // the game's folder (empty: the working directory): before it, its
    // setup/ is read and saved in dataout/setups. The folder's whole path is
    // taken now, so the thread writes there whatever becomes of the
    // process's directory.
    void begin(const RunRecord& record, const ParameterValues& parameters, const std::string& fileName,
               const std::string& folder = {});
    // A newer state of the record.
    void update(const RunRecord& record);
    // The session is over: waits at most `wait` for the thread to write the
    // last record handed over. When it has not, the thread is told to stop,
    // and the calling thread writes that record itself with what is known of
    // the setup so far; no record is written after it.
    void finish(std::chrono::milliseconds wait);
    // Waits until everything handed over is written (or has failed): tests.
    void flush();
    // What could not be saved so far, each a sentence.
    std::vector<std::string> problems() const;
    bool begun() const { return begun_; }

    // Tests: the query of free disk (for the copy and the record alike), the
    // limits of the copy, and a call made by the thread before it reads the
    // setup (to make it slow, or throw).
    void setFreeSpace(std::function<long long(const std::string&)> query) { freeSpace_ = std::move(query); }
    void setLimits(const SetupLimits& limits) { limits_ = limits; }
    void setBeforeSetup(std::function<void()> hook) { beforeSetup_ = std::move(hook); }

private:
    // What the thread has learnt of the setup, for whoever writes a record.
    struct SetupKnown {
        bool read = false, copyTried = false;
        SetupDigest digest;
        std::optional<std::string> saved;
    };

    void run();
    void work(RunRecord record, unsigned long version);
    void readSetup();
    // Writes `record` with what is known of the setup, unless the last
    // record was written already. The caller holds fileMutex_.
    void writeRecord(RunRecord record, unsigned long version);
    void problem(const std::string& sentence);
    long long freeSpace(const std::string& path) const;

    const Mode mode_;
    const bool durable_;
    bool begun_ = false;  // the game's thread only
    // Set by begin(), read by the worker after it took the first record.
    ParameterValues parameters_;
    std::string workDir_, path_, fileName_;
    SetupLimits limits_;
    std::function<long long(const std::string&)> freeSpace_;
    std::function<void()> beforeSetup_;
    std::atomic<bool> cancel_{false};
    bool setupTried_ = false;  // the thread's own (the game's, inline)

    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<RunRecord> pending_;
    RunRecord latest_;  // the newest record handed over
    unsigned long latestVersion_ = 0, pendingVersion_ = 0, writtenVersion_ = 0;
    bool busy_ = false, stop_ = false;
    std::vector<std::string> problems_;
    SetupKnown setup_;
    // Held while a record is written: the thread's writes and the last one
    // never interleave, and none follows the last.
    std::timed_mutex fileMutex_;
    bool finished_ = false;  // under fileMutex_
    std::thread worker_;
};

}  // namespace qbx
