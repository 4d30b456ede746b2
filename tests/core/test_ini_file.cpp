// The INI reader behind the parameter file and the message catalogue: the
// profile-string rules of the platform of origin, and the hostile files an
// experimenter's editor (or a broken disk) can leave in the setup directory.

#include "core/config/IniFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using qbx::IniFile;

namespace {

IniFile parsed(const std::string& text) {
    IniFile ini;
    ini.parse(text);
    return ini;
}

std::string str(const IniFile& ini, const char* section, const char* key) {
    return ini.readString(section, key, "<default>");
}

class IniScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("qbx_ini_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir_;
};

}  // namespace

TEST(IniFile, NamesMatchWithoutRegardToCaseAndBlanksAreDropped) {
    const IniFile ini = parsed("[Parameter]\n  viewcard \t=\t all  \n");
    EXPECT_EQ(str(ini, "PARAMETER", "ViewCard"), "all");
    EXPECT_EQ(str(ini, "parameter", "VIEWCARD"), "all");
    EXPECT_EQ(str(ini, "  PARAMETER ", " ViewCard "), "all");  // lookup names trimmed too
}

TEST(IniFile, SectionNameBlanksInsideBracketsAreDropped) {
    const IniFile ini = parsed("  [ PARAMETER ]  trailing text\nA=1\n");
    EXPECT_EQ(str(ini, "PARAMETER", "A"), "1");
}

TEST(IniFile, KeyNamesWithABlankInsideMatchExactly) {
    const IniFile ini = parsed("[PARAMETER]\nDrag CkNk=true\nFile  Texture=x.bmp\n");
    EXPECT_EQ(str(ini, "PARAMETER", "drag cknk"), "true");
    EXPECT_EQ(str(ini, "PARAMETER", "DragCkNk"), "<default>");
    EXPECT_EQ(str(ini, "PARAMETER", "File Texture"), "<default>");  // two blanks in the file
}

TEST(IniFile, OnePairOfMatchingQuotesIsRemoved) {
    const IniFile ini = parsed(
        "[S]\n"
        "a=\"  padded  \"\n"
        "b='single'\n"
        "c=\"\"both\"\"\n"
        "d=\"mismatched'\n"
        "e=\"\n"
        "f=\"\"\n"
        "g=  'x'  \n"
        "h=it's\n");
    EXPECT_EQ(str(ini, "S", "a"), "  padded  ");
    EXPECT_EQ(str(ini, "S", "b"), "single");
    EXPECT_EQ(str(ini, "S", "c"), "\"both\"");
    EXPECT_EQ(str(ini, "S", "d"), "\"mismatched'");
    EXPECT_EQ(str(ini, "S", "e"), "\"");
    EXPECT_EQ(str(ini, "S", "f"), "");
    EXPECT_EQ(str(ini, "S", "g"), "x");
    EXPECT_EQ(str(ini, "S", "h"), "it's");
}

TEST(IniFile, AValueOf3000CharactersYieldsItsFirst2047) {
    std::string longValue;
    for (int i = 0; i < 3000; ++i) longValue += static_cast<char>('a' + i % 26);
    const IniFile ini = parsed("[PARAMETER]\nShoeFileName=" + longValue + "\nNext=ok\n");
    const std::string got = str(ini, "PARAMETER", "ShoeFileName");
    EXPECT_EQ(got.size(), IniFile::kMaxValue);
    EXPECT_EQ(got, longValue.substr(0, 2047));
    EXPECT_EQ(str(ini, "PARAMETER", "Next"), "ok");
    // Exactly 2047 stays whole; quotes come off before the cut.
    EXPECT_EQ(str(parsed("[S]\nk=" + longValue.substr(0, 2047) + "\n"), "S", "k").size(), 2047u);
    EXPECT_EQ(str(parsed("[S]\nk=\"" + longValue + "\"\n"), "S", "k"), longValue.substr(0, 2047));
}

TEST(IniFile, MissingSectionOrKeyGivesTheDefault) {
    const IniFile ini = parsed("[A]\nx=1\n");
    EXPECT_EQ(str(ini, "B", "x"), "<default>");
    EXPECT_EQ(str(ini, "A", "y"), "<default>");
    EXPECT_EQ(ini.readInteger("B", "x", 7), 7);
    EXPECT_EQ(str(IniFile(), "A", "x"), "<default>");
}

