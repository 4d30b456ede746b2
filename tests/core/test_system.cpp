// The system calls under the core, on whichever system the tests were built
// for: the local clock and files created new, flushed and renamed.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/platform/System.h"

namespace fs = std::filesystem;
using namespace qbx;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path freshDir() {
    std::random_device rd;
    fs::path dir = fs::temp_directory_path() / ("qbx_sys_" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(SystemClock, ReadsTheLocalDateAndTimeToTheMillisecond) {
    // The C library's local time, read on both sides of the clock; a month
    // or year counted from the wrong origin, or UTC for local time, differs.
    const std::time_t before = std::time(nullptr);
    const LocalTime now = sys::localTimeNow();
    const std::time_t after = std::time(nullptr);
    std::tm tm{};
    tm.tm_year = now.year - 1900;
    tm.tm_mon = now.month - 1;
    tm.tm_mday = now.day;
    tm.tm_hour = now.hour;
    tm.tm_min = now.minute;
    tm.tm_sec = now.second;
    tm.tm_isdst = -1;
    const std::time_t read = std::mktime(&tm);
    EXPECT_GE(read, before - 1);
    EXPECT_LE(read, after + 1);
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LE(now.millisecond, 999);

    // Milliseconds move within a second: not a clock that reads whole seconds.
    bool sawNonZero = false;
    for (int i = 0; i < 200 && !sawNonZero; ++i) sawNonZero = sys::localTimeNow().millisecond != 0;
    EXPECT_TRUE(sawNonZero);
}

TEST(SystemFiles, ANewFileIsNeverOpenedOverAnOldOne) {
    const fs::path dir = freshDir();
    const std::string path = (dir / "table.csv").string();
    std::ofstream(path, std::ios::binary) << "old rows";
    bool exists = false;
    std::string error;
    EXPECT_EQ(sys::createNewFile(path, exists, error), nullptr);
    EXPECT_TRUE(exists);
    EXPECT_EQ(readAll(path), "old rows");

    std::FILE* missingFolder = sys::createNewFile((dir / "no" / "x").string(), exists, error);
    EXPECT_EQ(missingFolder, nullptr);
    EXPECT_FALSE(exists);
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

TEST(SystemFiles, AFlushedFileReplacesTheOldOneWhole) {
    const fs::path dir = freshDir();
    const std::string target = (dir / "report.html").string();
    const std::string temp = (dir / ".report.html.tmp").string();
    std::ofstream(target, std::ios::binary) << "yesterday";
    bool exists = false;
    std::string error;
    std::FILE* file = sys::createNewFile(temp, exists, error);
    ASSERT_NE(file, nullptr) << error;
    std::fputs("today\r\n", file);
    EXPECT_TRUE(sys::flushToDisk(file, error)) << error;
    std::fclose(file);
    EXPECT_TRUE(sys::replaceFile(temp, target, error)) << error;
    EXPECT_EQ(readAll(target), "today\r\n") << "written in binary, replaced in one step";
    EXPECT_FALSE(fs::exists(temp));
    fs::remove_all(dir);
}

#ifndef _WIN32  // named pipes and /dev/zero are POSIX's
// A whole file is read only from a regular file, within the caller's limit:
// what never ends (a pipe nobody writes to, /dev/zero) is refused at once.
TEST(SystemFiles, AWholeFileIsReadOnlyFromARegularFileWithinItsLimit) {
    const fs::path dir = freshDir();
    std::ofstream(dir / "ten.txt", std::ios::binary) << "0123456789";
    fs::create_symlink(dir / "ten.txt", dir / "link.txt");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    struct Case {
        std::string path;
        long long limit;
        sys::ReadFault fault;
        std::string error;
    };
    const std::vector<Case> cases = {
        {(dir / "ten.txt").string(), 10, sys::ReadFault::None, ""},
        {(dir / "link.txt").string(), sys::kWholeFileLimit, sys::ReadFault::None, ""},
        {(dir / "ten.txt").string(), 9, sys::ReadFault::TooLarge, "larger than 9 bytes"},
        {(dir / "missing.txt").string(), 10, sys::ReadFault::Missing, "No such file or directory"},
        {(dir / "folder").string(), 10, sys::ReadFault::Directory, "is a directory"},
        {(dir / "pipe").string(), 10, sys::ReadFault::NotAFile, "not a regular file"},
        {"/dev/zero", 1LL << 20, sys::ReadFault::NotAFile, "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string bytes = "left over", error;
        sys::ReadFault fault = sys::ReadFault::CannotRead;
        EXPECT_EQ(sys::readWholeFile(c.path, bytes, error, c.limit, &fault), c.fault == sys::ReadFault::None);
        EXPECT_EQ(fault, c.fault);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(bytes, c.fault == sys::ReadFault::None ? "0123456789" : "");
    }
    fs::remove_all(dir);
}
#endif
