// The configuration files as the program reads them from disk: the input is
// written as setup/QBXParameter.ini and as the catalogue setup/messages.ini
// in a private working directory, then readParameterFile, readMessageFile and
// readLabelCode run on them. What they read from the file must be what the
// INI reader gives for the same text in memory, and no value is longer than
// the reading rules allow.

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
    char pattern[] = "/tmp/qbx-fuzz-config-XXXXXX";
    if (!::mkdtemp(pattern)) std::abort();
    fs::current_path(pattern);
    fs::create_directory("setup");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    writeFile("setup/QBXParameter.ini", data, size);
    writeFile("setup/messages.ini", data, size);
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