TEST(IniFile, AnEmptyValueIsNotMissing) {
    const IniFile ini = parsed("[A]\nx=\ny=   \n");
    EXPECT_EQ(str(ini, "A", "x"), "");
    EXPECT_EQ(str(ini, "A", "y"), "");
}

TEST(IniFile, ReadIntegerAcceptsOnlyDecimalWholeNumbersIn32Bits) {
    const IniFile ini = parsed(
        "[P]\n"
        "a=-40\nb=+12\nc=0012\nd=2147483647\ne=-2147483648\n"
        "f=2147483648\ng=-2147483649\nh=12abc\ni=\nj=1.5\nk=abc\nl= 15 \nm=\"25\"\n"
        "n=0x10\no=$10\np=-\nq=+\nr=1 2\ns=99999999999999999999999999\nt=000000000000000000000000000042\n"
        "u=1e3\nv=--1\n");
    EXPECT_EQ(ini.readInteger("P", "a", 0), -40);
    EXPECT_EQ(ini.readInteger("P", "b", 0), 12);
    EXPECT_EQ(ini.readInteger("P", "c", 0), 12);
    EXPECT_EQ(ini.readInteger("P", "d", 0), 2147483647);
    EXPECT_EQ(ini.readInteger("P", "e", 0), -2147483647 - 1);
    for (const char* key : {"f", "g", "h", "i", "j", "k", "n", "o", "p", "q", "r", "s", "u", "v", "missing"})
        EXPECT_EQ(ini.readInteger("P", key, -99), -99) << key;
    EXPECT_EQ(ini.readInteger("P", "l", 0), 15);  // blanks are dropped before conversion
    EXPECT_EQ(ini.readInteger("P", "m", 0), 25);  // and so are enclosing quotes
    EXPECT_EQ(ini.readInteger("P", "t", 0), 42);
}

TEST(IniFile, CrLfLfAndLoneCrLineEndsAndNoFinalNewline) {
    const IniFile ini = parsed("[A]\r\ncrlf=1\r\nlf=2\ncr=3\r[B]\rlast=4");
    EXPECT_EQ(str(ini, "A", "crlf"), "1");
    EXPECT_EQ(str(ini, "A", "lf"), "2");
    EXPECT_EQ(str(ini, "A", "cr"), "3");
    EXPECT_EQ(str(ini, "B", "last"), "4");
    EXPECT_EQ(str(parsed("[A]\r\nk=v\r"), "A", "k"), "v");
    EXPECT_EQ(str(parsed("[A]\n\n\r\n\r\rk=v"), "A", "k"), "v");
}

TEST(IniFile, Utf8ByteOrderMarkAtTheStartIsSkipped) {
    EXPECT_EQ(str(parsed("\xEF\xBB\xBF[PARAMETER]\nA=1\n"), "PARAMETER", "A"), "1");
    // Elsewhere it is just text: here it is part of the first key's name.
    EXPECT_EQ(str(parsed("[P]\n\xEF\xBB\xBF"
                         "A=1\n"),
                  "P", "A"),
              "<default>");
}

TEST(IniFile, KeyLinesBeforeAnySectionAreIgnored) {
    const IniFile ini = parsed("A=top\n[S]\nB=in\n");
    EXPECT_EQ(str(ini, "", "A"), "<default>");
    EXPECT_EQ(str(ini, "S", "A"), "<default>");
    EXPECT_EQ(str(ini, "S", "B"), "in");
}

TEST(IniFile, TheFirstOccurrenceOfARepeatedSectionWinsAndNothingIsMerged) {
    const IniFile ini = parsed("[P]\nA=first\n[Q]\nX=1\n[p]\nA=second\nB=only-in-second\n[Q]\nY=2\n");
    EXPECT_EQ(str(ini, "P", "A"), "first");
    EXPECT_EQ(str(ini, "P", "B"), "<default>");
    EXPECT_EQ(str(ini, "Q", "X"), "1");
    EXPECT_EQ(str(ini, "Q", "Y"), "<default>");
}

