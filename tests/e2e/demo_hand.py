#!/usr/bin/env python3
"""Plays one short hand of the example setup on a private Xvfb screen and
prints the two event logs it produced: for a machine with no display.

    demo_hand.py [--program build/qbxsolo] [--keep-logs DIR]

The first hand of examples/setup/shoe.txt gives the ColorKeeper 2H with 3H
at the Target and 2H as the goal: both roles pass once, then the
ColorKeeper lays its 2H on the Target and the hand ends on its goal.
"""

import argparse
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import EXAMPLES, ROOT, Session, check, count_prefixed


def main():
    ap = argparse.ArgumentParser()
    default_build = os.environ.get("QBX_BUILD_DIR", os.path.join(ROOT, "build"))
    ap.add_argument("--program", default=os.path.join(default_build, "qbxsolo"))
    ap.add_argument("--keep-logs", help="copy the hand's two logs into this folder (made if missing)")
    args = ap.parse_args()
    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        print("error: no program at %s (build it first)" % program)
        return 2

    tmp = tempfile.mkdtemp(prefix="qbx-demo-hand-")
    try:
        work = os.path.join(tmp, "work")
        shutil.copytree(EXAMPLES, os.path.join(work, "setup"))
        os.makedirs(os.path.join(work, "dataout"))
        with Session(program, work, tmp, "demo") as s:
            s.login("DEMO")
            s.wait_ready("ck", 1)
            s.play_example_first_hand()
            check(count_prefixed(s.ck_lines(), "GE:") == 1, "the hand did not end on its goal")
            for name in s.log_files():
                print("==> dataout/%s <==" % name)
                with open(os.path.join(s.dataout(), name), "rb") as f:
                    sys.stdout.write(f.read().decode("latin-1").replace("\r\n", "\n"))
                if args.keep_logs:
                    os.makedirs(args.keep_logs, exist_ok=True)
                    shutil.copy(os.path.join(s.dataout(), name), args.keep_logs)
        return 0
    except AssertionError as e:
        print("demo hand failed: %s" % e)
        return 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
