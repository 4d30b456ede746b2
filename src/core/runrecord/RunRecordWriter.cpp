#include "core/runrecord/RunRecordWriter.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "core/platform/System.h"

namespace qbx {

namespace {

std::string whatOf(const std::exception_ptr& thrown) {
    try {
        std::rethrow_exception(thrown);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unknown failure";
    }
}

// How long the end waits for a record the thread is writing at that moment.
constexpr std::chrono::seconds kWriteInProgress{1};

}  // namespace

RunRecordWriter::~RunRecordWriter() {
    if (!worker_.joinable()) return;
    cancel_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void RunRecordWriter::begin(const RunRecord& record, const ParameterValues& parameters, const std::string& fileName,
                            const std::string& folder) {
    if (begun_) return;
    begun_ = true;
    parameters_ = parameters;
    workDir_ = sys::workingDirectoryPath(folder);
    fileName_ = fileName;
    path_ = workDir_ + "/dataout/" + fileName;
    if (mode_ == Mode::Background) {
        try {
            worker_ = std::thread([this] { run(); });
        } catch (...) {
            problem("its thread could not be started: " + whatOf(std::current_exception()));
            return;
        }
    }
    update(record);
}

void RunRecordWriter::update(const RunRecord& record) {
    if (!begun_) return;
    if (mode_ == Mode::Inline) {
        work(record, ++latestVersion_);
        return;
    }
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = record;
        pending_ = record;
        pendingVersion_ = ++latestVersion_;
    }
    wake_.notify_one();
}

void RunRecordWriter::flush() {
    if (mode_ == Mode::Inline || !worker_.joinable()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

void RunRecordWriter::finish(std::chrono::milliseconds wait) {
    if (mode_ == Mode::Inline || !worker_.joinable()) return;
    try {
        RunRecord last;
        unsigned long version = 0;
        bool setupRead = false, copyTried = false, done = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            done = idle_.wait_for(lock, wait, [this] { return !pending_ && !busy_; });
            if (!done) {
                // The thread is still reading or copying the setup (or
                // stuck): it stops at its next piece and writes no more.
                cancel_ = true;
                pending_.reset();
            }
            last = latest_;
            version = latestVersion_;
            setupRead = setup_.read;
            copyTried = setup_.copyTried;
        }
        std::unique_lock<std::timed_mutex> file(fileMutex_, std::defer_lock);
        if (!file.try_lock_for(kWriteInProgress)) {
            std::fprintf(stderr,
                         "QBXSolo: the run record %s: its last state was not written: a write of it did not end\n",
                         fileName_.c_str());
            return;
        }
        if (writtenVersion_ < version) {
            if (!done && !setupRead)
                problem("the program ended before the setup was read: its hash and files are not known");
            else if (!done && !copyTried)
                problem("the program ended before the setup was copied");
            writeRecord(std::move(last), version);
        }
        finished_ = true;
    } catch (...) {
        problem("the run record could not be written: " + whatOf(std::current_exception()));
    }
}

std::vector<std::string> RunRecordWriter::problems() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problems_;
}

void RunRecordWriter::problem(const std::string& sentence) {
    try {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::find(problems_.begin(), problems_.end(), sentence) != problems_.end()) return;
            problems_.push_back(sentence);
        }
        std::fprintf(stderr, "QBXSolo: the run record %s: %s\n", fileName_.c_str(), sentence.c_str());
    } catch (...) {
        std::fputs("QBXSolo: the run record: a problem could not be kept\n", stderr);
    }
}

long long RunRecordWriter::freeSpace(const std::string& path) const {
    return freeSpace_ ? freeSpace_(path) : sys::freeSpace(path);
}

void RunRecordWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stop_; });
        if (!pending_) return;  // stopped with nothing left to write
        RunRecord record = std::move(*pending_);
        const unsigned long version = pendingVersion_;
        pending_.reset();
        busy_ = true;
        lock.unlock();
        work(std::move(record), version);
        lock.lock();
        busy_ = false;
        if (!pending_) idle_.notify_all();
    }
}

void RunRecordWriter::work(RunRecord record, unsigned long version) {
    // Nothing that fails here reaches the game: it becomes a problem.
    if (!setupTried_) {
        setupTried_ = true;
        try {
            readSetup();
        } catch (...) {
            problem("the setup could not be read or copied: " + whatOf(std::current_exception()));
        }
    }
    try {
        std::lock_guard<std::timed_mutex> file(fileMutex_);
        writeRecord(std::move(record), version);
    } catch (...) {
        problem("the run record could not be written: " + whatOf(std::current_exception()));
    }
}

void RunRecordWriter::readSetup() {
    // Once, with the first record: the setup as it is on the disk now,
    // right after the game read it.
    if (beforeSetup_) beforeSetup_();
    SetupDigest digest;
    std::string error;
    if (!digestSetup(workDir_, parameters_, digest, error, limits_, &cancel_)) {
        problem("the setup could not be read: " + error);
        return;
    }
    for (const SetupLeftOut& left : digest.notCopied) problem("the saved setup lacks " + left.path + ": " + left.why);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        setup_.read = true;
        setup_.digest = digest;
    }
    const bool saved =
        saveSetup(digest, workDir_, error, kReserve, &cancel_, [this](const std::string& p) { return freeSpace(p); });
    {
        std::lock_guard<std::mutex> lock(mutex_);
        setup_.copyTried = true;
        if (saved) setup_.saved = "setups/" + digest.hash;
    }
    if (!saved) problem("the setup could not be copied: " + error);
}

void RunRecordWriter::writeRecord(RunRecord record, unsigned long version) {
    if (finished_ || version <= writtenVersion_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        record.setupHash = setup_.digest.hash;
        record.files = setup_.digest.files;
        record.notCopied = setup_.digest.notCopied;
        record.savedSetup = setup_.saved;
        for (const std::string& p : problems_) record.problems.push_back(p);
    }
    const std::string json = runRecordJson(record);
    const long long free = freeSpace(workDir_ + "/dataout");
    if (free >= 0 && free - static_cast<long long>(json.size()) - 4096 < kReserve) {
        problem("the run record was not written: the disk of dataout has less than " + std::to_string(kReserve >> 20) +
                " MiB free, kept for the logs");
        return;
    }
    std::string error;
    if (sys::replaceWholeFile(path_, json, error, durable_))
        writtenVersion_ = version;
    else
        problem("the run record could not be written: " + error);
}

}  // namespace qbx
