#include "tool/ToolTestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qbx::tool {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "qbxtool-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

namespace {

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

ProcessResult runTool(const std::vector<std::string>& args, const fs::path& workingDir, int timeoutSeconds) {
    std::string command;
    if (!workingDir.empty()) command = "cd " + shellQuote(workingDir.string()) + " && ";
    if (timeoutSeconds > 0) command += "timeout -k 5 " + std::to_string(timeoutSeconds) + " ";
    command += shellQuote(QBXTOOL_PROGRAM);
    for (const std::string& arg : args) command += " " + shellQuote(arg);
    command += " 2>&1 </dev/null";
    ProcessResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed");
    std::array<char, 4096> buffer;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace qbx::tool
