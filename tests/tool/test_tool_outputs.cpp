// What the setup commands promise the experimenter: solve and shoe say what
// they were given when they cannot use it.

#include <gtest/gtest.h>

#include "tool/LogMaking.h"
#include "tool/Tool.h"

using namespace qbx::tool;
using namespace qbx::tool::test;

namespace {

bool mentions(const ProcessResult& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

class ToolOutputs : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path dataout = tmp.path() / "dataout";
    fs::path setup = tmp.path() / "setup";
    void SetUp() override {
        copyMixGame(dataout);
        writeMixSetup(setup);
    }
    std::string at(const std::string& name) const { return (tmp.path() / name).string(); }
};

TEST_F(ToolOutputs, SolveSaysWhatItWasGivenAndShoeTakesOnlyAWholeSeed) {
    writeFile(at("empty.txt"), "");
    struct Case {
        std::string shoe, says;
    };
    for (const Case& c : std::vector<Case>{{at("sub"), ": a directory, not a shoe file"},
                                           {"/dev/null", "/dev/null: not a regular file"},
                                           {at("empty.txt"), ": empty"},
                                           {at("missing.txt"), ": no such file"}}) {
        SCOPED_TRACE(c.shoe);
        fs::create_directories(at("sub"));
        const ProcessResult run = runTool({"solve", c.shoe, "--setup", setup.string()});
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_TRUE(mentions(run, c.says)) << run.output;
    }
    for (const std::string seed : {"-1", "seven", "7x", "+7", "18446744073709551616", ""}) {
        SCOPED_TRACE(seed);
        const ProcessResult run = runTool({"shoe", "--hands", "1", "--seed", seed, "--setup", setup.string()});
        EXPECT_EQ(run.exitCode, kExitCouldNotRun) << run.output;
        EXPECT_FALSE(mentions(run, "Shoe made by")) << "a shoe was written";
    }
    const ProcessResult negative = runTool({"shoe", "--hands", "1", "--seed", "-1", "--setup", setup.string()});
    EXPECT_TRUE(mentions(negative, "the seed is a whole number from 0 to 18446744073709551615, not -1"))
        << negative.output;
    const ProcessResult largest =
        runTool({"shoe", "--hands", "1", "--seed", "18446744073709551615", "--setup", setup.string()});
    EXPECT_EQ(largest.exitCode, kExitOk) << largest.output;
    EXPECT_TRUE(mentions(largest, "--seed 18446744073709551615 ")) << largest.output;
}

}  // namespace
