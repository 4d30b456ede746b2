#include "desktop/replay/ReplayMain.h"

#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/output/OutputGuard.h"
#include "core/replay/SessionReplay.h"
#include "desktop/replay/HandExport.h"
#include "desktop/replay/ReplayTable.h"
#include "desktop/replay/ReplayWindow.h"
#include "desktop/replay/SessionFiles.h"
#include "desktop/widgets/Fonts.h"
#include "desktop/widgets/QtMessages.h"
#include "desktop/widgets/Text.h"

namespace qbx::replayview {

namespace {

constexpr int kCouldNotRun = 2;
const char* const kTitle = "QBXSolo replay";

bool wantsWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"--export-hand", "--snapshot", "--help", "-h", "--version", "-v"})
            if (std::strncmp(argv[i], option, std::strlen(option)) == 0) return false;
    return true;
}

int fail(bool window, const std::string& message) {
    std::fprintf(stderr, "qbxreplay: error: %s\n", message.c_str());
    if (window) QMessageBox::critical(nullptr, QString::fromLatin1(kTitle), fromBytes(message));
    return kCouldNotRun;
}

bool readNumber(const QString& text, long long& out) {
    bool ok = false;
    out = text.toLongLong(&ok);
    return ok;
}

}  // namespace

int runQbxReplay(int argc, char** argv) {
    const bool window = wantsWindow(argc, argv);
    // An export draws off the screen: with no display, Qt's offscreen
    // platform. So does a window's command line until it is read, so that a
    // wrong argument is told as such, not as a display missing.
    // Windows always has its desktop to draw on.
#ifdef _WIN32
    const bool noDisplay = false;
#else
    const bool noDisplay =
        !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
    if (noDisplay) setenv("QT_QPA_PLATFORM", "offscreen", 1);
#endif
    installQtMessageFilter();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qbxreplay"));
    QApplication::setApplicationVersion(QStringLiteral(QBX_VERSION));
    installFontSubstitutions();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a session of QBXSolo back on its table, from its two logs. Nothing is written but an export.\n"
        "Examples:\n  qbxreplay dataout 071226_4711\n  qbxreplay --setup ~/experiment dataout/ck071226_4711.txt\n"
        "  qbxreplay dataout 071226_4711 --export-hand 3 --apng hand3.png\n"
        "An export never goes into the logs' folder or the setup, never replaces a log, a setup file or\n"
        "a file that is no regular file, nor writes through a link; an existing file is replaced only with\n"
        "--force. --apng - and --out - write to standard output."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("LOG"),
                                 QStringLiteral("Either log of the session; or the logs' folder (DATAOUT) and the "
                                                "session's name (SESSION, like 071226_4711)."),
                                 QStringLiteral("LOG | DATAOUT SESSION"));
    const QCommandLineOption setup(QStringLiteral("setup"),
                                   QStringLiteral("The experiment's folder (holding setup/), or its setup folder; "
                                                  "used instead of the setup the run record saved."),
                                   QStringLiteral("DIR"));
    const QCommandLineOption exportHand(QStringLiteral("export-hand"),
                                        QStringLiteral("Export hand N (with --apng or --frames), no window."),
                                        QStringLiteral("N"));
    const QCommandLineOption apng(QStringLiteral("apng"), QStringLiteral("The hand as an animated PNG."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption frames(QStringLiteral("frames"), QStringLiteral("The hand as numbered PNG frames."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption fps(QStringLiteral("fps"), QStringLiteral("Frames a second of an export (25)."),
                                 QStringLiteral("F"));
    const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                      QStringLiteral("The table as the participant saw it after action ACTION "
                                                     "(from 0) into --out, at its own size, no window."),
                                      QStringLiteral("ACTION"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("The snapshot's PNG file."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("Replace an export's file or frames that exist (never a log, "
                                                  "a setup file or a link)."));
    for (const QCommandLineOption& o : {setup, exportHand, apng, frames, fps, snapshot, out, force})
        parser.addOption(o);
    if (!parser.parse(QApplication::arguments())) return fail(false, toBytes(parser.errorText()));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("qbxreplay %s\n", QBX_VERSION);
        return 0;
    }

    // What is asked, checked before anything is read.
    const bool exporting = parser.isSet(exportHand);
    const bool snapping = parser.isSet(snapshot);
    long long hand = 0, action = 0;
    double framesPerSecond = kDefaultFps;
    if (exporting && snapping) return fail(false, "--export-hand and --snapshot are two runs");
    if (exporting) {
        if (!readNumber(parser.value(exportHand), hand) || hand < 1)
            return fail(false, "--export-hand: a hand's number from 1, not " + toBytes(parser.value(exportHand)));
        if (parser.isSet(apng) == parser.isSet(frames))
            return fail(false, "--export-hand needs --apng FILE or --frames DIR");
        if (parser.isSet(fps)) {
            bool ok = false;
            framesPerSecond = parser.value(fps).toDouble(&ok);
            if (!ok || !(framesPerSecond > 0 && framesPerSecond <= 100))
                return fail(false, "--fps: a number above 0 and up to 100, not " + toBytes(parser.value(fps)));
        }
    } else if (parser.isSet(apng) || parser.isSet(frames) || parser.isSet(fps)) {
        return fail(false, "--apng, --frames and --fps go with --export-hand");
    }
    if (snapping) {
        if (!readNumber(parser.value(snapshot), action) || action < 0)
            return fail(false, "--snapshot: an action's index from 0, not " + toBytes(parser.value(snapshot)));
        if (!parser.isSet(out)) return fail(false, "--snapshot needs --out FILE.png");
    } else if (parser.isSet(out)) {
        return fail(false, "--out goes with --snapshot");
    }
    if (parser.isSet(force) && !exporting && !snapping)
        return fail(false, "--force goes with --export-hand or --snapshot");

    if (window && noDisplay)
        return fail(false, "no display to show the window on (--export-hand and --snapshot need none)");

    std::vector<std::string> names;
    for (const QString& a : parser.positionalArguments()) names.push_back(toBytes(a));
    if (names.empty() && window) {
        // Started from a menu: a log is chosen.
        const QString log = QFileDialog::getOpenFileName(nullptr, QStringLiteral("Open a session's log"), QString(),
                                                         QStringLiteral("QBXSolo logs (ck*.txt nk*.txt)"));
        if (log.isEmpty()) return 0;
        names.push_back(toBytes(log));
    }
    if (names.empty() || names.size() > 2)
        return fail(false, "give a log, or a folder of logs and a session (qbxreplay --help)");

    // Output paths are taken from where the program was started.
    auto absolute = [](const QString& p) {
        const std::string path = toBytes(p);
        return path == "-" ? path : std::filesystem::absolute(path).string();
    };
    const std::string apngPath = parser.isSet(apng) ? absolute(parser.value(apng)) : std::string();
    const std::string framesPath = parser.isSet(frames) ? absolute(parser.value(frames)) : std::string();
    const std::string outPath = parser.isSet(out) ? absolute(parser.value(out)) : std::string();

    SessionFiles files;
    std::string error;
    if (!findSessionFiles(names, parser.isSet(setup) ? toBytes(parser.value(setup)) : std::string(), files, error))
        return fail(window, error);
    // What is written, held to the output guard before anything is played.
    const output::Inputs inputs = inputsOf(files);
    const bool replace = parser.isSet(force);
    const std::string refused = snapping             ? output::refusal({{"--out", outPath}}, inputs, replace)
                                : !exporting         ? std::string()
                                : parser.isSet(apng) ? output::refusal({{"--apng", apngPath}}, inputs, replace)
                                                     : framesRefusal(framesPath, inputs, replace);
    if (!refused.empty()) return fail(false, refused);
    std::unique_ptr<replay::SessionReplay> replay = replay::SessionReplay::open(files.logs, files.screen, error);
    if (!replay) return fail(window, files.session + ": cannot be replayed: " + error);

    // What the logs hold that the replay could not follow, told once done.
    auto tellProblems = [&replay] {
        for (const replay::Problem& p : replay->problems())
            std::fprintf(stderr, "qbxreplay: warning: %s\n", p.what.c_str());
    };
    if (snapping) {
        if (size_t(action) >= replay->actions().size())
            return fail(false, "--snapshot: session " + files.session + " has actions 0 to " +
                                   std::to_string(replay->actions().size() - 1));
        replay->showAction(size_t(action));
        ReplayTable table(files.screen);
        table.follow(*replay);
        QByteArray png;
        QBuffer buffer(&png);
        if (!buffer.open(QIODevice::WriteOnly) || !table.render().save(&buffer, "PNG"))
            return fail(false, outPath + ": the table could not be encoded as PNG");
        if (!output::writeWhole(outPath, std::string_view(png.constData(), size_t(png.size())), error))
            return fail(false, error);
        tellProblems();
        return 0;
    }
    if (exporting) {
        ReplayTable table(files.screen);
        int written = 0;
        const bool done = parser.isSet(apng)
                              ? exportHandApng(*replay, table, int(hand), framesPerSecond, apngPath, error, &written)
                              : exportHandFrames(*replay, table, int(hand), framesPerSecond, framesPath, inputs,
                                                 replace, error, &written);
        if (!done) return fail(false, error);
        std::fprintf(stderr, "qbxreplay: hand %lld of %s: %d frames in %s\n", hand, files.session.c_str(), written,
                     (parser.isSet(apng) ? apngPath : framesPath).c_str());
        tellProblems();
        return 0;
    }

    ReplayWindow replayWindow(std::move(replay), files);
    replayWindow.show();
    return QApplication::exec();
}

}  // namespace qbx::replayview
