#pragma once
// One event log file. Every record is handed to the operating system as soon
// as it is written, so a crash or a killed program loses nothing; sync()
// makes the file durable, and is called once the records of a participant's
// action are written. A file is only ever created new: an existing file is
// never truncated. The system's side of these promises is
// core/platform's AppendFile.

#include <optional>
#include <stdexcept>
#include <string>

#include "core/platform/System.h"
#include "core/runrecord/Sha256.h"

namespace qbx {

class LogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LogFile {
public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    enum class Create { Created, Exists, Failed };
    // Creates the file, failing if it exists. On Failed, `error` says why.
    // Messages name it `shownAs` ("dataout/ck..."), or `path` when empty.
    Create createNew(const std::string& path, std::string& error, const std::string& shownAs = {});
    // Keeps the records in memory instead of a file (a replay, which must
    // never write a log): `name` stands for the path in messages.
    void openInMemory(const std::string& name);
    bool isOpen() const { return inMemory_ || file_.isOpen(); }
    bool inMemory() const { return inMemory_; }
    // The records kept in memory, each with its CR LF.
    const std::string& memory() const { return memory_; }
    const std::string& path() const { return path_; }

    // Writes the record and the line end CR LF. Throws LogError on failure.
    void writeLine(const std::string& record);
    // Makes what was written durable. Throws LogError on failure.
    void sync();
    // Records written and not yet made durable.
    bool awaitingSync() const { return unsynced_; }
    // Records written since the file was created or opened.
    long recordsWritten() const { return records_; }
    // The bytes written to the file so far and their SHA-256, for the run
    // record; none for a log in memory, or once a write failed (how much of
    // it reached the file is not known).
    struct Written {
        long long bytes = 0;
        std::string sha256;
    };
    std::optional<Written> written() const;
    // Closes the file, making what was written durable first unless
    // `durable` is false (its records then stay with the operating system).
    void close(bool durable = true) noexcept;

private:
    sys::AppendFile file_;
    bool unsynced_ = false;
    std::string path_;
    std::string line_;
    bool inMemory_ = false;
    long records_ = 0;
    std::string memory_;
    // What reached the file, hashed as it is written.
    Sha256 hash_;
    long long bytes_ = 0;
    bool bytesKnown_ = false;
};

}  // namespace qbx
