#pragma once
// Writes a session's run record and saves its setup on a thread of its own,
// so that neither ever delays a deal, an action or a stamp: the game hands
// it copies of the record and never waits. Only the newest copy not yet
// written is kept; each is written whole (temporary name, flush, rename).
// A failure is kept in the record's problems and never reaches the game.

#include <condition_variable>
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
    // `durable` false leaves each record with the operating system (written,
    // not waited for): qbxtool simulate, which makes its files durable once
    // at the end of its run. A participant's session never does.
    explicit RunRecordWriter(Mode mode = Mode::Background, bool durable = true) : mode_(mode), durable_(durable) {}
    // Writes what was handed over and not yet written, then stops.
    ~RunRecordWriter();
    RunRecordWriter(const RunRecordWriter&) = delete;
    RunRecordWriter& operator=(const RunRecordWriter&) = delete;

    // The session's first record, to be written as dataout/<fileName> in
    // the working directory: before it, its setup/ is read and saved in
    // dataout/setups. The working directory is taken now, so the thread
    // writes there whatever becomes of the process's.
    void begin(const RunRecord& record, const ParameterValues& parameters, const std::string& fileName);
    // A newer state of the record.
    void update(const RunRecord& record);
    // Waits until everything handed over is written (or has failed).
    void flush();
    // What could not be saved so far, each a sentence.
    std::vector<std::string> problems() const;
    bool begun() const { return begun_; }

private:
    void run();
    void write(RunRecord record);
    void problem(const std::string& sentence);

    const Mode mode_;
    const bool durable_;
    bool begun_ = false;  // the game's thread only
    // Set by begin(), read by the worker after it took the first record.
    ParameterValues parameters_;
    std::string workDir_, path_;
    // The worker's own.
    bool setupRead_ = false;
    SetupDigest digest_;
    std::optional<std::string> saved_;

    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<RunRecord> pending_;
    bool busy_ = false, stop_ = false;
    std::vector<std::string> problems_;
    std::thread worker_;
};

}  // namespace qbx
