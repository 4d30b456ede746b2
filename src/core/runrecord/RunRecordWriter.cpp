#include "core/runrecord/RunRecordWriter.h"

#include <algorithm>

#include "core/platform/System.h"

namespace qbx {

RunRecordWriter::~RunRecordWriter() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void RunRecordWriter::begin(const RunRecord& record, const ParameterValues& parameters, const std::string& fileName) {
    if (begun_) return;
    begun_ = true;
    parameters_ = parameters;
    workDir_ = sys::workingDirectoryPath();
    path_ = workDir_ + "/dataout/" + fileName;
    if (mode_ == Mode::Background) worker_ = std::thread([this] { run(); });
    update(record);
}

void RunRecordWriter::update(const RunRecord& record) {
    if (!begun_) return;
    if (mode_ == Mode::Inline) {
        write(record);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = record;
    }
    wake_.notify_one();
}

void RunRecordWriter::flush() {
    if (mode_ == Mode::Inline || !worker_.joinable()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

std::vector<std::string> RunRecordWriter::problems() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problems_;
}

void RunRecordWriter::problem(const std::string& sentence) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(problems_.begin(), problems_.end(), sentence) == problems_.end()) problems_.push_back(sentence);
}

void RunRecordWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stop_; });
        if (!pending_) return;  // stopped with nothing left to write
        RunRecord record = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        write(std::move(record));
        lock.lock();
        busy_ = false;
        if (!pending_) idle_.notify_all();
    }
}

void RunRecordWriter::write(RunRecord record) {
    if (!setupRead_) {
        // Once, with the first record: the setup as it is on the disk now,
        // right after the game read it.
        setupRead_ = true;
        std::string error;
        if (!digestSetup(workDir_, parameters_, digest_, error)) {
            problem("the setup could not be read: " + error);
        } else if (!saveSetup(digest_, workDir_, error)) {
            problem("the setup could not be copied: " + error);
        } else {
            saved_ = "setups/" + digest_.hash;
        }
    }
    record.setupHash = digest_.hash;
    record.files = digest_.files;
    record.savedSetup = saved_;
    for (const std::string& p : problems()) record.problems.push_back(p);
    std::string error;
    if (!sys::replaceWholeFile(path_, runRecordJson(record), error, durable_))
        problem("the run record could not be written: " + error);
}

}  // namespace qbx
