// qbxtool init DIR: a working directory for one experiment in one step. The
// example setup is copied into DIR/setup, DIR/dataout is made, and
// DIR/qbxsolo.desktop (DIR\qbxsolo.cmd on Windows) starts the program with
// DIR as its working directory, so a lab keeps one launcher per experiment on
// its desktop.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <system_error>

#include "core/platform/System.h"
#include "tool/Commands.h"
#include "tool/InitCommand.h"
#include "tool/Installation.h"
#include "tool/Tool.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace qbx::tool {

namespace {

#ifndef _WIN32
// A value of a desktop entry key: backslash and control characters escaped.
std::string desktopString(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// One argument of an Exec key: always quoted, with the characters that are
// special inside quotes escaped, and % doubled (it introduces a field code).
std::string execArgument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return desktopString(quoted);
}
#endif

// A command script's quoted argument: % would start a variable, even
// inside quotes. (Windows names hold no quote.)
std::string cmdQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + '"';
}

std::string reason(const std::error_code& ec) { return ec.message(); }

}  // namespace

void copySetupFolder(const fs::path& from, const fs::path& to) {
    std::random_device seed;
    const fs::path temp = to.parent_path() / (".setup.tmp" + std::to_string(seed() % 1000000));
    std::error_code ec;
    fs::copy(from, temp, fs::copy_options::recursive, ec);
    bool taken = false;
    std::string why = ec ? reason(ec) : std::string();
    if (ec || !sys::renameDirectory(temp.string(), to.string(), taken, why)) {
        std::error_code ignored;
        fs::remove_all(temp, ignored);
        throw CouldNotRun(to.string() + ": cannot be made (" + why + ")");
    }
}

std::string cmdLauncherText(const fs::path& workDir, const std::string& program, unsigned codePage) {
    // A folder's name may hold & or ^, which only quotes keep from the
    // command interpreter: names appear only inside quotes.
    std::string text = "@echo off\r\n";
    text += "rem QBXSolo: starts the program with the experiment's folder as its working folder.\r\n";
    text += "rem A shortcut to this file on the desktop starts the experiment.\r\n";
    if (codePage != 0) text += "chcp " + std::to_string(codePage) + " >nul\r\n";
    // The folder is tested before the change, which says nothing reliable
    // about its own failure in every command interpreter.
    std::string folder = workDir.string();
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    text += "if not exist " + cmdQuoted(folder) + " goto missing\r\n";
    text += "cd /d " + cmdQuoted(workDir.string()) + "\r\n";
    text += "start \"\" " + cmdQuoted(program) + "\r\n";
    text += "exit /b 0\r\n";
    text += ":missing\r\n";
    text += "echo The experiment's folder named in this file cannot be opened.\r\n";
    text += "pause\r\n";
    text += "exit /b 1\r\n";
    return text;
}

std::string launcherText(const fs::path& workDir, const std::string& program) {
#ifdef _WIN32
    // The names are in the system's code page (the tool's narrow calls);
    // the command interpreter reads a script in the console's.
    const std::string names = workDir.string() + program;
    const bool ascii = std::all_of(names.begin(), names.end(), [](char c) { return (c & 0x80) == 0; });
    return cmdLauncherText(workDir, program, ascii ? 0 : ::GetACP());
#else
    const std::string name = workDir.filename().string();
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=QBXSolo " + desktopString(name) + "\n";
    text += "Comment=QBXSolo in " + desktopString(workDir.string()) + "\n";
    text += "Exec=" + execArgument(program) + "\n";
    text += "Path=" + desktopString(workDir.string()) + "\n";
    text += "Icon=qbxsolo\n";
    text += "Terminal=false\n";
    return text;
#endif
}

fs::path absoluteWorkDir(const fs::path& requested) {
    std::error_code ec;
    fs::path dir = fs::absolute(requested, ec).lexically_normal();
    if (ec) throw CouldNotRun(requested.string() + ": " + reason(ec));
    // "." and "pilot/" normalise to a trailing separator: the launcher names
    // the directory itself.
    if (dir.filename().empty() && dir.has_relative_path()) dir = dir.parent_path();
    return dir;
}

void writeLauncher(const fs::path& file, const fs::path& workDir, const std::string& program) {
    OutputFile launcher(file.string());
    launcher.write(launcherText(workDir, program));
    launcher.commit();
    std::error_code ec;
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add,
                    ec);  // desktops start only launchers marked executable
}

int initWorkDir(const fs::path& requested, const fs::path& examples, const std::string& program, std::ostream& out,
                std::ostream& err) {
    std::error_code ec;
    const fs::path dir = absoluteWorkDir(requested);
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec))
        throw CouldNotRun(dir.string() + ": exists and is not a directory");

    const fs::path setup = dir / "setup";
    const fs::path launcher = dir / kLauncherName;
    // An experiment's setup, its logs and its launcher are never touched.
    for (const fs::path& existing : {setup, launcher}) {
        if (fs::symlink_status(existing, ec).type() != fs::file_type::not_found) {
            err << "qbxtool init: " << dir.string() << " already holds " << existing.filename().string()
                << "; nothing was changed. Choose a new directory for a new experiment.\n";
            return kExitProblems;
        }
    }

    fs::create_directories(dir, ec);
    if (ec) throw CouldNotRun(dir.string() + ": cannot be made (" + reason(ec) + ")");
    const fs::path dataout = dir / "dataout";
    const bool hadDataout = fs::is_directory(dataout, ec);
    if (!hadDataout) {
        fs::create_directory(dataout, ec);
        if (ec) throw CouldNotRun(dataout.string() + ": cannot be made (" + reason(ec) + ")");
    }
    copySetupFolder(examples, setup);
    writeLauncher(launcher, dir, program);

    out << "Made " << dir.string() << ":\n"
        << "  setup/           copied from " << examples.string() << "\n"
        << "  dataout/         " << (hadDataout ? "already there, kept as it was" : "empty") << "\n"
        << "  " << std::string(kLauncherName).append(15 - std::string(kLauncherName).size(), ' ') << "  starts "
        << program << " in this directory\n";
    return kExitOk;
}

void addInitCommand(CLI::App& app, CommandResult& result) {
    auto* command =
        app.add_subcommand("init",
                           "Make a working directory for an experiment: DIR/setup from the example setup, an empty "
                           "DIR/dataout and a launcher DIR/" +
                               std::string(kLauncherName) +
                               " that starts QBXSolo in DIR.\n"
                               "Example: qbxtool init ~/experiments/pilot");
    auto dir = std::make_shared<std::string>();
    command->add_option("DIR", *dir, "The experiment's directory (made when missing)")->required();
    command->callback([dir, &result] {
        const fs::path examples = findExampleSetup();
        result.exitCode = initWorkDir(*dir, examples, programToLaunch(), std::cout, std::cerr);
    });
}

}  // namespace qbx::tool
