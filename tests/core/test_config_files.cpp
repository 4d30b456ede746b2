// The experimenter's two INI files as the game reads them at start-up:
// ReadParameter, ReadMessages and the login window's
// readLabelCaption.

#include "core/config/ConfigFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qbx;

namespace {

// A fresh working directory with a "setup" directory in it, as the program
// finds it in the laboratory; the former working directory comes back after.
class ConfigRunDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("qbx_cfg_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
        fs::create_directories(dir_ / "setup");
        oldCwd_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    static void write(const std::string& relative, const std::string& bytes) {
        std::ofstream(relative, std::ios::binary) << bytes;
    }
    fs::path dir_, oldCwd_;
};

const char* kFullParameters =
    "[PARAMETER]\r\n"
    "ShoeFileName=deals.txt\r\n"
    "MaxRounds=12\r\n"
    "PremiumRound=2000\r\n"
    "CostMove=100\r\n"
    "viewcard=all\r\n"
    "FileBackCard=back.bmp\r\n"
    "ViewTarget=True\r\n"
    "ViewCkNk=false\r\n"
    "SyntaxInput=Circular\r\n"
    "FileMessages=messages_en.ini\r\n"
    "parX=-40\r\n"
    "parY=25\r\n"
    "Drag CkNk=tRuE\r\n"
    "File Texture=Felt.bmp\r\n";

}  // namespace

TEST(UpperAscii, ChangesTheLettersAToZOnly) {
    EXPECT_EQ(upperAscii("true"), "TRUE");
    EXPECT_EQ(upperAscii("Mix 1-z_\xe9\xff"), "MIX 1-Z_\xe9\xff");
    EXPECT_EQ(upperAscii(""), "");
}

TEST_F(ConfigRunDir, ReadParameterReadsEveryKeyWithItsTransformation) {
    write(kParameterFile, kFullParameters);
    ParameterValues v;
    ASSERT_TRUE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.shoeFilePath, "setup/deals.txt");
    EXPECT_EQ(v.maxRoundsText, "12");
    EXPECT_EQ(v.premiumRoundText, "2000");
    EXPECT_EQ(v.costMoveText, "100");
    EXPECT_EQ(v.viewCard, "ALL");
    EXPECT_EQ(v.fileBackCard, "back.bmp");  // file names keep their case
    EXPECT_EQ(v.viewTarget, "TRUE");
    EXPECT_EQ(v.viewCkNk, "FALSE");
    EXPECT_EQ(v.dealingOrder, "CIRCULAR");
    EXPECT_EQ(v.fileMessages, "messages_en.ini");
    EXPECT_EQ(v.parX, -40);
    EXPECT_EQ(v.parY, 25);
    EXPECT_EQ(v.dragCkNkText, "TRUE");
    EXPECT_EQ(v.fileTexture, "Felt.bmp");
}

TEST_F(ConfigRunDir, WithNoParameterFileEveryKeyTakesItsDefault) {
    ParameterValues v;
    v.viewCard = "stale";
    v.parX = 9;
    v.fileTexture = "stale";
    ASSERT_TRUE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.shoeFilePath, "setup/");
    EXPECT_EQ(v.maxRoundsText, "");
    EXPECT_EQ(v.viewCard, "");
    EXPECT_EQ(v.parX, 0);
    EXPECT_EQ(v.parY, 0);
    EXPECT_EQ(v.dragCkNkText, "");
    EXPECT_EQ(v.fileTexture, "NO");
}

TEST_F(ConfigRunDir, MissingSectionGivesDefaultsAndBadNumbersGiveZero) {
    write(kParameterFile, "[OTHER]\nShoeFileName=x\n[PARAMETER]\nparX=abc\nparY=12abc\nFile Texture=\n");
    ParameterValues v;
    ASSERT_TRUE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.shoeFilePath, "setup/");
    EXPECT_EQ(v.parX, 0);
    EXPECT_EQ(v.parY, 0);
    EXPECT_EQ(v.fileTexture, "");  // present but empty: not the default "NO"
}

TEST_F(ConfigRunDir, SwitchesWithAnyExtraCharacterStayDifferentWords) {
    write(kParameterFile, "[PARAMETER]\nViewTarget=\"True \"\nDrag CkNk= 'yes' \nViewCard=  none\t\n");
    ParameterValues v;
    ASSERT_TRUE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.viewTarget, "TRUE ");
    EXPECT_EQ(v.dragCkNkText, "YES");
    EXPECT_EQ(v.viewCard, "NONE");
}

TEST_F(ConfigRunDir, ALongShoeFileNameIsCutAt2047Characters) {
    const std::string name(3000, 'd');
    write(kParameterFile, "[PARAMETER]\nShoeFileName=" + name + "\n");
    ParameterValues v;
    ASSERT_TRUE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.shoeFilePath, "setup/" + name.substr(0, 2047));
}

TEST_F(ConfigRunDir, ADirectoryNamedAsTheParameterFileIsAReadingErrorThatChangesNothing) {
    fs::create_directory("setup/QBXParameter.ini");
    ParameterValues v;
    v.viewCard = "kept";
    v.parX = 7;
    EXPECT_FALSE(readParameterFile(kParameterFile, v));
    EXPECT_EQ(v.viewCard, "kept");
    EXPECT_EQ(v.parX, 7);
    EXPECT_EQ(v.fileTexture, "");  // not "NO": the key was never read
}

