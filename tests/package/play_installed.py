#!/usr/bin/env python3
"""Plays the first hand of the installed example setup with the installed
qbxsolo, found on PATH and started in a working directory that
`qbxtool init` made, on a private Xvfb screen through the real window; then
checks both event logs record by record.

    play_installed.py --workdir DIR --out DIR

The first hand of the example shoe gives the ColorKeeper 2H, with 3H at the
Target and 2H as the goal: both roles pass, then the ColorKeeper lays its 2H
on the Target and the hand ends on its goal.
"""

import argparse
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))

from harness import Expected, Session, check, deal_of, pickup_record  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--workdir", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    program = shutil.which("qbxsolo")
    if program is None:
        print("FAIL: qbxsolo is not on PATH")
        return 1
    with open(os.path.join(args.workdir, "setup", "shoe.txt"), encoding="latin-1") as f:
        first_hand = f.read().splitlines()[1]
    os.makedirs(args.out, exist_ok=True)
    try:
        with Session(program, args.workdir, args.out, "installed") as s:
            s.login("PKG1")
            s.wait_ready("ck", 1)
            s.play_example_first_hand()
            s.wait_lines("nk", 16)
            exp = Expected("PKG1")
            exp.deal(deal_of(first_hand))
            exp.pass_("ck")
            exp.pass_("nk")
            exp.one("ck", pickup_record("ck", "2H", "colorCardView"))
            exp.move("ck", "3H", "targetCardView", "2H", "colorCardView")
            exp.hand_end("GE:", 2, 1, 850)
            exp.verify(s)
            check(len(s.log_files()) == 2,
                  "dataout holds %s, want the two logs of this run" % s.log_files())
    except AssertionError as e:
        print("FAIL: %s" % e)
        return 1
    print("installed program: one hand played through the real window, both logs as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
