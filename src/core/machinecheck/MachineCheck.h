#pragma once
// The machine check: what the table measured on the lab's own machine,
// judged against the program's limits, and said three ways: one line per
// figure on standard output, a JSON file with every figure, and a page the
// lab keeps with its study. The desktop plays the hand and gathers the
// samples (desktop/check); everything that judges and writes is here, with
// no window system.

#include <optional>
#include <string>
#include <vector>

namespace qbx::machinecheck {

// The limits, one table: docs/experimenter-guide.md shows the same numbers
// with their reasons. A limit of 0 is not judged.
struct Limits {
    // The stamp a record takes minus the moment its input was sent.
    double stampMedianMs = 1.0;
    double stampMaxMs = 3.0;
    double stampP99Ms = 0;
    // The deal's steps: their median within dealStepMs ± dealStepToleranceMs,
    // and 99 in 100 no later than dealStepP99Ms.
    double dealStepMs = 0;
    double dealStepToleranceMs = 0;
    double dealStepP99Ms = 0;
    // A durable record (append + flush to the disk) in the folder of dataout.
    double durableMedianMs = 0;
    double durableP99Ms = 0;
    // The table's least size, in device-independent pixels.
    int tableWidth = 0, tableHeight = 0;
    // The table back in front after an attempt to take it away.
    double frontBackMs = 0;
    // The program's start to the login window shown.
    double startToLoginMs = 0;
};
// The limits of the system the program runs on (Linux or Windows).
Limits limitsForThisSystem();
// Median, 99th percentile and largest of some samples (nearest rank).
struct Summary {
    size_t count = 0;
    double median = 0, p99 = 0, max = 0;
};
Summary summarise(std::vector<double> samples);

// One glide of a deal: from its start to the tick that placed its card,
// against the deal step in which it must end.
struct DealGlide {
    double lastingMs = 0;  // start to the placing tick; < 0 when it never placed its card
    double stepMs = 0;     // start to the next deal step (or the deal's end)
};

// An attempt to take the table away, and what became of it.
struct FrontAttempt {
    std::string what;    // "another window activated", "minimise request", "show desktop"
    bool tried = false;  // false: the desktop offers no such thing (reason says so)
    bool cameBack = false;
    double backAfterMs = -1;
    std::string reason;
};

// Where the durable records were written and what kind of disk holds them.
struct DiskInfo {
    std::string folder;      // as the lab named it
    std::string fileSystem;  // "ext4", "nfs", "cifs", "NTFS", ...
    bool networkShare = false;
};

// Everything the desktop gathered. A vector left empty with its
// `...Unmeasured` reason set is a figure that could not be measured.
struct Measurements {
    // The machine.
    std::string os;             // the operating system's name and version
    std::string windowManager;  // empty when there is none
    std::string qtVersion;
    int screenWidth = 0, screenHeight = 0;  // device-independent pixels
    double devicePixelRatio = 1;
    std::string tableFont, loginFont;  // the families the windows resolved
    int cpuCount = 0;

    std::vector<double> stampMs;  // stamp − input sent, one per input
    std::string stampUnmeasured;
    std::vector<double> glideTickMs;  // interval between consecutive glide ticks
    std::vector<DealGlide> dealGlides;
    std::vector<double> dealStepMs;  // interval between consecutive deal steps
    std::string glideUnmeasured;
    std::vector<double> durableMs;  // one append + flush each
    std::string durableUnmeasured;
    DiskInfo disk;
    double startToLoginMs = -1;  // the program's start to the login window shown; < 0 not measured
    std::string startUnmeasured;
    std::vector<FrontAttempt> front;
    std::string frontUnmeasured;
};

enum class Verdict { Fit, NotFit, NotMeasured };

// One line of the check.
struct Figure {
    std::string key;    // "stamp", "glide", "dealStep", "durable", "screen", "front", "start": the JSON key
    std::string title;  // "Input to its time stamp"
    std::string value;  // "median 0.42 ms, p99 1.10 ms, max 2.03 ms (n = 64)"
    std::string limit;  // "median ≤ 1 ms, max ≤ 3 ms"
    Verdict verdict = Verdict::NotMeasured;
    std::string reason;  // why not fit or not measured; empty when fit
};

struct Report {
    std::vector<Figure> figures;
    // Fit when every figure is; NotFit when any is not; NotMeasured when
    // none is not fit but one could not be measured.
    Verdict overall = Verdict::NotMeasured;
};

// "fit", "not fit", "not measured": as the text and the JSON say it.
const char* verdictName(Verdict verdict);

// Judges every figure against the limits.
Report judge(const Measurements& m, const Limits& limits);

// The exit status: 0 fit, 1 a figure not fit or not measured.
int exitStatus(const Report& report);

// The program's version and when and where the check ran, for the outputs.
struct RunInfo {
    std::string programVersion, programCommit;
    std::string startedAt;  // ISO local time
    std::string hostName;
};

// The overall verdict as a sentence: "This machine is fit for sessions."
std::string overallSentence(const Report& report);
// One line per figure ("fit       Input to its time stamp: …"), then the overall line.
std::string reportText(const Report& report);
// Every figure, every sample's summary, the machine and the limits.
std::string reportJson(const Report& report, const Measurements& m, const Limits& limits, const RunInfo& run);
// A self-contained HTML page (no file beside it, no script, no network):
// the verdict, a table of the figures, pictures of the spreads as inline SVG.
std::string reportHtml(const Report& report, const Measurements& m, const Limits& limits, const RunInfo& run);

// Appends `count` records of a log's size to a new file in `folder` and
// flushes each to the disk, as the event logs are, timing each; the file is
// removed after. Fills `disk` with the folder and the kind of file system
// that holds it. On a failure (the folder missing, no folder, not writable,
// a write or flush refused) `error` says why and the samples are those made
// before it.
std::vector<double> measureDurableRecords(const std::string& folder, int count, DiskInfo& disk, std::string& error);

}  // namespace qbx::machinecheck
