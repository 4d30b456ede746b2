#!/usr/bin/env python3
"""qbxtool report in a real browser: the page made from engine-written logs
is loaded by headless Chromium; its screenshot must not be blank and its DOM
must hold one time line per hand. At 1,100 and 1,600 pixels wide the page
must not run off the side and every column header of its tables must lie
in view; the time lines show on their own scale, or on the common one when
its button is chosen. Exits 77 (skipped) without chromium."""
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


def chromium(args, profile, width=1200):
    exe = shutil.which("chromium") or shutil.which("chromium-browser")
    base = [exe, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--user-data-dir=" + profile, f"--window-size={width},900"]
    return subprocess.run(base + args, capture_output=True, text=True, timeout=120)


# Measures the page as laid out and writes what it found into the page, for
# --dump-dom to bring back. Added to a copy of the page only: the report
# itself runs no script.
MEASURE = """<script>
(() => {
  const shown = cls => [...document.querySelectorAll('svg.' + cls)]
      .filter(e => getComputedStyle(e).display !== 'none').length;
  const headers = [...document.querySelectorAll('th')].map(th => {
      const r = th.getBoundingClientRect(); return [th.textContent, r.left, r.right]; });
  const out = document.createElement('pre');
  out.id = 'measured';
  // The width inside the window's scrollbar, which a long page has.
  out.textContent = JSON.stringify({width: document.documentElement.clientWidth, scrollWidth: document.documentElement.scrollWidth,
                                    headers, own: shown('tl-own'), common: shown('tl-common')});
  document.body.appendChild(out);
})();
</script>"""


def measure(page, tmp, width, common):
    html = open(page, encoding="utf-8").read()
    if common:
        html = html.replace('id="scale-own" checked', 'id="scale-own"').replace('id="scale-common"',
                                                                              'id="scale-common" checked')
    copy = os.path.join(tmp, f"measured-{width}-{common}.html")
    with open(copy, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", MEASURE + "</body>"))
    dom = chromium(["--dump-dom", "file://" + copy], os.path.join(tmp, f"profile-{width}-{common}"), width).stdout
    found = re.search(r'<pre id="measured">(.*?)</pre>', dom, re.S)
    if not found:
        raise SystemExit(f"no measure of the page at {width} pixels")
    return json.loads(found.group(1).replace("&quot;", '"').replace("&amp;", "&"))


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
        # The first session with a run record of long names (its setup not
        # saved), the second without one: the table of sessions names both.
        record = {"record": "QBXSolo run record", "format": 1, "session": "071226_1", "state": "ended",
                  "program": {"version": "1.4.0", "commit": "96e76e4"},
                  "workingDirectory": "pilot-condition-b-december-2026",
                  "setup": {"hash": "5d1b0a4c9e8f" * 5 + "a0b1", "short": "5d1b0a4c9e8f", "saved": None,
                            "files": []},
                  "continues": {"session": "061226_4711", "hand": 3},
                  "end": {"time": "2026-12-07T14:20:03.118", "how": "game ended", "hands": 5},
                  "problems": ["the setup could not be copied: No space left on device"]}
        with open(os.path.join(dataout, "run071226_1.json"), "w", encoding="utf-8") as f:
            json.dump(record, f)
        # A third whose record says "started" only, with the longest notes of
        # the table's end column.
        for role in ("ck", "nk"):
            shutil.copy(os.path.join(args.data, f"circular_game_{role}.txt"),
                        os.path.join(dataout, f"{role}081226_3.txt"))
        stopped = dict(record, session="081226_3", state="started", end=None, problems=[],
                       workingDirectory="resume_081226_7758_second_room")
        with open(os.path.join(dataout, "run081226_3.json"), "w", encoding="utf-8") as f:
            json.dump(stopped, f)
        page = os.path.join(tmp, "report.html")
        run = subprocess.run([args.qbxtool, "report", dataout, "-o", page], capture_output=True, text=True)
        if run.returncode != 0:
            raise SystemExit(f"report failed ({run.returncode}): {run.stderr}")
        sessions = json.loads(subprocess.run([args.qbxtool, "sessions", "--json", dataout],
                                             capture_output=True, text=True, check=True).stdout)
        hands = sum(s["hands"] for s in sessions["sessions"])
        html = open(page, encoding="utf-8").read()
        if "5d1b0a4c9e8f</code>" not in html or "QBXSolo 1.4.0" not in html:
            raise SystemExit("the table of sessions does not name the first session's setup and version")
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
        if timelines != hands or hands != 9:
            raise SystemExit(f"{timelines} time lines in the DOM for {hands} hands")
        for width in (1100, 1600):
            for common in (False, True):
                m = measure(page, tmp, width, common)
                if m["scrollWidth"] > m["width"]:
                    raise SystemExit(f"at {width} pixels the page runs {m['scrollWidth'] - m['width']} off the side")
                cut = [h[0] for h in m["headers"] if h[1] < 0 or h[2] > m["width"]]
                if cut or not m["headers"]:
                    raise SystemExit(f"at {width} pixels these column headers are out of view: {cut}")
                shown = (m["common"], m["own"]) if common else (m["own"], m["common"])
                if shown != (hands, 0):
                    raise SystemExit(f"{'common' if common else 'own'} scale at {width} pixels: "
                                     f"{shown[0]} time lines shown, {shown[1]} of the other scale")
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            shutil.copy(page, args.keep)
            shutil.copy(shot, args.keep)
        print(f"ok: {distinct} distinct rows in the screenshot, {timelines} time lines for {hands} hands, "
              "in view at 1100 and 1600 pixels on either time scale")
    return 0


if __name__ == "__main__":
    sys.exit(main())
