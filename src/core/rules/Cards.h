#pragma once
// The words every part of the core shares: the two roles, the six places a
// card can lie in, and the six cards. How they are written in the logs is
// the log format's business (eventlog/LogFormat.h).

#include <cstdint>
#include <string>
#include <string_view>

namespace qbx {

// The ColorKeeper ("ck") and the NumberKeeper ("nk").
enum class Role : uint8_t { Ck = 0, Nk = 1 };
inline Role otherRole(Role role) { return role == Role::Ck ? Role::Nk : Role::Ck; }
inline const char* roleName(Role role) { return role == Role::Ck ? "ck" : "nk"; }

// The places of the table by their codes. The deck, where dealt cards come
// from, is no place a card can be played from.
enum Position : uint8_t {
    colorCardView = 0,       // the ColorKeeper's hand card
    downColorCardView = 1,   // face down, on the ColorKeeper's side
    upCardView = 2,          // face up
    downNumberCardView = 3,  // face down, on the NumberKeeper's side
    numberCardView = 4,      // the NumberKeeper's hand card
    targetCardView = 5,      // the Target
    deckPosition = 6,
};
inline constexpr int kPlaces = 6;

// A role's own hand card: the ColorKeeper's at 0, the NumberKeeper's at 4.
inline uint8_t handPosition(Role role) { return role == Role::Ck ? colorCardView : numberCardView; }
inline bool isHandPosition(uint8_t position) { return position == colorCardView || position == numberCardView; }
// The face-up card and the two face-down ones, which a hand card may always
// be exchanged with.
inline bool isTableCard(uint8_t position) {
    return position == downColorCardView || position == upCardView || position == downNumberCardView;
}

// The six cards by index, 0 to 5: 2H 3H 4H 2C 3C 4C. A card's number is 2,
// 3 or 4, its colour 1 (hearts, H) or 2 (clubs, C).
inline constexpr int kCards = 6;
inline int32_t cardNumber(int card) { return card % 3 + 2; }
inline int32_t cardColour(int card) { return card / 3 + 1; }
inline int cardIndex(int32_t number, int32_t colour) { return (colour == 1 ? 0 : 3) + number - 2; }
// "2H" … "4C".
inline std::string cardText(int card) {
    return std::string{static_cast<char>('0' + cardNumber(card)), cardColour(card) == 1 ? 'H' : 'C'};
}
// The card "2H" … "4C" names; -1 for any other text.
inline int cardOfText(std::string_view text) {
    if (text.size() != 2 || text[0] < '2' || text[0] > '4' || (text[1] != 'H' && text[1] != 'C')) return -1;
    return cardIndex(text[0] - '0', text[1] == 'H' ? 1 : 2);
}
// A card as a shoe line writes it: a number 2 to 4 and a colour letter, H
// for hearts and any other for clubs. The text must be such a pair.
inline int cardOfShoeText(char digit, char letter) { return cardIndex(digit - '0', letter == 'H' ? 1 : 2); }

}  // namespace qbx
