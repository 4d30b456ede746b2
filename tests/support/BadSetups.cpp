#include "support/BadSetups.h"

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace qbx::test {

const char* const kBadSetupShoe = "deals\r\n4C 2H 2C 3H 4H 3C 2H ck\r\n2H 3C 4H 2C 3H 4C 3H nk\r\n";

namespace {

std::string garbage(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

void makeDirectory(WorkDir& dir, const std::string& relativePath) {
    const fs::path p = fs::path(dir.path()) / relativePath;
    fs::remove(p);
    fs::create_directories(p);
}

// A 24-bit bitmap of 75 x 107 with its last byte missing.
std::string bitmapCutShort() {
    const uint32_t rowBytes = (75 * 3 + 3) & ~3U, size = 54 + rowBytes * 107;
    std::string s = "BM";
    auto put = [&s](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(size, 4), put(0, 4), put(54, 4), put(40, 4), put(75, 4), put(107, 4), put(1, 2), put(24, 2);
    for (int i = 0; i < 6; ++i) put(0, 4);
    s.append(rowBytes * 107 - 1, '\x40');
    return s;
}

std::vector<BadSetup> makeList() {
    using G = BadSetup::Game;
    std::vector<BadSetup> list = {
        {"empty parameter file", G::Refused, [](WorkDir& d) { d.write("setup/QBXParameter.ini", ""); }},
        {"parameter file that is a directory", G::Refused,
         [](WorkDir& d) { makeDirectory(d, "setup/QBXParameter.ini"); }},
        {"binary garbage as parameter file", G::Refused,
         [](WorkDir& d) { d.write("setup/QBXParameter.ini", garbage(4096, 1)); }},
        {"keys before any section or in another section", G::Refused,
         [](WorkDir& d) { d.write("setup/QBXParameter.ini", "MaxRounds=5\r\n[PARAMETERS]\r\nMaxRounds=5\r\n"); }},
        {"MaxRounds of 3000 digits", G::Refused,
         [](WorkDir& d) {
             d.write("setup/QBXParameter.ini", parameterFile({{"MaxRounds", std::string(3000, '7')}}));
         }},
        {"ShoeFileName of 3000 characters", G::Refused,
         [](WorkDir& d) {
             d.write("setup/QBXParameter.ini", parameterFile({{"ShoeFileName", std::string(3000, 's')}}));
         }},
        {"catalogue that is a directory", G::ReportedThenPlays,
         [](WorkDir& d) { makeDirectory(d, "setup/messages.ini"); }},
        {"catalogue missing", G::BlankTexts,
         [](WorkDir& d) {
             d.write("setup/QBXParameter.ini", parameterFile({{"FileMessages", "nothere.ini"}}));
         }},
        {"empty shoe file", G::Refused, [](WorkDir& d) { d.write("setup/shoe.txt", ""); }},
        {"shoe file that is a directory", G::Refused, [](WorkDir& d) { makeDirectory(d, "setup/shoe.txt"); }},
        {"shoe with only its header", G::EndsAtOnce, [](WorkDir& d) { d.write("setup/shoe.txt", "deals\n\n  \r\n"); }},
        {"binary garbage as shoe", G::Refused,
         [](WorkDir& d) { d.write("setup/shoe.txt", "deals\n" + garbage(4096, 3)); }},
        {"a fault after 100000 good hands", G::Refused,
         [](WorkDir& d) {
             std::string shoe = "deals\n";
             for (int i = 0; i < 100000; ++i) shoe += "4C 2H 2C 3H 4H 3C 2H ck\n";
             d.write("setup/shoe.txt", shoe + "4C 2H 2C 3H 4H 3C 2H c\n");
         }},
        {"card back cut short", G::Refused, [](WorkDir& d) { d.write("setup/back.bmp", bitmapCutShort()); }},
        {"dataout that is a file", G::Refused,
         [](WorkDir& d) {
             fs::remove(fs::path(d.path()) / "dataout");
             d.write("dataout", "not a directory");
         }},
    };
    for (const char* key : {"MaxRounds", "PremiumRound", "CostMove"})
        for (const char* value : {"5.0", "0x10", "1e3", "+", "-", "1 000", "fifty", "2147483648"})
            list.push_back({std::string(key) + " written " + value, G::Refused, [key, value](WorkDir& d) {
                                d.write("setup/QBXParameter.ini", parameterFile({{key, value}}));
                            }});
    for (const char* line : {"5H 2H 2C 3H 4H 3C 2H ck", "4c 2H 2C 3H 4H 4C 2H ck", "4C 2H 2C 3H 4H 3C 22 ck",
                             "4C 2H 2C 3H 4H 3C 2H", "kc 2H 2C 3H 4H 3C 2H ck"})
        list.push_back({std::string("shoe line ") + line, G::Refused,
                        [line](WorkDir& d) { d.write("setup/shoe.txt", std::string("deals\n") + line); }});
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (const auto& [what, content] : std::vector<std::pair<std::string, std::string>>{
             {"empty", ""}, {"PNG", png}, {"garbage", garbage(2048, 4)}, {"GIF", "GIF89a"}})
        list.push_back(
            {"card back that is " + what, G::Refused, [content](WorkDir& d) { d.write("setup/back.bmp", content); }});
    return list;
}

}  // namespace

const std::vector<BadSetup>& badSetups() {
    static const std::vector<BadSetup> list = makeList();
    return list;
}

}  // namespace qbx::test
