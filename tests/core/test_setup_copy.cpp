// The run record and the saved setup against a hostile setup/ and dataout/:
// links, named pipes, huge files, a full disk, a thread that throws or is
// slow at the end. None of it may end, stall or fill what the session needs,
// and the record says only what is true of the copy.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <new>

#include "core/runrecord/RunRecordWriter.h"
#include "core/runrecord/Sha256.h"
#include "support/FakeDesktop.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace qbx;
using namespace qbx::test;
namespace fs = std::filesystem;

namespace {

const char* const kRecordName = "run071226_7.json";

ParameterValues setupParameters() {
    ParameterValues parameters;
    EXPECT_TRUE(readParameterFile(inWorkDir(kParameterFile), parameters));
    return parameters;
}

RunRecord startedRecord() {
    RunRecord r;
    r.session = "071226_7";
    r.started = "2026-12-07T10:00:00.000";
    return r;
}

// The record the writer leaves once it has written the session's start.
std::string recordAtStart(RunRecordWriter& writer) {
    writer.begin(startedRecord(), setupParameters(), kRecordName, currentWorkDir());
    writer.flush();
    return readFile(inWorkDir(std::string("dataout/") + kRecordName));
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every byte written below a folder, as one text.
std::string allBytesBelow(const std::string& folder) {
    std::string all;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && !it->is_symlink()) all += readFile(it->path().string());
    return all;
}

std::string hashOfSetup() {
    SetupDigest digest;
    std::string error;
    EXPECT_TRUE(digestSetup(currentWorkDir(), setupParameters(), digest, error)) << error;
    return digest.hash;
}

#ifndef _WIN32
TEST(SetupCopy, IsNeverWrittenThroughALinkNorOverAnythingButAFolder) {
    struct Case {
        const char* what;
        std::function<void(const std::string& hash, const std::string& elsewhere)> spoil;
        const char* said;
    };
    const std::vector<Case> cases = {
        {"a link loop at the hash",
         [](const std::string& hash, const std::string&) {
             fs::create_directories(inWorkDir("dataout/setups"));
             fs::create_symlink(hash, inWorkDir("dataout/setups/" + hash));
         },
         " is a link, not a folder: nothing is saved there"},
        {"setups a link to elsewhere",
         [](const std::string&, const std::string& elsewhere) {
             fs::create_directory_symlink(elsewhere, inWorkDir("dataout/setups"));
         },
         "dataout/setups is a link, not a folder: nothing is saved there"},
        {"a plain file at the hash",
         [](const std::string& hash, const std::string&) {
             fs::create_directories(inWorkDir("dataout/setups"));
             std::ofstream(inWorkDir("dataout/setups/" + hash)) << "a file";
         },
         " is a file, not a folder: nothing is saved there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkDir dir;
        writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
        const std::string elsewhere = dir.path() + "/elsewhere";
        fs::create_directories(elsewhere);
        c.spoil(hashOfSetup(), elsewhere);
        RunRecordWriter writer;
        const std::string record = recordAtStart(writer);
        EXPECT_TRUE(has(record, "\"saved\": null")) << record;
        EXPECT_TRUE(has(record, "\"problems\": [\"the setup could not be copied: dataout/setups")) << record;
        EXPECT_TRUE(has(record, c.said)) << record;
        EXPECT_TRUE(fs::is_empty(elsewhere));
    }
}

TEST(SetupCopy, KeepsPermissionsAndReadsOnlyRegularFilesInsideSetup) {
    WorkDir outside;  // made first: the game plays in the newest, dir
    WorkDir dir;
    writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
    dir.write("setup/secret.txt", "only the experimenter");
    fs::permissions(inWorkDir("setup/secret.txt"), fs::perms::owner_read | fs::perms::owner_write);
    dir.write("setup/help.html", "<p>help</p>");
    fs::create_symlink("help.html", inWorkDir("setup/help2.html"));  // inside: followed
    outside.write("private.txt", "OUTSIDE-ONLY-7f3a");
    fs::create_symlink(outside.path() + "/private.txt", inWorkDir("setup/passwd"));
    ASSERT_EQ(::mkfifo(inWorkDir("setup/pipe").c_str(), 0644), 0);

    // A named pipe opened for reading would wait for a writer forever: the
    // writer's thread is given twenty seconds, then the pipe is opened for
    // writing, as often as it takes, to let it go.
    RunRecordWriter writer;
    auto started = std::async(std::launch::async, [&] { return recordAtStart(writer); });
    if (started.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        while (started.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            const int fd = ::open(inWorkDir("setup/pipe").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
        FAIL() << "reading the setup waited on a named pipe";
    }
    const std::string record = started.get();

    const std::string hash = hashOfSetup();
    const std::string saved = inWorkDir("dataout/setups/" + hash + "/setup/");
    EXPECT_EQ(fs::status(saved + "secret.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(saved + "help2.html"), "<p>help</p>");
    EXPECT_FALSE(fs::is_symlink(saved + "help2.html"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(saved + "passwd")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(saved + "pipe")));
    EXPECT_FALSE(has(allBytesBelow("dataout"), "OUTSIDE-ONLY-7f3a"));

    EXPECT_TRUE(has(record, "\"saved\": \"setups/" + hash + "\"")) << record;
    EXPECT_TRUE(has(record, "{\"path\": \"setup/help2.html\", \"bytes\": 11")) << record;
    EXPECT_TRUE(has(record,
                    "\"notCopied\": [\n"
                    "      {\"path\": \"setup/passwd\", \"why\": \"a link to outside setup/\"},\n"
                    "      {\"path\": \"setup/pipe\", \"why\": \"a named pipe\"}\n"
                    "    ]"))
        << record;
    EXPECT_TRUE(has(record, "\"the saved setup lacks setup/passwd: a link to outside setup/\"")) << record;
    EXPECT_FALSE(has(record, "\"path\": \"setup/passwd\", \"bytes\"")) << record;
}

// The process's peak resident memory in KiB, the peak first set back to
// the present (Linux); -1 where that cannot be done.
long peakResidentKiB(bool reset) {
    if (reset) {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";
        clear.close();
        if (!clear) return -1;
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TEST(SetupCopy, IsBoundedAndReadsFilesInPieces) {
    WorkDir dir;
    writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
    const auto sized = [&](const std::string& name, long long bytes, char fill) {
        dir.write(name, std::string(static_cast<size_t>(bytes), fill));
    };
    sized("setup/a.bin", 900 << 10, 'a');
    sized("setup/b.bin", 900 << 10, 'b');
    sized("setup/big.bin", 1536 << 10, 'B');
    sized("setup/c.bin", 900 << 10, 'c');
    RunRecordWriter writer;
    writer.setLimits({1 << 20, 2 << 20, 4096});
    const std::string record = recordAtStart(writer);
    const std::string saved = inWorkDir("dataout/setups/" + hashOfSetup() + "/setup/");
    EXPECT_TRUE(fs::exists(saved + "a.bin") && fs::exists(saved + "b.bin") && fs::exists(saved + "shoe.txt"));
    EXPECT_FALSE(fs::exists(saved + "big.bin"));
    EXPECT_FALSE(fs::exists(saved + "c.bin"));
    // Still hashed and listed, and said to be left out.
    EXPECT_TRUE(has(record, "{\"path\": \"setup/big.bin\", \"bytes\": 1572864, \"sha256\": \"" +
                                sha256Hex(std::string(1536 << 10, 'B')) + "\""))
        << record;
    EXPECT_TRUE(has(record,
                    "{\"path\": \"setup/big.bin\", \"why\": \"larger than 1 MiB, the most a file may have in "
                    "the copy\"},\n      {\"path\": \"setup/c.bin\", \"why\": \"the copy holds at most 2 MiB "
                    "in all\"}"))
        << record;

    // A file far larger than any buffer, read whole and copied whole: the
    // peak memory of the process grows by much less than it.
    WorkDir huge;
    writeSetup(huge, "2H3H4H2C3C4C3Hck\r\n");
    constexpr long long kHuge = 48LL << 20;
    { std::ofstream(inWorkDir("setup/huge.bin")); }
    fs::resize_file(inWorkDir("setup/huge.bin"), kHuge);
    if (peakResidentKiB(true) < 0) GTEST_SKIP() << "no peak memory to read";
    const long before = peakResidentKiB(false);
    RunRecordWriter copier;
    copier.setLimits({kHuge, kHuge + (1 << 20), 4096});
    const std::string hugeRecord = recordAtStart(copier);
    const long grown = peakResidentKiB(false) - before;
    EXPECT_LT(grown, 16 * 1024) << "KiB";
    EXPECT_EQ(fs::file_size(inWorkDir("dataout/setups/" + hashOfSetup() + "/setup/huge.bin")),
              static_cast<uintmax_t>(kHuge));
    EXPECT_TRUE(has(hugeRecord, "{\"path\": \"setup/huge.bin\", \"bytes\": 50331648")) << hugeRecord;
}
#endif

TEST(RunRecordReserve, TheRecordIsNotWrittenWhenItWouldTakeTheLogsReserve) {
    WorkDir dir;
    writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
    long long free = RunRecordWriter::kReserve + 1000;
    RunRecordWriter writer;
    writer.setFreeSpace([&free](const std::string&) { return free; });
    recordAtStart(writer);
    EXPECT_FALSE(fs::exists(inWorkDir(std::string("dataout/") + kRecordName)));
    EXPECT_FALSE(fs::exists(inWorkDir("dataout/setups")));
    const std::vector<std::string> problems = writer.problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].rfind("the setup could not be copied: the disk of dataout has ", 0), 0u) << problems[0];
    EXPECT_EQ(problems[1],
              "the run record was not written: the disk of dataout has less than 64 MiB free, kept for "
              "the logs");

    // Room again: the next state is written, and says what was not.
    free = 1LL << 40;
    RunRecord ended = startedRecord();
    ended.ended = true;
    writer.update(ended);
    writer.flush();
    const std::string record = readFile(inWorkDir(std::string("dataout/") + kRecordName));
    EXPECT_TRUE(has(record, "\"state\": \"ended\"")) << record;
    EXPECT_TRUE(has(record, "\"the run record was not written: ")) << record;
}

TEST(RunRecordThread, AnExceptionInItBecomesAProblemOfTheRecord) {
    WorkDir dir;
    writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
    RunRecordWriter writer;
    writer.setBeforeSetup([] { throw std::bad_alloc(); });
    const std::string record = recordAtStart(writer);
    EXPECT_TRUE(has(record, "\"saved\": null")) << record;
    EXPECT_TRUE(has(record, "\"problems\": [\"the setup could not be read or copied: std::bad_alloc\"]")) << record;
}

TEST(RunRecordThread, TheEndWaitsForItBrieflyAndItWritesNothingAfterTheEnd) {
    WorkDir dir;
    writeSetup(dir, "2H3H4H2C3C4C3Hck\r\n");
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto writer = std::make_unique<RunRecordWriter>();
    writer->setBeforeSetup([released] { released.wait(); });  // a setup that takes as long as the test likes
    writer->begin(startedRecord(), setupParameters(), kRecordName, currentWorkDir());
    RunRecord ended = startedRecord();
    ended.ended = true;
    writer->update(ended);

    auto finished = std::async(std::launch::async, [&] { writer->finish(std::chrono::milliseconds(50)); });
    const bool inTime = finished.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    release.set_value();
    finished.wait();
    ASSERT_TRUE(inTime) << "the end waited for the busy thread";
    const std::string atEnd = readFile(inWorkDir(std::string("dataout/") + kRecordName));
    EXPECT_TRUE(has(atEnd, "\"state\": \"ended\"")) << atEnd;
    EXPECT_TRUE(has(atEnd, "\"hash\": \"\"")) << atEnd;
    EXPECT_TRUE(has(atEnd, "\"the program ended before the setup was read: its hash and files are not known\""))
        << atEnd;

    // The thread goes on, stops at its next piece and writes no record.
    writer.reset();
    EXPECT_EQ(readFile(inWorkDir(std::string("dataout/") + kRecordName)), atEnd);
}

}  // namespace
