// The configuration files as the program reads them from disk: the input is
// written as setup/QBXParameter.ini and as the catalogue setup/messages.ini
// (one file, two names) in a private working directory, then
// readParameterFile, readMessageFile and readLabelCode run on them. What
// they read from the file must be what the INI reader gives for the same
// text in memory, and no value is longer than the reading rules allow.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/config/ConfigFiles.h"
#include "core/config/IniFile.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const char* path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path, "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

void atMost(const std::string& value, size_t limit) {
    if (value.size() > limit) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Each input is written and then read four times: on a disk's file
    // system the write costs far more than the reading, so the files live
    // in memory (/dev/shm) where the system has it, and the catalogue is a
    // second name of the parameter file, written once for both. The folder
    // goes when the run ends.
    static std::string dir;
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string pattern = std::string(base) + "/qbx-fuzz-config-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            dir = pattern;
            break;
        }
    }
    if (dir.empty()) std::abort();
    fs::current_path(dir);
    fs::create_directory("setup");
    writeFile("setup/QBXParameter.ini", nullptr, 0);
    fs::create_hard_link("setup/QBXParameter.ini", "setup/messages.ini");
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFile("setup/QBXParameter.ini", data, size);  // and so setup/messages.ini
    qbx::IniFile ini;
    ini.parse(std::string(reinterpret_cast<const char*>(data), size));
    const size_t max = qbx::IniFile::kMaxValue;

    qbx::ParameterValues p;
    if (!qbx::readParameterFile(qbx::kParameterFile, p)) std::abort();  // a readable regular file
    if (p.shoeFilePath != "setup/" + ini.readString("PARAMETER", "ShoeFileName", "")) std::abort();
    if (p.viewCard != qbx::upperAscii(ini.readString("PARAMETER", "ViewCard", ""))) std::abort();
    if (p.parX != ini.readInteger("PARAMETER", "parX", 0)) std::abort();
    if (p.parY != ini.readInteger("PARAMETER", "parY", 0)) std::abort();
    if (p.fileTexture != ini.readString("PARAMETER", "File Texture", "NO")) std::abort();
    for (const std::string* v :
         {&p.maxRoundsText, &p.premiumRoundText, &p.costMoveText, &p.viewCard, &p.fileBackCard, &p.viewTarget,
          &p.viewCkNk, &p.dealingOrder, &p.fileMessages, &p.dragCkNkText, &p.fileTexture})
        atMost(*v, max);
    atMost(p.shoeFilePath, max + 6);

    qbx::MessageTexts t;
    if (!qbx::readMessageFile("./setup/messages.ini", t)) std::abort();
    if (t.stepButtonText != ini.readString("BUTTON", "Step", "")) std::abort();
    if (t.msgGameEnded != ini.readString("MESSAGES", "GameEnded", "")) std::abort();
    for (const std::string* v :
         {&t.msgHeader, &t.msgForcedHandOver, &t.msgGameEnded, &t.rulesBlock1CK, &t.ckTurnText, &t.cardTText})
        atMost(*v, max);

    // The login window follows FileMessages from the parameter file. A name
    // that climbs out of setup/ could reach any file of the machine, which
    // is no business of a fuzz run.
    if (p.fileMessages.find("..") == std::string::npos) {
        std::string label = "unchanged";
        const bool ok = qbx::readLabelCode(qbx::kParameterFile, label);
        if (p.fileMessages == "messages.ini") {
            if (!ok || label != ini.readString("MESSAGES", "LabelCode", "")) std::abort();
        }
        atMost(label, max);
    }
    return 0;
}
