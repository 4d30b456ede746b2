#pragma once
// The parameter file and the message catalogue, read into plain fields that
// the game state holds.

#include <cstdint>
#include <string>

namespace qbx {

inline constexpr const char* kParameterFile = "./setup/QBXParameter.ini";
// A name of the setup or of dataout in the folder a game plays in: the name
// itself when the folder is empty (the working directory).
inline std::string inGameFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}
inline constexpr const char* kParameterReadError =
    "Error in reading the QBXParameter.ini file. Please exit the software.";
inline constexpr const char* kMessagesReadError = "Error in reading the Messages file. Please exit the software.";

// The fields ReadParameter fills, in the order it reads them.
struct ParameterValues {
    std::string shoeFilePath;  // "setup/" + ShoeFileName
    std::string maxRoundsText;
    std::string premiumRoundText;
    std::string costMoveText;
    std::string viewCard;  // upper-cased
    std::string fileBackCard;
    std::string viewTarget;    // upper-cased
    std::string viewCkNk;      // upper-cased
    std::string dealingOrder;  // upper-cased
    std::string fileMessages;
    int32_t parX = 0;
    int32_t parY = 0;
    std::string dragCkNkText;  // upper-cased
    std::string fileTexture;   // default "NO" when the key is missing
};

// The catalogue's texts, in the order readMessageFile reads them.
struct MessageTexts {
    std::string msgHeader, msgIncorrectMove, msgHandOver, msgForcedHandOver, msgForcedPassHandOver, msgGameOver,
        msgTotMove, msgHandNumber, msgHandEnded, msgGameEnded;
    std::string rulesHeader, rulesBlock1CK, rulesBlock1NK;
    std::string turnHeader, ckTurnText, nkTurnText;
    std::string helpButtonText, stepButtonText;
    std::string cardCkText, cardNkText, cardTText;
};

// The 14 keys of the parameter file, in the order the game reads them.
inline constexpr const char* kParameterKeys[] = {
    "ShoeFileName", "MaxRounds",   "PremiumRound", "CostMove", "ViewCard", "FileBackCard", "ViewTarget",
    "ViewCkNk",     "SyntaxInput", "FileMessages", "parX",     "parY",     "Drag CkNk",    "File Texture"};

// A key of the message catalogue: where the game keeps its text (none for
// LabelCode, which the login window reads itself) and whether the text ever
// reaches the participant's eyes.
struct CatalogueKey {
    const char* section;
    const char* key;
    std::string MessageTexts::*text;
    bool shown;
};

// Every key of the catalogue the program reads, in the order it reads them.
inline constexpr CatalogueKey kCatalogueKeys[] = {
    {"MESSAGES", "Header", &MessageTexts::msgHeader, true},
    {"MESSAGES", "IncorrectMove", &MessageTexts::msgIncorrectMove, false},
    {"MESSAGES", "HandOver", &MessageTexts::msgHandOver, false},
    {"MESSAGES", "ForcedHandOver", &MessageTexts::msgForcedHandOver, true},
    {"MESSAGES", "ForcedPassHandOver", &MessageTexts::msgForcedPassHandOver, true},
    {"MESSAGES", "GameOver", &MessageTexts::msgGameOver, false},
    {"MESSAGES", "TotMove", &MessageTexts::msgTotMove, true},
    {"MESSAGES", "HandNumber", &MessageTexts::msgHandNumber, true},
    {"MESSAGES", "HandEnded", &MessageTexts::msgHandEnded, false},
    {"MESSAGES", "GameEnded", &MessageTexts::msgGameEnded, true},
    {"MESSAGES", "LabelCode", nullptr, true},
    {"RULES", "Header", &MessageTexts::rulesHeader, true},
    {"RULES", "Block1CK", &MessageTexts::rulesBlock1CK, true},
    {"RULES", "Block1NK", &MessageTexts::rulesBlock1NK, true},
    {"TURNINDICATOR", "Header", &MessageTexts::turnHeader, true},
    {"TURNINDICATOR", "CkTurn", &MessageTexts::ckTurnText, true},
    {"TURNINDICATOR", "NkTurn", &MessageTexts::nkTurnText, true},
    {"BUTTON", "Help", &MessageTexts::helpButtonText, true},
    {"BUTTON", "Step", &MessageTexts::stepButtonText, true},
    {"CARD", "Ck", &MessageTexts::cardCkText, true},
    {"CARD", "Nk", &MessageTexts::cardNkText, true},
    {"CARD", "T", &MessageTexts::cardTText, true},
};

// MaxRounds, PremiumRound and CostMove as the game start converts them: a
// whole number in decimal that fits in 32 bits, with an optional sign, and
// nothing else. False for any other text, the empty one included.
bool parseWholeNumber(const std::string& text, int32_t& value);

// Upper-cases the letters a to z only.
std::string upperAscii(std::string text);

// ReadParameter: reads "./setup/QBXParameter.ini" (or the path given) into
// the fields. Returns false when the reading machinery failed; the caller
// then shows kParameterReadError. Fields of keys not read keep their values.
bool readParameterFile(const std::string& path, ParameterValues& values);

// ReadMessages: reads the catalogue at the path given ("./setup/" +
// fileMessages). Returns false when the reading machinery failed; the caller
// then shows kMessagesReadError.
bool readMessageFile(const std::string& path, MessageTexts& texts);

// The login window's readLabelCaption: FileMessages from the parameter file, then
// LabelCode of section MESSAGES from that catalogue. On a reading error
// returns false and leaves labelCode as it was (the caller shows
// kParameterReadError).
bool readLabelCode(const std::string& parameterPath, std::string& labelCode);

}  // namespace qbx
