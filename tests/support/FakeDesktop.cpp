#include "support/FakeDesktop.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace qbx::test {

long long parseHms(const std::string& hms) {
    int h = 0, m = 0, s = 0, ms = 0;
    if (std::sscanf(hms.c_str(), "%d:%d:%d.%d", &h, &m, &s, &ms) != 4) throw std::invalid_argument("bad time " + hms);
    return ((h * 60LL + m) * 60 + s) * 1000 + ms;
}

LocalTime FakeClock::now() {
    long long t = ms_;
    if (!scripted_.empty()) {
        t = scripted_.front();
        scripted_.pop_front();
        if (scripted_.empty()) ms_ = t;
    }
    return localTimeAfter(date, t % 86400000LL);
}

void FakeClock::set(const std::string& hms) {
    scripted_.clear();
    ms_ = parseHms(hms);
}

void FakeClock::script(const std::vector<std::string>& readings) {
    for (const std::string& r : readings) scripted_.push_back(parseHms(r));
}

bool Session::step() { return platform.fireNextTimer(game); }

void Session::runUntil(const std::function<bool()>& done, int maxSteps) { platform.runUntil(game, done, maxSteps); }

void Session::untilHandInPlay() { platform.untilHandInPlay(game); }

std::string Session::cardTextAt(uint8_t position) const { return cardText(cardAt(position)); }

void Session::drag(uint8_t from, uint8_t to) { dragTo(from, centreX(to), centreY(to)); }

void Session::dragTo(uint8_t from, int x, int y) { dragCardTo(game, from, x, y); }

void Session::look(uint8_t position, MouseButton b) {
    pressCard(game, position, b);
    releaseCard(game, position, b);
}

namespace {
const WorkDir* newestWorkDir = nullptr;
}  // namespace

std::string currentWorkDir() { return newestWorkDir ? newestWorkDir->path() : std::string(); }

std::string inWorkDir(const std::string& relative) {
    return newestWorkDir ? newestWorkDir->path() + "/" + relative : relative;
}

WorkDir::WorkDir() {
    static std::mt19937 rng(std::random_device{}());
    path_ =
        (fs::temp_directory_path() / ("qbx-test-" + std::to_string(::getpid()) + "-" + std::to_string(rng()))).string();
    fs::create_directories(path_ + "/setup");
    fs::create_directories(path_ + "/dataout");
    enclosing_ = newestWorkDir;
    newestWorkDir = this;
}

WorkDir::~WorkDir() {
    if (newestWorkDir == this) newestWorkDir = enclosing_;
    std::error_code ec;
    fs::permissions(path_ + "/dataout", fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
}

void WorkDir::write(const std::string& relativePath, const std::string& content) {
    fs::path p = fs::path(path_) / relativePath;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string WorkDir::read(const std::string& relativePath) const { return readFile(path_ + "/" + relativePath); }

std::vector<std::string> WorkDir::list(const std::string& relativeDir) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_ + "/" + relativeDir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> WorkDir::logs() const {
    std::vector<std::string> names;
    for (const std::string& name : list("dataout"))
        if (name.rfind("ck", 0) == 0 || name.rfind("nk", 0) == 0) names.push_back(name);
    return names;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) throw std::runtime_error("a line without CR LF: " + text.substr(start));
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string parameterFile(const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"ShoeFileName", "shoe.txt"},
        {"MaxRounds", "50"},
        {"PremiumRound", "2000"},
        {"CostMove", "100"},
        {"ViewCard", "NONE"},
        {"FileBackCard", "back.bmp"},
        {"ViewTarget", "TRUE"},
        {"ViewCkNk", "TRUE"},
        {"SyntaxInput", ""},
        {"FileMessages", "messages.ini"},
        {"parX", "200"},
        {"parY", "64"},
        {"Drag CkNk", "TRUE"},
        {"File Texture", "NO"},
    };
    for (const auto& [key, value] : overrides) {
        bool found = false;
        for (auto& kv : keys)
            if (kv.first == key) {
                kv.second = value;
                found = true;
            }
        if (!found) keys.emplace_back(key, value);
    }
    std::string text = "[PARAMETER]\r\n";
    for (const auto& [key, value] : keys)
        if (!value.empty() || key == "SyntaxInput") text += key + "=" + value + "\r\n";
    return text;
}

void writeSetup(WorkDir& dir, const std::string& shoe,
                const std::vector<std::pair<std::string, std::string>>& overrides) {
    dir.write("setup/QBXParameter.ini", parameterFile(overrides));
    dir.write("setup/messages.ini", englishCatalogue());
    dir.write("setup/shoe.txt", shoe);
}

std::string englishCatalogue() {
    return "[MESSAGES]\n"
           "Header=Messages\nForcedHandOver=Too many moves: the hand is over\n"
           "ForcedPassHandOver=Four passes: the hand is over\nTotMove=Total moves\n"
           "HandNumber=Hand number\nGameEnded=The game is over. Thank you!\nLabelCode=CODE\n"
           "[RULES]\nHeader=Rules\nBlock1CK=Colour rule\nBlock1NK=Number rule\n"
           "[TURNINDICATOR]\nHeader=Turn\nCkTurn=Colour keeper's turn\nNkTurn=Number keeper's turn\n"
           "[BUTTON]\nHelp=Help\nStep=Pass\n"
           "[CARD]\nCk=Colour\nNk=Number\nT=Target\n";
}

}  // namespace qbx::test
