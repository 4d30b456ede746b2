// The demo setup in examples/ is what a newcomer plays first: it must stay a
// complete, valid setup.

#include <gtest/gtest.h>

#include "core/config/ConfigFiles.h"
#include "core/config/IniFile.h"
#include "support/FakeDesktop.h"
#include "core/bitmap/Bitmap.h"
#include "core/config/Shoe.h"

using namespace qbx;

namespace {

const std::string kSetup = std::string(QBX_EXAMPLES) + "/setup/";

TEST(ExampleSetup, ParameterFileNamesEveryKeyAndExistingFiles) {
    IniFile ini;
    ASSERT_EQ(ini.load(kSetup + "QBXParameter.ini"), IniFile::Status::Ok);
    for (const char* key :
         {"ShoeFileName", "MaxRounds", "PremiumRound", "CostMove", "ViewCard", "FileBackCard", "ViewTarget", "ViewCkNk",
          "SyntaxInput", "FileMessages", "parX", "parY", "Drag CkNk", "File Texture"})
        EXPECT_NE(ini.readString("PARAMETER", key, "<missing>"), "<missing>") << key;
    ParameterValues p;
    ASSERT_TRUE(readParameterFile(kSetup + "QBXParameter.ini", p));
    EXPECT_TRUE(loadBmpFile(kSetup + p.fileBackCard)) << p.fileBackCard;
    EXPECT_EQ(IniFile().load(kSetup + p.fileMessages), IniFile::Status::Ok);
}

TEST(ExampleSetup, BothCataloguesHaveEveryText) {
    for (const char* file : {"messages_en.ini", "messages_it.ini"}) {
        IniFile ini;
        ASSERT_EQ(ini.load(kSetup + file), IniFile::Status::Ok) << file;
        for (const CatalogueKey& entry : kCatalogueKeys) {
            if (!entry.shown) continue;
            EXPECT_FALSE(ini.readString(entry.section, entry.key, "").empty())
                << file << " " << entry.section << "/" << entry.key;
        }
    }
}

TEST(ExampleSetup, ShoeHasVariedHandsAndNoFault) {
    Shoe shoe;
    std::string fault;
    ASSERT_EQ(shoe.load(kSetup + "shoe.txt", fault), Shoe::Status::Ok) << fault;
    EXPECT_GE(shoe.size(), 12u);
    bool ckOpens = false, nkOpens = false, goalAtTarget = false;
    while (!shoe.atEnd()) {
        const ShoeHand& hand = shoe.take();
        ckOpens |= hand.firstTurn == "ck";
        nkOpens |= hand.firstTurn == "nk";
        // Pair 4 goes to the Target in the default dealing order.
        goalAtTarget |= hand.pairs[3] == std::string{hand.goalDigit, hand.goalLetter};
    }
    EXPECT_TRUE(ckOpens);
    EXPECT_TRUE(nkOpens);
    EXPECT_TRUE(goalAtTarget);
}

}  // namespace
