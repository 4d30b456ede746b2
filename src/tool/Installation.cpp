#include "tool/Installation.h"

#include <system_error>

#include "tool/Tool.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef QBX_EXAMPLES_FROM_BINDIR
#define QBX_EXAMPLES_FROM_BINDIR "../share/qbxsolo/examples"
#endif
#ifndef QBX_SOURCE_EXAMPLES
#define QBX_SOURCE_EXAMPLES ""
#endif

namespace fs = std::filesystem;

namespace qbx::tool {

fs::path executablePath() {
#ifdef _WIN32
    char buffer[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return {};
    return fs::path(std::string(buffer, n));
#else
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self;
#endif
}

fs::path findExampleSetup() {
    std::error_code ec;
    const fs::path self = executablePath();
    fs::path installed;
    if (!self.empty()) {
#ifdef _WIN32
        // The Windows zip: the ready working folder example\ beside the programs.
        const fs::path unzipped = self.parent_path() / "example" / "setup";
        if (fs::is_directory(unzipped, ec)) return unzipped;
#endif
        installed = (self.parent_path() / QBX_EXAMPLES_FROM_BINDIR / "setup").lexically_normal();
        if (fs::is_directory(installed, ec)) return installed;
    }
    const std::string source = QBX_SOURCE_EXAMPLES;
    if (!source.empty()) {
        fs::path fromSource = fs::path(source) / "setup";
        if (fs::is_directory(fromSource, ec)) return fromSource;
    }
    throw CouldNotRun("the example setup is not installed" +
                      (installed.empty() ? std::string() : " (looked for " + installed.string() + ")"));
}

std::string programToLaunch() {
    const fs::path self = executablePath();
    if (!self.empty()) {
        std::error_code ec;
#ifdef _WIN32
        const fs::path sibling = self.parent_path() / "qbxsolo.exe";
#else
        const fs::path sibling = self.parent_path() / "qbxsolo";
#endif
        if (fs::is_regular_file(sibling, ec)) return sibling.string();
    }
    return "qbxsolo";
}

}  // namespace qbx::tool