TEST(IniFile, TheFirstOfARepeatedKeyWins) {
    const IniFile ini = parsed("[P]\nViewCard=ALL\nVIEWCARD=NONE\n");
    EXPECT_EQ(str(ini, "P", "viewcard"), "ALL");
}

TEST(IniFile, EqualsSignInsideAValueSplitsAtTheFirst) {
    const IniFile ini = parsed("[P]\nFormula = a=b=c \n=noname\n");
    EXPECT_EQ(str(ini, "P", "Formula"), "a=b=c");
    EXPECT_EQ(str(ini, "P", ""), "<default>");  // a key line with an empty name is ignored
}

TEST(IniFile, CommentLinesStartWithSemicolonOrHash) {
    const IniFile ini = parsed("[P]\n;A=1\n  # B=2\nC=3 ; not a comment\n#[Q]\n[Q]\n\tD=4\n");
    EXPECT_EQ(str(ini, "P", "A"), "<default>");
    EXPECT_EQ(str(ini, "P", ";A"), "<default>");
    EXPECT_EQ(str(ini, "P", "B"), "<default>");
    EXPECT_EQ(str(ini, "P", "C"), "3 ; not a comment");
    EXPECT_EQ(str(ini, "Q", "D"), "4");
}

TEST(IniFile, LinesWithoutEqualsSignAndBrokenSectionLinesAreIgnored) {
    const IniFile ini = parsed("[P]\nJustAWord\nA=1\n[Broken\nB=2\n");
    EXPECT_EQ(str(ini, "P", "JustAWord"), "<default>");
    EXPECT_EQ(str(ini, "P", "A"), "1");
    EXPECT_EQ(str(ini, "P", "B"), "2");  // "[Broken" opened nothing: still in P
    EXPECT_EQ(str(ini, "Broken", "B"), "<default>");
}

TEST(IniFile, BinaryBytesAndNulDoNotCrashAndNulEndsItsLine) {
    std::string text = "[P]\nA=ab";
    text += '\0';
    text += "cd\nB=\x01\x7f\xff\xe9\n";
    text += std::string("\0\0\0[Q]\nC=1\n", 11);
    const IniFile ini = parsed(text);
    EXPECT_EQ(str(ini, "P", "A"), "ab");
    EXPECT_EQ(str(ini, "P", "B"), "\x01\x7f\xff\xe9");
    EXPECT_EQ(str(ini, "Q", "C"), "<default>");  // the line began with NUL: it is empty
    EXPECT_EQ(str(ini, "P", "C"), "1");

    // Random bytes: no crash, no hang.
    std::mt19937 gen(12345);
    for (int round = 0; round < 200; ++round) {
        std::string junk(static_cast<size_t>(gen() % 4000), '\0');
        for (char& c : junk) c = static_cast<char>("[]=;#\r\n \t\"'aA\0\xff"[gen() % 15]);
        const IniFile any = parsed(junk);
        (void)any.readString("a", "a", "");
        (void)any.readInteger("A", "aa", 0);
    }
}

TEST(IniFile, ASingleLineOfSeveralMegabytesIsReadInLinearTime) {
    const auto start = std::chrono::steady_clock::now();
    std::string big(8 * 1024 * 1024, 'x');
    EXPECT_EQ(str(parsed(big), "P", "x"), "<default>");
    EXPECT_EQ(str(parsed("[P]\nK=" + big), "P", "K").size(), IniFile::kMaxValue);
    EXPECT_EQ(str(parsed("[P]\n" + big + "=v\n"), "P", big.c_str()), "v");
    std::string spaces = "[P]\nK=a" + std::string(8 * 1024 * 1024, ' ') + "b";
    EXPECT_EQ(str(parsed(spaces), "P", "K").size(), IniFile::kMaxValue);
    std::string manyLines;
    for (int i = 0; i < 200000; ++i) manyLines += "[S" + std::to_string(i % 1000) + "]\nk" + std::to_string(i) + "=v\n";
    EXPECT_EQ(str(parsed(manyLines), "S5", "k5"), "v");
    std::string brackets = "[" + std::string(8 * 1024 * 1024, '[');
    EXPECT_EQ(str(parsed(brackets), "P", "K"), "<default>");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 10);
}

