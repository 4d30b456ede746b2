// qbxtool init: one step from nothing to a working directory a lab can start
// the program in, and never a step that touches an experiment already there.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tool/InitCommand.h"
#include "tool/Tool.h"
#include "tool/ToolTestSupport.h"

namespace fs = std::filesystem;
using namespace qbx::tool;

namespace {

const fs::path kExampleSetup = fs::path(QBX_EXAMPLES) / "setup";

std::string lineWith(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "<no " + key + ">";
}

}  // namespace

TEST(Init, MakesSetupDataoutAndALauncherForTheDirectory) {
    TempDir tmp;
    const fs::path dir = tmp.path() / "pilot study";
    const ProcessResult run = runTool({"init", dir.string()});
    ASSERT_EQ(run.exitCode, kExitOk) << run.output;

    size_t copied = 0;
    for (const auto& entry : fs::directory_iterator(kExampleSetup)) {
        const fs::path copy = dir / "setup" / entry.path().filename();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(readFile(copy), readFile(entry.path())) << copy << " differs from the example";
        ++copied;
    }
    EXPECT_EQ(copied, static_cast<size_t>(std::distance(fs::directory_iterator(dir / "setup"), {})));
    EXPECT_TRUE(fs::is_directory(dir / "dataout"));
    EXPECT_TRUE(fs::is_empty(dir / "dataout"));

    const std::string launcher = readFile(dir / "qbxsolo.desktop");
    EXPECT_EQ(lineWith(launcher, "Path"), dir.string());
    EXPECT_EQ(lineWith(launcher, "Type"), "Application");
    EXPECT_NE(fs::status(dir / "qbxsolo.desktop").permissions() & fs::perms::owner_exec, fs::perms::none)
        << "desktops start only launchers marked executable";
    // Nothing else is left behind: no temporary copies.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);
}

TEST(Init, RefusesADirectoryThatHoldsASetupOrALauncherAndChangesNothing) {
    TempDir tmp;
    const fs::path dir = tmp.path() / "running";
    ASSERT_EQ(runTool({"init", dir.string()}).exitCode, kExitOk);
    writeFile(dir / "setup" / "QBXParameter.ini", "[PARAMETER]\nMaxRounds=3\n");
    writeFile(dir / "dataout" / "ck010126_5.txt", "records of a participant\r\n");

    const ProcessResult again = runTool({"init", dir.string()});
    EXPECT_EQ(again.exitCode, kExitProblems);
    EXPECT_NE(again.output.find("already holds setup"), std::string::npos) << again.output;
    EXPECT_EQ(readFile(dir / "setup" / "QBXParameter.ini"), "[PARAMETER]\nMaxRounds=3\n");
    EXPECT_EQ(readFile(dir / "dataout" / "ck010126_5.txt"), "records of a participant\r\n");

    // A launcher alone (its setup moved away) is not replaced either.
    fs::remove_all(dir / "setup");
    const std::string launcher = readFile(dir / "qbxsolo.desktop");
    EXPECT_EQ(runTool({"init", dir.string()}).exitCode, kExitProblems);
    EXPECT_FALSE(fs::exists(dir / "setup"));
    EXPECT_EQ(readFile(dir / "qbxsolo.desktop"), launcher);
}

TEST(Init, KeepsTheLogsOfADataoutAlreadyThere) {
    TempDir tmp;
    fs::create_directory(tmp.path() / "dataout");
    writeFile(tmp.path() / "dataout" / "nk010126_7.txt", "an earlier session\r\n");
    const ProcessResult run = runTool({"init", "."}, tmp.path());
    ASSERT_EQ(run.exitCode, kExitOk) << run.output;
    EXPECT_EQ(readFile(tmp.path() / "dataout" / "nk010126_7.txt"), "an earlier session\r\n");
    EXPECT_EQ(lineWith(readFile(tmp.path() / "qbxsolo.desktop"), "Path"),
              fs::absolute(tmp.path()).lexically_normal().string())
        << "the launcher must not depend on where init was run";
    EXPECT_EQ(lineWith(readFile(tmp.path() / "qbxsolo.desktop"), "Name"), "QBXSolo " + tmp.path().filename().string());
}

TEST(Init, CouldNotRunOnAFileOrWithoutADirectory) {
    TempDir tmp;
    writeFile(tmp.path() / "notes.txt", "x");
    EXPECT_EQ(runTool({"init", (tmp.path() / "notes.txt").string()}).exitCode, kExitCouldNotRun);
    EXPECT_EQ(readFile(tmp.path() / "notes.txt"), "x");
    EXPECT_EQ(runTool({"init"}).exitCode, kExitCouldNotRun);
}

TEST(InitLauncher, QuotesTheProgramAndEscapesTheDirectory) {
    // Exec values are unescaped as strings first (\\ to \), then split on
    // quotes where \" \` \$ \\ stand for themselves; % starts a field code.
    const std::string text = launcherText("/data/100% $HOME \"x\" a\\b", "/opt/q b/qbxsolo");
    EXPECT_EQ(lineWith(text, "Exec"), "\"/opt/q b/qbxsolo\"");
    EXPECT_EQ(lineWith(text, "Path"), "/data/100% $HOME \"x\" a\\\\b");
    EXPECT_EQ(lineWith(launcherText("/d", "/p/50%$`\"\\x"), "Exec"), "\"/p/50%%\\\\$\\\\`\\\\\"\\\\\\\\x\"");
    // Each experiment's launcher has a name of its own on the desktop.
    EXPECT_EQ(lineWith(launcherText("/labs/pilot", "qbxsolo"), "Name"), "QBXSolo pilot");
}

TEST(InitLauncher, WindowsScriptStartsTheProgramInTheFolderWithNamesKeptWhole) {
    const std::string text = cmdLauncherText("C:\\Labs\\100% & more", "C:\\QBX Solo\\qbxsolo.exe", 0);
    // The command interpreter wants CR LF: no bare line feed anywhere.
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        ASSERT_GT(i, 0u);
        EXPECT_EQ(text[i - 1], '\r') << "line " << lines + 1;
        ++lines;
    }
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.rfind("@echo off\r\n", 0), 0u);
    // % doubled (it would start a variable even inside quotes); & stays
    // inside the quotes, where it is plain text.
    EXPECT_NE(text.find("\r\nif not exist \"C:\\Labs\\100%% & more\\\" goto missing\r\n"
                        "cd /d \"C:\\Labs\\100%% & more\"\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\nstart \"\" \"C:\\QBX Solo\\qbxsolo.exe\"\r\nexit /b 0\r\n"), std::string::npos);
    // The folder missing: said, and the program not started elsewhere.
    const size_t missing = text.find("\r\n:missing\r\n");
    ASSERT_NE(missing, std::string::npos);
    EXPECT_GT(missing, text.find("exit /b 0"));
    EXPECT_EQ(text.find("chcp"), std::string::npos);

    // Names outside ASCII: the code page they are written in is set first.
    const std::string accented = cmdLauncherText("C:\\Esperimenti\\citt\xe0", "C:\\QBX\\qbxsolo.exe", 1252);
    const size_t chcp = accented.find("\r\nchcp 1252 >nul\r\n");
    ASSERT_NE(chcp, std::string::npos);
    EXPECT_LT(chcp, accented.find("cd /d \"C:\\Esperimenti\\citt\xe0\""));
}
