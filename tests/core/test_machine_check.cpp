// The machine check's judgement against its limits, its three outputs, and
// the durable records it times in a folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/json/Json.h"
#include "core/machinecheck/MachineCheck.h"
#include "core/platform/System.h"
#include "core/text/Encoding.h"

namespace fs = std::filesystem;
using namespace qbx;
using namespace qbx::machinecheck;

namespace {

// The Linux limits, whatever system the tests run on, so that the
// boundaries below are the same everywhere.
Limits linuxLimits() {
    Limits l = limitsForThisSystem();
    l.stampMedianMs = 1;
    l.stampMaxMs = 3;
    l.stampP99Ms = 0;
    return l;
}

// A machine that passes every figure.
Measurements fitMachine() {
    Measurements m;
    m.os = "Debian GNU/Linux 12";
    m.windowManager = "openbox";
    m.qtVersion = "6.4.2";
    m.screenWidth = 1920;
    m.screenHeight = 1080;
    m.devicePixelRatio = 1.25;
    m.cpuCount = 4;
    m.stampMs = {0.4, 0.5, 0.6, 1.0, 2.9};
    m.glideTickMs = {15, 15.2, 14.9};
    for (int i = 0; i < 6; ++i) m.dealGlides.push_back({200.0 + i, 302});
    m.dealStepMs = {302.1, 302.0, 303.5};
    m.durableMs = {0.3, 0.4, 2.0};
    m.disk = {"/lab/dataout", "ext4", false};
    m.startToLoginMs = 61;
    m.front = {{"minimise request", true, true, 40, ""}, {"show desktop", false, false, -1, "no such key"}};
    return m;
}

const Figure& figure(const Report& r, const std::string& key) {
    for (const Figure& f : r.figures)
        if (f.key == key) return f;
    throw std::runtime_error("no figure " + key);
}

Verdict verdictOf(const Measurements& m, const std::string& key) {
    return figure(judge(m, linuxLimits()), key).verdict;
}

}  // namespace

TEST(MachineCheckSummary, NearestRankMedianP99AndMaxIgnoringWhatIsNoNumber) {
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    hundred.push_back(NAN);
    const Summary s = summarise(hundred);
    EXPECT_EQ(s.count, 100u);
    EXPECT_EQ(s.median, 50);
    EXPECT_EQ(s.p99, 99);
    EXPECT_EQ(s.max, 100);
    const Summary few = summarise({3, 1, 2, 9});
    EXPECT_EQ(few.median, 2);  // rank ceil(0.5 * 4) = 2
    EXPECT_EQ(few.p99, 9);
    EXPECT_EQ(summarise({}).count, 0u);
}

TEST(MachineCheckJudge, AFitMachineIsFitInEveryFigureAndExitsZero) {
    const Report r = judge(fitMachine(), linuxLimits());
    ASSERT_EQ(r.figures.size(), 7u);
    for (const Figure& f : r.figures) EXPECT_EQ(f.verdict, Verdict::Fit) << f.key << ": " << f.reason;
    EXPECT_EQ(r.overall, Verdict::Fit);
    EXPECT_EQ(exitStatus(r), 0);
    // An attempt the desktop does not offer is named, not failed.
    EXPECT_NE(figure(r, "front").value.find("show desktop (no such key)"), std::string::npos);
}