TEST_F(ConfigRunDir, ReadMessagesReadsEverySectionIncludingTheUnshownTexts) {
    write("setup/msg.ini",
          "[MESSAGES]\nHeader=Messages\nIncorrectMove=Bad move\nHandOver=Your turn\n"
          "ForcedHandOver=Too many moves\nForcedPassHandOver=Too many passes\nGameOver=Over\n"
          "TotMove=Total moves\nHandNumber=Hand\nHandEnded=Hand ended\nGameEnded=Thank you\n"
          "LabelCode=CODE\n"
          "[RULES]\nHeader=Rules\nBlock1CK=ck rule\nBlock1NK=nk rule\n"
          "[TURNINDICATOR]\nHeader=Turn\nCkTurn=Colour's turn\nNkTurn=Number's turn\n"
          "[BUTTON]\nHelp=Help!\nStep=Pass\n"
          "[CARD]\nCk=Colour\nNk=Number\nT=Target\n");
    MessageTexts t;
    ASSERT_TRUE(readMessageFile("./setup/msg.ini", t));
    EXPECT_EQ(t.msgHeader, "Messages");
    EXPECT_EQ(t.msgIncorrectMove, "Bad move");
    EXPECT_EQ(t.msgHandOver, "Your turn");
    EXPECT_EQ(t.msgForcedHandOver, "Too many moves");
    EXPECT_EQ(t.msgForcedPassHandOver, "Too many passes");
    EXPECT_EQ(t.msgGameOver, "Over");
    EXPECT_EQ(t.msgTotMove, "Total moves");
    EXPECT_EQ(t.msgHandNumber, "Hand");
    EXPECT_EQ(t.msgHandEnded, "Hand ended");
    EXPECT_EQ(t.msgGameEnded, "Thank you");
    EXPECT_EQ(t.rulesHeader, "Rules");  // same key name, another section
    EXPECT_EQ(t.rulesBlock1CK, "ck rule");
    EXPECT_EQ(t.rulesBlock1NK, "nk rule");
    EXPECT_EQ(t.turnHeader, "Turn");
    EXPECT_EQ(t.ckTurnText, "Colour's turn");
    EXPECT_EQ(t.nkTurnText, "Number's turn");
    EXPECT_EQ(t.helpButtonText, "Help!");
    EXPECT_EQ(t.stepButtonText, "Pass");
    EXPECT_EQ(t.cardCkText, "Colour");
    EXPECT_EQ(t.cardNkText, "Number");
    EXPECT_EQ(t.cardTText, "Target");
}

TEST_F(ConfigRunDir, ACatalogueWithOnlyAButtonSectionLeavesEveryOtherTextEmpty) {
    write("setup/msg.ini", "[button]\nhelp=Aiuto\nstep=Passo\n");
    MessageTexts t;
    t.msgHeader = "stale";
    ASSERT_TRUE(readMessageFile("./setup/msg.ini", t));
    EXPECT_EQ(t.helpButtonText, "Aiuto");
    EXPECT_EQ(t.stepButtonText, "Passo");
    EXPECT_EQ(t.msgHeader, "");
    EXPECT_EQ(t.msgForcedHandOver, "");
    EXPECT_EQ(t.cardTText, "");
}

TEST_F(ConfigRunDir, AMissingCatalogueOrAnEmptyFileMessagesIsNoError) {
    MessageTexts t;
    t.stepButtonText = "stale";
    EXPECT_TRUE(readMessageFile("./setup/none.ini", t));
    EXPECT_EQ(t.stepButtonText, "");
    t.stepButtonText = "stale";
    EXPECT_TRUE(readMessageFile("./setup/", t));  // the bare directory: no catalogue
    EXPECT_EQ(t.stepButtonText, "");
}

TEST_F(ConfigRunDir, ADirectoryNamedAsTheCatalogueIsAReadingError) {
    fs::create_directory("setup/msg.ini");
    MessageTexts t;
    t.stepButtonText = "kept";
    EXPECT_FALSE(readMessageFile("./setup/msg.ini", t));
    EXPECT_EQ(t.stepButtonText, "kept");
}

TEST_F(ConfigRunDir, LabelCodeComesFromTheCatalogueThatTheParameterFileNames) {
    write(kParameterFile, "[PARAMETER]\nFileMessages=msg.ini\n");
    write("setup/msg.ini", "[MESSAGES]\nLabelCode=  \"Codice partecipante\"  \n");
    std::string label = "CODE";
    ASSERT_TRUE(readLabelCode(kParameterFile, label));
    EXPECT_EQ(label, "Codice partecipante");
}

TEST_F(ConfigRunDir, LabelCodeIsEmptyWithoutParameterFileCatalogueOrKey) {
    std::string label = "CODE";
    ASSERT_TRUE(readLabelCode(kParameterFile, label));  // no parameter file: "./setup/"
    EXPECT_EQ(label, "");

    write(kParameterFile, "[PARAMETER]\nFileMessages=none.ini\n");
    label = "CODE";
    ASSERT_TRUE(readLabelCode(kParameterFile, label));
    EXPECT_EQ(label, "");

    write("setup/none.ini", "[MESSAGES]\nHeader=x\n");
    label = "CODE";
    ASSERT_TRUE(readLabelCode(kParameterFile, label));
    EXPECT_EQ(label, "");
}

TEST_F(ConfigRunDir, LabelCodeReadingErrorsLeaveTheLabelAsItWas) {
    fs::create_directory("setup/QBXParameter.ini");
    std::string label = "CODE";
    EXPECT_FALSE(readLabelCode(kParameterFile, label));
    EXPECT_EQ(label, "CODE");

    fs::remove("setup/QBXParameter.ini");
    write(kParameterFile, "[PARAMETER]\nFileMessages=sub\n");
    fs::create_directory("setup/sub");
    EXPECT_FALSE(readLabelCode(kParameterFile, label));
    EXPECT_EQ(label, "CODE");
}
