#pragma once
// "verify: 120/1000 sessions" on standard error while long work runs, only
// when standard error is a terminal; a script's log stays clean.

#include <string>

namespace qbx::tool::logs {

class Progress {
public:
    Progress(std::string what, size_t total);
    ~Progress();
    void step();

private:
    std::string what_;
    size_t total_, done_ = 0;
    bool shown_ = false, terminal_;
    long long lastMs_ = 0;
};

}  // namespace qbx::tool::logs