TEST(MachineCheckJudge, EachFigureIsFitAtItsLimitAndNotFitJustPastIt) {
    Measurements m = fitMachine();
    m.stampMs = {1.0, 1.0, 3.0};
    EXPECT_EQ(verdictOf(m, "stamp"), Verdict::Fit);
    m.stampMs = {1.01, 1.01, 1.01};
    EXPECT_EQ(verdictOf(m, "stamp"), Verdict::NotFit);
    m.stampMs = {0.1, 0.1, 3.01};
    EXPECT_EQ(verdictOf(m, "stamp"), Verdict::NotFit);
    // Windows judges the 99th percentile instead of the largest.
    Limits windows = linuxLimits();
    windows.stampMedianMs = 6, windows.stampMaxMs = 0, windows.stampP99Ms = 20;
    std::vector<double> stamps(200, 1.0);
    stamps.back() = 150;  // one in 200: past the 99th percentile
    m.stampMs = stamps;
    EXPECT_EQ(figure(judge(m, windows), "stamp").verdict, Verdict::Fit);
    stamps[0] = stamps[1] = 21;
    m.stampMs = stamps;
    EXPECT_EQ(figure(judge(m, windows), "stamp").verdict, Verdict::NotFit);

    m = fitMachine();
    m.dealGlides = {{302, 302}};
    EXPECT_EQ(verdictOf(m, "glide"), Verdict::Fit);
    m.dealGlides = {{250, 302}, {302.5, 302}, {310, 302}, {-1, 302}};
    const Figure glide = figure(judge(m, linuxLimits()), "glide");
    EXPECT_EQ(glide.verdict, Verdict::NotFit);
    EXPECT_NE(glide.reason.find("2 of 4 outlasted their step, the worst by 8.00 ms"), std::string::npos)
        << glide.reason;
    EXPECT_NE(glide.reason.find("1 of 4 never placed their card"), std::string::npos) << glide.reason;

    m = fitMachine();
    m.dealStepMs = {307, 307, 307};
    EXPECT_EQ(verdictOf(m, "dealStep"), Verdict::Fit);
    m.dealStepMs = {296.9, 296.9, 296.9};
    EXPECT_EQ(verdictOf(m, "dealStep"), Verdict::NotFit);
    m.dealStepMs = {302, 302, 352.1};  // p99 of three is the largest
    EXPECT_EQ(verdictOf(m, "dealStep"), Verdict::NotFit);

    m = fitMachine();
    m.durableMs = {5, 5, 15};
    m.disk.fileSystem = "nfs4";
    m.disk.networkShare = true;
    const Figure durable = figure(judge(m, linuxLimits()), "durable");
    EXPECT_EQ(durable.verdict, Verdict::Fit);
    EXPECT_NE(durable.value.find("on nfs4, a network share"), std::string::npos) << durable.value;
    m.durableMs = {5.1, 5.1, 5.1};
    EXPECT_EQ(verdictOf(m, "durable"), Verdict::NotFit);
    m.durableMs = {1, 1, 15.1};
    EXPECT_EQ(verdictOf(m, "durable"), Verdict::NotFit);

    m = fitMachine();
    m.screenWidth = 1024, m.screenHeight = 768;
    EXPECT_EQ(verdictOf(m, "screen"), Verdict::Fit);
    m.screenHeight = 767;
    EXPECT_EQ(verdictOf(m, "screen"), Verdict::NotFit);

    m = fitMachine();
    m.front = {{"minimise request", true, true, 2000, ""}};
    EXPECT_EQ(verdictOf(m, "front"), Verdict::Fit);
    m.front = {{"minimise request", true, true, 2001, ""}};
    EXPECT_EQ(verdictOf(m, "front"), Verdict::NotFit);
    m.front = {{"show desktop", true, false, -1, ""}};
    EXPECT_EQ(verdictOf(m, "front"), Verdict::NotFit);

    m = fitMachine();
    m.startToLoginMs = 3000;
    EXPECT_EQ(verdictOf(m, "start"), Verdict::Fit);
    m.startToLoginMs = 3000.5;
    EXPECT_EQ(verdictOf(m, "start"), Verdict::NotFit);
}

