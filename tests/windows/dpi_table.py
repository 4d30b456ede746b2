#!/usr/bin/env python3
"""qbxsolo.exe under Wine on a screen scaled to 125 % and 150 %.

Wine's display DPI (HKCU\\Control Panel\\Desktop LogPixels) is set to 120 and
then 144 on a screen that is, in logical pixels, the 1024 x 768 the table was
laid out for (1280 x 960 and 1536 x 1152 real pixels). In each, after a code
is typed at the login and the first hand is dealt, a screenshot must show:

- the table covering the screen: its window spans the screen below the place
  of its caption, and no pixel of the bare X root (black) shows along the
  screen's edges there;
- the cards scaled with everything else and in their proportions: the green
  frame of the role in turn and the card's outline inside it measure the
  layout's sizes (a 75 x 107 card, 8 pixels inside an 89 x 121 frame) times
  the scale, to two pixels, the card's width to height within 2 %.

A program that ignored the DPI (or that Windows stretched as a bitmap) would
draw 75 x 107 cards; one that scaled but covered only the unscaled size would
leave the root showing.

Exit 0 when both pass, 1 when a check fails, 77 when Wine or Xvfb is missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))
import harness  # noqa: E402  (Xvfb, screenshots, process ends)

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
CARD_W, CARD_H = 75, 107
# A place's frame: 8 pixels left of and above its card, 89 x 121.
FRAME_W, FRAME_H, FRAME_OFFSET = 89, 121, 8
# The window's caption (Windows draws one above the maximised table, as a
# window manager does on Linux; Wine without one leaves its place bare):
# at most this high at 100 %.
CAPTION = 24
LOGIN_OK = harness.LOGIN_OK
CASES = [(120, 1.25, (1280, 960)), (144, 1.5, (1536, 1152))]


class Failure(Exception):
    pass


def wine_env(prefix, display=None):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def set_dpi(prefix, dpi):
    env = wine_env(prefix)
    subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)
    done = subprocess.run([WINE, "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t",
                           "REG_DWORD", "/d", str(dpi), "/f"], env=env, capture_output=True, timeout=120)
    if done.returncode != 0:
        raise Failure("could not set LogPixels: %s" % done.stderr.decode(errors="replace"))
    # Sans-serif text as on Windows (Wine has no Tahoma to map its dialog font to).
    for face in ("MS Shell Dlg", "MS Shell Dlg 2", "Tahoma"):
        subprocess.run([WINE, "reg", "add", "HKCU\\Software\\Wine\\Fonts\\Replacements", "/v", face, "/t",
                        "REG_SZ", "/d", "Liberation Sans", "/f"], env=env, capture_output=True, timeout=60)
    subprocess.run([WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)


def windows_named(display, name):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], capture_output=True,
                         env=dict(os.environ, DISPLAY=display)).stdout.decode()
    return [int(w) for w in out.split()]


def geometry(display, wid):
    out = subprocess.run(["xwininfo", "-id", str(wid)], capture_output=True,
                         env=dict(os.environ, DISPLAY=display)).stdout.decode()
    values = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(key + ":"):
                values[key] = int(line.split(":")[1])
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"], values["Height"])


def screenshot(display):
    raw = subprocess.run(["import", "-display", display, "-window", "root", "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    return harness.parse_ppm(raw)


def box_of(shot, test, area=None):
    """Bounding box (left, top, right, bottom), inclusive, of the pixels passing test."""
    x0, y0, x1, y1 = area or (0, 0, shot.width - 1, shot.height - 1)
    left = top = None
    right = bottom = -1
    for y in range(y0, y1 + 1):
        row = (y * shot.width) * 3
        for x in range(x0, x1 + 1):
            i = row + x * 3
            if test(shot.data[i], shot.data[i + 1], shot.data[i + 2]):
                left = x if left is None else min(left, x)
                top = y if top is None else top
                right, bottom = max(right, x), y
    return None if left is None else (left, top, right, bottom)


def is_green(r, g, b):
    # The frame of the role in turn, (0, 128, 0); blended edges pass too.
    return r < 60 and b < 60 and 90 <= g <= 160


def is_dark(r, g, b):
    # The card's black outline (and a club's pips, inside it).
    return r < 100 and g < 100 and b < 100


def measure(shot, scale, out_lines):
    """Checks one screenshot; returns the problems found."""
    problems = []
    # The bare root is black: none of it along the screen's left, right and
    # bottom edges (two pixels in, clear of any blended border), nor below
    # the caption's place at the top.
    caption = round(CAPTION * scale) + 2
    bare = 0
    for x in range(0, shot.width, 4):
        for y in (caption, shot.height - 3):
            bare += shot.pixel(x, y) == (0, 0, 0)
    for y in range(caption, shot.height, 4):
        for x in (2, shot.width - 3):
            bare += shot.pixel(x, y) == (0, 0, 0)
    if bare:
        problems.append("%d points along the screen's edges show the bare root: the table does not cover it" % bare)

    frame = box_of(shot, is_green)
    if not frame:
        return problems + ["no green frame of the role in turn on the screen"]
    fw, fh = frame[2] - frame[0] + 1, frame[3] - frame[1] + 1
    card = box_of(shot, is_dark, (frame[0], frame[1], frame[2], frame[3]))
    if not card:
        return problems + ["no card's outline inside the green frame at %s" % (frame,)]
    cw, ch = card[2] - card[0] + 1, card[3] - card[1] + 1
    out_lines.append("  frame %d x %d at (%d, %d), card %d x %d at (%d, %d)" %
                     (fw, fh, frame[0], frame[1], cw, ch, card[0], card[1]))

    def near(value, want, slack):
        return abs(value - want) <= slack

    if not (near(fw, FRAME_W * scale, 2) and near(fh, FRAME_H * scale, 2)):
        problems.append("the frame is %d x %d, not %.1f x %.1f" % (fw, fh, FRAME_W * scale, FRAME_H * scale))
    if not (near(cw, CARD_W * scale, 2) and near(ch, CARD_H * scale, 2)):
        problems.append("the card is %d x %d, not %.1f x %.1f" % (cw, ch, CARD_W * scale, CARD_H * scale))
    ratio, want_ratio = cw / ch, CARD_W / CARD_H
    if abs(ratio / want_ratio - 1) > 0.02:
        problems.append("the card's width to height is %.3f, not %.3f" % (ratio, want_ratio))
    # The card lies at its place in the frame.
    if not (near(card[0] - frame[0], FRAME_OFFSET * scale, 2) and near(card[1] - frame[1], FRAME_OFFSET * scale, 2)):
        problems.append("the card is not at its place in the frame")
    return problems


def run_case(program, examples, out, prefix, dpi, scale, screen):
    work = os.path.join(out, "work-%d" % dpi)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "dataout"))
    shutil.copytree(os.path.join(examples, "setup"), os.path.join(work, "setup"))
    set_dpi(prefix, dpi)
    lines = ["%d dpi (%d %%) on %d x %d:" % (dpi, round(scale * 100), screen[0], screen[1])]
    with harness.Xvfb(os.path.join(out, "xvfb-%d.log" % dpi), screen=screen) as x:
        log = open(os.path.join(out, "qbxsolo-%d.log" % dpi), "wb")
        proc = subprocess.Popen([WINE, program], cwd=work, env=wine_env(prefix, x.display),
                                stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        try:
            deadline = time.monotonic() + 90
            login = []
            while not login and time.monotonic() < deadline and proc.poll() is None:
                time.sleep(0.2)
                login = windows_named(x.display, "^QBX$")
            if not login:
                raise Failure("%s no login window within 90 s" % lines[0])
            time.sleep(1.0)
            env = dict(os.environ, DISPLAY=x.display)
            subprocess.run(["xdotool", "windowfocus", "--sync", str(login[0])], env=env, timeout=10)
            subprocess.run(["xdotool", "type", "--delay", "50", "DPI"], env=env, timeout=10)
            # OK, at its place in the login's layout, scaled.
            ok = [round((LOGIN_OK[0] + LOGIN_OK[2] / 2) * scale), round((LOGIN_OK[1] + LOGIN_OK[3] / 2) * scale)]
            subprocess.run(["xdotool", "mousemove", "--window", str(login[0])] + [str(v) for v in ok] +
                           ["click", "1"], env=env, timeout=10)
            # The deal: six cards glide out one after another (about 2 s).
            table = None
            while time.monotonic() < deadline and proc.poll() is None:
                time.sleep(0.3)
                named = windows_named(x.display, "^QBX$")
                big = [w for w in named if geometry(x.display, w)[2] >= screen[0] * 0.9]
                if big:
                    table = big[0]
                    break
            if table is None:
                raise Failure("%s no table window covering the screen's width" % lines[0])
            time.sleep(5.0)
            geo = geometry(x.display, table)
            lines.append("  table window %d x %d at (%d, %d)" % (geo[2], geo[3], geo[0], geo[1]))
            shot = screenshot(x.display)
            subprocess.run(["convert", "ppm:-", os.path.join(out, "table-%d.png" % dpi)],
                           input=b"P6\n%d %d\n255\n" % (shot.width, shot.height) + shot.data)
            problems = measure(shot, scale, lines)
            # The client area spans the screen below the caption.
            if (geo[0] > 0 or geo[1] > round(CAPTION * scale) or geo[0] + geo[2] < screen[0] or
                    geo[1] + geo[3] < screen[1]):
                problems.append("the table window does not span the screen")
        finally:
            harness.stop_process(proc)
            subprocess.run([WINESERVER, "-k"], env=wine_env(prefix), stderr=subprocess.DEVNULL)
            log.close()
    print("\n".join(lines))
    for p in problems:
        print("  FAILED: " + p)
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    for tool in (WINE, shutil.which("Xvfb"), shutil.which("xdotool"), shutil.which("import")):
        if not tool or not os.path.exists(tool):
            print("dpi_table: skipped: Wine, Xvfb, xdotool or ImageMagick is missing")
            return 77
    os.makedirs(args.out, exist_ok=True)
    program = os.path.abspath(args.program)
    prefix = os.path.join(os.path.abspath(args.out), "wine-prefix")
    passed = failed = 0
    for dpi, scale, screen in CASES:
        try:
            ok = run_case(program, os.path.abspath(args.examples), args.out, prefix, dpi, scale, screen)
        except Failure as e:
            print("  FAILED: %s" % e)
            ok = False
        passed += ok
        failed += not ok
    print("dpi_table: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