TEST_F(IniScratchDir, LoadReadsAFileAndReportsMissingFiles) {
    IniFile ini;
    EXPECT_EQ(ini.load(write("p.ini", "[PARAMETER]\r\nparX=-40\r\n")), IniFile::Status::Ok);
    EXPECT_EQ(ini.readInteger("PARAMETER", "parX", 0), -40);
    EXPECT_EQ(ini.load((dir_ / "none.ini").string()), IniFile::Status::Missing);
    EXPECT_EQ(ini.readInteger("PARAMETER", "parX", 0), 0);  // nothing left of the earlier file
    EXPECT_EQ(ini.load((dir_ / "nodir" / "none.ini").string()), IniFile::Status::Missing);
    EXPECT_EQ(ini.load(""), IniFile::Status::Missing);
    EXPECT_EQ(ini.load(write("empty.ini", "")), IniFile::Status::Ok);
}

TEST_F(IniScratchDir, LoadOfADirectoryIsAnError) {
    IniFile ini;
    fs::create_directory(dir_ / "QBXParameter.ini");
    EXPECT_EQ(ini.load((dir_ / "QBXParameter.ini").string()), IniFile::Status::Error);
    EXPECT_EQ(ini.load(dir_.string() + "/"), IniFile::Status::Error);
}

#ifndef _WIN32  // pipes, modes and the superuser are POSIX's
TEST_F(IniScratchDir, LoadOfAPipeIsAnErrorAndDoesNotBlock) {
    const fs::path fifo = dir_ / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniFile ini;
    EXPECT_EQ(ini.load(fifo.string()), IniFile::Status::Error);
}

namespace {

// The statuses load() gives the files at `paths`, read by an unprivileged
// user: the superuser reads and searches anything, so a test run as root
// reads them in a child process that has given up root for the user nobody.
std::vector<IniFile::Status> loadedUnprivileged(const std::vector<std::string>& paths) {
    std::vector<IniFile::Status> statuses;
    if (::geteuid() != 0) {
        for (const std::string& path : paths) statuses.push_back(IniFile().load(path));
        return statuses;
    }
    int channel[2];
    if (::pipe(channel) != 0) {
        ADD_FAILURE() << "no pipe: " << std::strerror(errno);
        return statuses;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const gid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0 || ::geteuid() == 0)
            ::_exit(2);
        for (const std::string& path : paths) {
            const char status = static_cast<char>(IniFile().load(path));
            if (::write(channel[1], &status, 1) != 1) ::_exit(3);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    char status;
    while (child > 0 && ::read(channel[0], &status, 1) == 1) statuses.push_back(static_cast<IniFile::Status>(status));
    ::close(channel[0]);
    int exit = -1;
    if (child > 0) ::waitpid(child, &exit, 0);
    EXPECT_TRUE(child > 0 && WIFEXITED(exit) && WEXITSTATUS(exit) == 0)
        << "the child that gave up root failed (status " << exit << ")";
    return statuses;
}

}  // namespace

// Each case reads a readable file beside the refused one first: the user can
// reach the folder, and only the permission makes the difference.
TEST_F(IniScratchDir, LoadOfAnUnreadableFileIsAnError) {
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string open = write("open.ini", "[P]\nA=1\n");
    fs::permissions(open, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string p = write("locked.ini", "[P]\nA=1\n");
    fs::permissions(p, fs::perms::none);
    EXPECT_EQ(loadedUnprivileged({open, p}),
              (std::vector<IniFile::Status>{IniFile::Status::Ok, IniFile::Status::Error}));
}

TEST_F(IniScratchDir, LoadOfAFileInAnUnsearchableDirectoryIsAnError) {
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string open = write("open.ini", "[P]\nA=1\n");
    fs::permissions(open, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directory(dir_ / "closed");
    const std::string p = write("closed/p.ini", "[P]\nA=1\n");
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir_ / "closed", fs::perms::none);
    EXPECT_EQ(loadedUnprivileged({open, p}),
              (std::vector<IniFile::Status>{IniFile::Status::Ok, IniFile::Status::Error}));
    fs::permissions(dir_ / "closed", fs::perms::owner_all);  // for the removal
}
#endif