TEST(MachineCheckJudge, AFigureWithoutSamplesIsNotMeasuredWithItsReasonAndNotFitOutweighsIt) {
    Measurements m = fitMachine();
    m.stampMs.clear();
    m.stampUnmeasured = "XTEST is missing";
    m.front = {{"show desktop", false, false, -1, "no key"}};
    Report r = judge(m, linuxLimits());
    EXPECT_EQ(figure(r, "stamp").verdict, Verdict::NotMeasured);
    EXPECT_EQ(figure(r, "stamp").reason, "XTEST is missing");
    EXPECT_EQ(figure(r, "front").verdict, Verdict::NotMeasured);  // nothing could be tried
    EXPECT_EQ(r.overall, Verdict::NotMeasured);
    EXPECT_EQ(exitStatus(r), 1);
    EXPECT_EQ(overallSentence(r),
              "This machine could not be shown fit for sessions: Input to its time stamp, Table kept in front could "
              "not be measured.");

    m.screenWidth = 800;
    r = judge(m, linuxLimits());
    EXPECT_EQ(r.overall, Verdict::NotFit);
    EXPECT_EQ(exitStatus(r), 1);
    EXPECT_EQ(overallSentence(r), "This machine is not fit for sessions: Screen size.");
}

TEST(MachineCheckText, OneAsciiLinePerFigureWithTheVerdictInAColumnThenTheOverallLine) {
    Measurements m = fitMachine();
    m.durableMs = {9, 9, 9};
    const std::string out = reportText(judge(m, linuxLimits()));
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(out.substr(at, end - at));
    ASSERT_EQ(lines.size(), 8u) << out;
    EXPECT_EQ(lines[0].rfind("fit            Input to its time stamp: median 0.60 ms, p99 2.90 ms, max 2.90 ms (n = 5);"
                             " limit median <= 1 ms, max <= 3 ms",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[3].rfind("not fit        Durable log record", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find(" - the median is over 5 ms"), std::string::npos) << lines[3];
    EXPECT_NE(lines[2].find("median 302 +/- 5 ms"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[7], "This machine is not fit for sessions: Durable log record (append + flush).");
    for (unsigned char c : out) EXPECT_LT(c, 0x80) << out;
}

TEST(MachineCheckJson, ReadsBackWithEveryFigureItsSamplesAndTheMachine) {
    Measurements m = fitMachine();
    m.windowManager = "wm\x93quoted\x94";  // Windows-1252, no UTF-8
    m.durableMs.clear();
    m.durableUnmeasured = "the folder is read-only";
    const Report r = judge(m, linuxLimits());
    const std::string text = reportJson(r, m, linuxLimits(), {"1.0", "abc1234", "2026-12-09T10:00:00.000", "lab-pc"});
    std::string error;
    const auto doc = json::read(text, error);
    ASSERT_TRUE(doc) << error << "\n" << text;
    EXPECT_EQ(doc->find("verdict")->text(), "not measured");
    EXPECT_EQ(doc->find("program")->find("commit")->text(), "abc1234");
    EXPECT_EQ(doc->find("machine")->find("windowManager")->text(), "wm\u201cquoted\u201d");
    EXPECT_EQ(doc->find("limits")->find("durableP99Ms")->real(), 15);
    const json::Value* figures = doc->find("figures");
    ASSERT_TRUE(figures && figures->isArray());
    std::vector<std::string> keys;
    for (const json::Value& f : figures->elements()) {
        keys.push_back(f.find("key")->text());
        ASSERT_TRUE(f.find("verdict") && f.find("value") && f.find("limit") && f.find("reason"));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"stamp", "glide", "dealStep", "durable", "screen", "front", "start"}));
    const json::Value& stamp = figures->elements()[0];
    EXPECT_EQ(stamp.find("summaryMs")->find("count")->integer(), 5);
    EXPECT_EQ(stamp.find("summaryMs")->find("median")->real(), 0.6);
    EXPECT_EQ(stamp.find("samplesMs")->elements().size(), 5u);
    EXPECT_EQ(figures->elements()[1].find("dealGlides")->elements().size(), 6u);
    const json::Value& durable = figures->elements()[3];
    EXPECT_EQ(durable.find("verdict")->text(), "not measured");
    EXPECT_EQ(durable.find("reason")->text(), "the folder is read-only");
}

TEST(MachineCheckHtml, ASelfContainedPageWithHostileNamesEscapedAndItsElementsClosed) {
    Measurements m = fitMachine();
    m.windowManager = "<script>alert(1)</script> & \"wm\"";
    m.disk.folder = "C:\\lab\\<data>\xe9t\xe9";  // Windows-1252 "été"
    m.dealGlides.push_back({320, 302});
    const std::string page = reportHtml(judge(m, linuxLimits()), m, linuxLimits(), {"1.0", "", "now", "host<1>"});
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;wm&quot;"), std::string::npos);
    EXPECT_NE(page.find("&lt;data&gt;\u00e9t\u00e9"), std::string::npos);
    EXPECT_NE(page.find("host&lt;1&gt;"), std::string::npos);
    EXPECT_TRUE(isUtf8(page));
    EXPECT_NE(page.find("class=\"verdict notfit\""), std::string::npos);
    // Nothing fetched: no link, image or external font.
    for (const char* outside : {"<link", "<img", "src=", "@import", "url("})
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    const auto count = [&](const std::string& s) {
        size_t n = 0;
        for (size_t at = page.find(s); at != std::string::npos; at = page.find(s, at + 1)) ++n;
        return n;
    };
    for (const char* tag : {"html", "head", "body", "main", "table", "tr", "td", "svg", "figure", "dl", "ul", "p"}) {
        const std::string name(tag);
        EXPECT_EQ(count("<" + name + ">") + count("<" + name + " "), count("</" + name + ">")) << name;
    }
    EXPECT_EQ(count("<svg "), 4u);  // stamps, glides, deal steps, durable records
}

namespace {

fs::path freshFolder() {
    std::random_device rd;
    fs::path dir = fs::temp_directory_path() / ("qbx_mc_" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(MachineCheckDurable, TimesEachRecordAndLeavesNoFileBehind) {
    const fs::path dir = freshFolder();
    DiskInfo disk;
    std::string error;
    const std::vector<double> samples = measureDurableRecords(dir.string(), 5, disk, error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(samples.size(), 5u);
    for (double x : samples) EXPECT_GE(x, 0);
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(disk.folder, dir.string());
#ifdef __linux__
    EXPECT_FALSE(disk.fileSystem.empty());
    if (fs::is_directory("/dev/shm")) {
        const sys::FileSystemKind shm = sys::fileSystemOf("/dev/shm");
        EXPECT_EQ(shm.name, "tmpfs");
        EXPECT_FALSE(shm.network);
    }
#endif
    fs::remove_all(dir);
}

TEST(MachineCheckDurable, AMissingFolderOrAFileIsRefusedAndNamed) {
    const fs::path dir = freshFolder();
    DiskInfo disk;
    std::string error;
    EXPECT_TRUE(measureDurableRecords((dir / "none").string(), 3, disk, error).empty());
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    sys::replaceWholeFile((dir / "file").string(), "x", error);
    error.clear();
    EXPECT_TRUE(measureDurableRecords((dir / "file").string(), 3, disk, error).empty());
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
    fs::remove_all(dir);
}

#ifndef _WIN32
// The superuser writes in any folder: run as root, the check runs in a child
// that has given up root for the user nobody.
TEST(MachineCheckDurable, AFolderThatCannotBeWrittenIsRefused) {
    const fs::path dir = freshFolder();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        DiskInfo disk;
        std::string error;
        const bool none = measureDurableRecords(dir.string(), 3, disk, error).empty();
        const std::string said = (none ? "1" : "0") + error;
        ::_exit(::write(channel[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 3);
    }
    ::close(channel[1]);
    std::string said;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<size_t>(n));
    ::close(channel[0]);
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(said.substr(0, 1), "1");
    EXPECT_NE(said.find("cannot write in the folder " + dir.string() + ": "), std::string::npos) << said;
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}
#endif
