#!/usr/bin/env python3
"""The Windows package as a lab would use it: the zip unpacked into a fresh
Wine prefix's C: drive, qbxsolo.exe started with the package's example/ folder
as its working directory, a code typed, and the first hand of the example
shoe played through real X input on a private Xvfb screen; then the zip's
qbxreplay.exe reads that session (its logs, its run record and the setup the
record saved) and draws the table before and after the hand.

    zip_first_hand.py --zip qbxsolo-<version>-windows-x64.zip --out DIR

Checks the zip's layout (one top folder named like the zip, the programs, the
three text files, example/setup/ and an empty example/dataout/), then both
event logs of the hand, stamps masked, and the relations of their stamps.
Closes with "N passed, M failed".
"""

import argparse
import os
import re
import struct
import subprocess
import sys
import time
import traceback
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

from harness import (WINE64, E2EFailure, Expected, Session, WinePrefix, check, check_stamps,  # noqa: E402
                     compare_text, deal_of, pickup_record, windows_path)

ZIP_NAME = re.compile(r"^(qbxsolo-[0-9][0-9A-Za-z.+~-]*-windows-x64)\.zip$")
TOP_FILES = ("qbxsolo.exe", "qbxreplay.exe", "qbxtool.exe", "README.txt", "LICENSE.txt", "CHANGELOG.txt")
CODE = "ZIP1"


def check_layout(path):
    """The zip's entries: returns the name of its one top folder."""
    m = ZIP_NAME.match(os.path.basename(path))
    check(m is not None, "%s is not named qbxsolo-<version>-windows-x64.zip" % os.path.basename(path))
    top = m.group(1)
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        check(bad is None, "the zip's entry %s is damaged" % bad)
        names = z.namelist()
    outside = [n for n in names if not n.startswith(top + "/")]
    check(not outside, "entries outside %s/: %s" % (top, outside[:5]))
    check(not [n for n in names if "\\" in n or "/../" in n], "entries with a backslash or ..")
    files = {n[len(top) + 1:] for n in names}
    for f in TOP_FILES + ("example/setup/QBXParameter.ini",):
        check(f in files, "%s/%s is missing from the zip" % (top, f))
    dataout = [f for f in files if f.startswith("example/dataout/")]
    check(dataout == ["example/dataout/"], "example/dataout/ is missing or not empty: %s" % sorted(dataout))
    return top


def first_hand_line(shoe_path):
    with open(shoe_path, "rb") as f:
        lines = [l.strip() for l in f.read().decode("latin-1").splitlines()]
    hands = [l for l in lines[1:] if l]
    check(hands, "the package's shoe has no hand")
    return re.sub(r"\s+", " ", hands[0])


def play_first_hand(prefix, top_dir, out):
    """The first hand of the example shoe: both roles pass, then the
    ColorKeeper lays its 2H on the Target 3H, the goal."""
    work = os.path.join(top_dir, "example")
    line = first_hand_line(os.path.join(work, "setup", "shoe.txt"))
    check(line == "4C 2H 3C 3H 2C 4H 2H ck",
          "the package's first hand is %r, not the example's first hand" % line)
    with Session(os.path.join(top_dir, "qbxsolo.exe"), work, out, "zip_first_hand", wine=prefix) as s:
        # The first start in a new prefix is slow.
        s.find_window("^QBX$", timeout=60.0)
        s.login(CODE)
        exp = Expected(CODE)
        s.wait_ready("ck", 1, timeout=15.0)
        exp.deal(deal_of(line))
        s.play_example_first_hand()
        exp.pass_("ck")
        exp.pass_("nk")
        exp.one("ck", pickup_record("ck", "2H", "colorCardView"))
        exp.move("ck", "3H", "targetCardView", "2H", "colorCardView")
        exp.hand_end("GE:", 2, 1, "850")
        s.wait_lines("nk", len(exp.lines["nk"]))
        files = s.log_files()
        check(len(files) == 2 and files[1] == "nk" + files[0][2:], "example/dataout holds %s" % files)
        # The next deal may already have begun: the hand is the logs' start.
        ck, nk = s.ck_lines(), s.nk_lines()
        for label, lines, want in (("ColorKeeper", ck, exp.lines["ck"]), ("NumberKeeper", nk, exp.lines["nk"])):
            compare_text(lines[:len(want)], want, label)
            later = [l for l in lines[len(want):] if ":GC:" not in l]
            check(not later, "%s log: more than the next deal after the hand: %s" % (label, later))
        check_stamps(ck[:len(exp.lines["ck"])], nk[:len(exp.lines["nk"])])
        s.save_screenshot(os.path.join(out, "zip_first_hand.png"))
        replay_snapshots(prefix, s, top_dir, os.path.join(work, "dataout", files[0]), out)


