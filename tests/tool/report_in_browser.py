#!/usr/bin/env python3
"""qbxtool report in a real browser: the page made from engine-written logs
is loaded by headless Chromium; its screenshot must not be blank and its DOM
must hold one time line per hand. Exits 77 (skipped) without chromium."""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77


def png_rows(path):
    """The PNG's size and its scanlines, unfiltered enough to compare rows."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("screenshot is not a PNG")
    at, idat, width, height = 8, b"", 0, 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = len(raw) // height
    return width, height, [raw[i * stride:(i + 1) * stride] for i in range(height)]


def chromium(args, profile):
    exe = shutil.which("chromium") or shutil.which("chromium-browser")
    base = [exe, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + profile, "--window-size=1200,900"]
    return subprocess.run(base + args, capture_output=True, text=True, timeout=120)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qbxtool", required=True)
    parser.add_argument("--data", required=True, help="tests/data with the engine's whole-game logs")
    parser.add_argument("--keep", help="copy the page and the screenshot here")
    args = parser.parse_args()
    if not (shutil.which("chromium") or shutil.which("chromium-browser")):
        print("SKIPPED: chromium is not installed (scripts/deps installs it)")
        return SKIP
    with tempfile.TemporaryDirectory() as tmp:
        dataout = os.path.join(tmp, "dataout")
        os.mkdir(dataout)
        for n, game in enumerate(["mix_game", "circular_game"], 1):
            for role in ("ck", "nk"):
                shutil.copy(os.path.join(args.data, f"{game}_{role}.txt"),
                            os.path.join(dataout, f"{role}071226_{n}.txt"))
        page = os.path.join(tmp, "report.html")
        run = subprocess.run([args.qbxtool, "report", dataout, "-o", page], capture_output=True, text=True)
        if run.returncode != 0:
            raise SystemExit(f"report failed ({run.returncode}): {run.stderr}")
        sessions = json.loads(subprocess.run([args.qbxtool, "sessions", "--json", dataout],
                                             capture_output=True, text=True, check=True).stdout)
        hands = sum(s["hands"] for s in sessions["sessions"])
        html = open(page, encoding="utf-8").read()
        if re.search(r"<script|<link|@import|url\(|src=\"http", html, re.I):
            raise SystemExit("the page fetches or runs something from outside")

        shot = os.path.join(tmp, "shot.png")
        result = chromium(["--screenshot=" + shot, "file://" + page], os.path.join(tmp, "profile1"))
        if not os.path.exists(shot):
            raise SystemExit("no screenshot: " + result.stderr[-2000:])
        width, height, rows = png_rows(shot)
        distinct = len(set(rows))
        if (width, height) != (1200, 900) or distinct < 100:
            raise SystemExit(f"the screenshot looks blank: {width}x{height}, {distinct} distinct rows")

        dom = chromium(["--dump-dom", "file://" + page], os.path.join(tmp, "profile2")).stdout
        timelines = len(re.findall(r'<figure class="hand-timeline"', dom))
        if timelines != hands or hands != 7:
            raise SystemExit(f"{timelines} time lines in the DOM for {hands} hands")
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            shutil.copy(page, args.keep)
            shutil.copy(shot, args.keep)
        print(f"ok: {distinct} distinct rows in the screenshot, {timelines} time lines for {hands} hands")
    return 0


if __name__ == "__main__":
    sys.exit(main())
