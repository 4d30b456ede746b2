#pragma once
// The shoe of the whole game under MIX whose two logs are kept in
// tests/data/mix_game_ck.txt and mix_game_nk.txt: five hands that end in
// every way a hand can. The core's test plays it and compares the logs; the
// qbxtool tests read those logs with this shoe as their setup's.

namespace qbx::test {

inline const char* kMixShoe =
    "c   ck  up  t   n   nk  goal opens\r\n"
    "4C  2H  2C  3H  4H  3C  2H   ck\r\n"
    "2H  3C  4H  2C  3H  4C  3H   nk\r\n"
    "3H  4C  2H  4H  2C  3C  4H   ck\r\n"
    "2C  3H  4C  2H  4H  3C  2C   nk\r\n"
    "3C  2C  4H  2H  4C  3H  2H   ck\r\n";

}  // namespace qbx::test