def png_size(path):
    """A PNG's width and height, from its header."""
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "%s is no PNG" % path)
    return struct.unpack(">II", head[16:24])


def replay_snapshots(prefix, session, top_dir, ck_log, out):
    """qbxreplay.exe on the session just played: the table as it first shows
    (action 0) and after the session's last action, each a PNG of the screen's
    size that the run record gives, the two not alike."""
    record = os.path.join(os.path.dirname(ck_log), "run" + os.path.basename(ck_log)[2:-4] + ".json")
    deadline = time.monotonic() + 20
    while b'"saved": "setups/' not in (open(record, "rb").read() if os.path.exists(record) else b""):
        check(time.monotonic() < deadline, "%s names no saved setup after 20 s" % record)
        time.sleep(0.2)
    with open(record, "rb") as f:
        screen = re.search(rb'"screen": \{"width": (\d+), "height": (\d+)', f.read())
    check(screen is not None, "%s has no screen" % record)

    def snapshot(action, png):
        return subprocess.run([WINE64, os.path.join(top_dir, "qbxreplay.exe"), "--snapshot", action, "--out",
                               windows_path(png), windows_path(ck_log)], env=prefix.env(session.env),
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)

    # An action past the end is refused with the session's range.
    r = snapshot("100000", os.path.join(out, "replay_none.png"))
    last = re.search(rb"has actions 0 to (\d+)", r.stderr)
    check(r.returncode == 2 and last is not None and int(last.group(1)) >= 4,
          "qbxreplay.exe --snapshot 100000: status %d, %s" % (r.returncode, r.stderr.decode("latin-1")))
    shots = []
    for action in ("0", last.group(1).decode()):
        png = os.path.join(out, "replay_action_%s.png" % action)
        r = snapshot(action, png)
        check(r.returncode == 0 and os.path.exists(png),
              "qbxreplay.exe --snapshot %s: status %d, %s" % (action, r.returncode, r.stderr.decode("latin-1")))
        check(png_size(png) == (int(screen.group(1)), int(screen.group(2))),
              "%s is %dx%d, not the record's screen" % ((png,) + png_size(png)))
        with open(png, "rb") as f:
            shots.append(f.read())
    check(shots[0] != shots[1], "the table after the hand looks as it did after the deal")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--zip", required=True, help="qbxsolo-<version>-windows-x64.zip")
    ap.add_argument("--out", required=True, help="a folder for the prefix, the logs and evidence")
    args = ap.parse_args()
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    t0 = time.monotonic()
    prefix = WinePrefix(os.path.join(out, "zip-prefix"))
    try:
        top = check_layout(os.path.abspath(args.zip))
        prefix.make(os.path.join(out, "zip-prefix.log"), fresh=True)
        drive_c = os.path.join(prefix.path, "drive_c")
        with zipfile.ZipFile(args.zip) as z:
            z.extractall(drive_c)
        play_first_hand(prefix, os.path.join(drive_c, top), out)
    except E2EFailure as e:
        print("FAIL  zip_first_hand %5.1f s\n%s" % (time.monotonic() - t0, e), flush=True)
        print("0 passed, 1 failed")
        return 1
    except Exception:
        print("FAIL  zip_first_hand %5.1f s (error)\n%s" % (time.monotonic() - t0, traceback.format_exc()))
        print("0 passed, 1 failed")
        return 1
    finally:
        prefix.kill()
    print("ok    zip_first_hand %5.1f s" % (time.monotonic() - t0), flush=True)
    print("1 passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
