#!/usr/bin/env python3
"""The benchmark suite of QBXSolo: every figure next to its floor, taken in
the same run, printed as one table and written to bench/results.md.

Runs on the X display in $DISPLAY (scripts/bench starts a private Xvfb with no
window manager). The window figures watch the real program from outside:

  start    the program is started and the X server's MapNotify for its first
           window is awaited (we select SubstructureNotify on the root window),
           alternated with a bare Qt program that maps one empty window;
  memory   VmHWM of the program at the end of a whole scripted game;
  glide    the real glide ticks, from the program's own trace (QBX_TRACE_FILE),
           against a bare precise 15 ms QTimer, idle and with the other core busy;
  deal     the real deal steps from the same trace;
  stamps   moves and passes sent as X input through XTEST; the time stamp of
           the record minus the wall-clock moment the release was sent;
  idle CPU the program's CPU time over 5 s at the table with nothing moving.

The durable record, the engine throughput and the solver of qbxtool come
from bench/qbx_bench (Google Benchmark).
"""

import argparse
import ctypes
import ctypes.util
import datetime
import json
import os
import platform
import re
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(ROOT, "examples", "setup")

SCREEN_W, SCREEN_H = 1024, 768
PAR_X, PAR_Y = 200, 64
CARD_W, CARD_H = 75, 107
PLACES = {0: (0, 0), 5: (152, 0), 4: (312, 0), 1: (24, 144), 2: (152, 144), 3: (280, 144)}
PASS_BUTTON = (480, 192, 169, 49)
LOGIN_CODE_BOX = (104, 104, 217, 32)
LOGIN_OK = (104, 240, 233, 81)
HAND_LINE = "4C 2H 3C 3H 2C 4H   2H   ck"
CLK_TCK = os.sysconf("SC_CLK_TCK")


def fail(message):
    raise SystemExit("bench: " + message)


# ---------------------------------------------------------------------------
# Statistics


def pct(values, q):
    """Nearest-rank percentile."""
    s = sorted(values)
    if not s:
        return float("nan")
    k = max(0, min(len(s) - 1, int(round(q / 100.0 * len(s) + 0.5)) - 1))
    return s[k]


def summary(values):
    return statistics.median(values), pct(values, 99), max(values)


# ---------------------------------------------------------------------------
# X: the display, map notifications and XTEST input, through ctypes


class MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class X:
    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19

    def __init__(self):
        self.xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
        x = self.xlib
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        t = self.xtst
        t.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                           ctypes.c_ulong]
        t.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = x.XOpenDisplay(None)
        if not self.dpy:
            fail("cannot open the X display %r" % os.environ.get("DISPLAY"))
        self.root = x.XDefaultRootWindow(self.dpy)
        x.XSelectInput(self.dpy, self.root, self.SUBSTRUCTURE_NOTIFY_MASK)
        x.XSync(self.dpy, 0)
        self.fd = x.XConnectionNumber(self.dpy)
        self.buf = ctypes.create_string_buffer(256)

    def drain(self):
        while self.xlib.XPending(self.dpy):
            self.xlib.XNextEvent(self.dpy, self.buf)

    def name(self, window):
        out = ctypes.c_char_p()
        if self.xlib.XFetchName(self.dpy, window, ctypes.byref(out)) and out.value is not None:
            value = out.value.decode("latin-1")
            return value
        return ""

    def wait_map(self, title, timeout=10.0):
        """perf_counter() at the MapNotify of a top-level window named title."""
        deadline = time.perf_counter() + timeout
        while True:
            while self.xlib.XPending(self.dpy):
                self.xlib.XNextEvent(self.dpy, self.buf)
                now = time.perf_counter()
                ev = MapEvent.from_buffer(self.buf)
                if ev.type == self.MAP_NOTIFY and self.name(ev.window) == title:
                    return now, ev.window
            left = deadline - time.perf_counter()
            if left <= 0:
                fail("no window %r was mapped within %.0f s" % (title, timeout))
            select.select([self.fd], [], [], left)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, int(x), int(y), 0)
        self.xlib.XFlush(self.dpy)

    def button(self, press, number=1):
        """Sends a button event; returns the wall-clock time it was sent."""
        self.xtst.XTestFakeButtonEvent(self.dpy, number, 1 if press else 0, 0)
        sent = time.time()
        self.xlib.XFlush(self.dpy)
        return sent


def xdotool(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL).stdout.decode()


def find_window(regex, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ids = xdotool("search", "--onlyvisible", "--name", regex).split()
        if ids:
            return ids[0]
        time.sleep(0.02)
    fail("no window %s appeared" % regex)


# ---------------------------------------------------------------------------
# Processes


def rss_peak_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK  # utime, stime


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Busy:
    """Keeps one core busy (the machine has two)."""

    def __enter__(self):
        self.proc = subprocess.Popen(["sh", "-c", "while :; do :; done"])
        time.sleep(0.2)
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()


def make_workdir(base, hands):
    work = tempfile.mkdtemp(prefix="run-", dir=base)
    shutil.copytree(EXAMPLES, os.path.join(work, "setup"))
    os.mkdir(os.path.join(work, "dataout"))
    with open(os.path.join(work, "setup", "shoe.txt"), "w") as f:
        f.write("bench shoe\n" + "".join(HAND_LINE + "\n" for _ in range(hands)))
    return work


# ---------------------------------------------------------------------------
# Start and the floor's memory


def measure_start(x, program, floor, work, runs):
    """Start times (ms) and peak memory (kB) of the program at its login and
    of the floors, alternated run by run."""
    env = dict(os.environ)
    kinds = {
        "ours": ([program], "QBX"),
        "bare": ([floor], "bare"),
        "text": ([floor, "text"], "bare"),
        "screen": ([floor, "text", "screen"], "bare"),
    }
    start = {k: [] for k in kinds}
    peak = {k: [] for k in kinds}
    for _ in range(runs):
        for kind, (cmd, title) in kinds.items():
            x.drain()
            t0 = time.perf_counter()
            proc = subprocess.Popen(cmd, cwd=work, env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            try:
                mapped, _ = x.wait_map(title)
                start[kind].append((mapped - t0) * 1000)
                time.sleep(0.4)  # the window painted and settled
                peak[kind].append(rss_peak_kb(proc.pid))
            finally:
                stop(proc)
    return start, peak


# ---------------------------------------------------------------------------
# A whole scripted game in the real window


def anchor():
    return SCREEN_W // 2 - PAR_X, SCREEN_H // 2 - PAR_Y


def card_centre(pos):
    a, b = anchor()
    dx, dy = PLACES[pos]
    return a + dx + CARD_W // 2, b + dy + CARD_H // 2


def pass_centre():
    a, b = anchor()
    dx, dy, w, h = PASS_BUTTON
    return a + dx + w // 2, b + dy + h // 2


def log_lines(work, prefix):
    d = os.path.join(work, "dataout")
    for n in os.listdir(d):
        if n.startswith(prefix):
            with open(os.path.join(d, n), "rb") as f:
                return f.read().decode("latin-1").split("\r\n")[:-1]
    return []


def wait_deals(work, count, proc, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if sum(1 for line in log_lines(work, "ck") if ":GC:" in line) >= 6 * count:
            return
        if proc.poll() is not None:
            fail("the program ended early (status %s)" % proc.returncode)
        time.sleep(0.01)
    fail("deal %d did not come within %.0f s" % (count, timeout))


def dismiss_box(attempts=4):
    """Return on the message box, again while it stays up: under Wine a box
    may take the focus only after its first key was sent."""
    wid = find_window("^QBXSolo$")
    for _ in range(attempts):
        xdotool("windowfocus", "--sync", wid)
        xdotool("key", "Return")
        deadline = time.monotonic() + 1.0
        while time.monotonic() < deadline:
            if wid not in xdotool("search", "--onlyvisible", "--name", "^QBXSolo$").split():
                return
            time.sleep(0.02)
    fail("the message box %s did not close" % wid)


def window_origin(wid):
    """The screen position of a window's client area (xwininfo)."""
    out = subprocess.run(["xwininfo", "-id", str(wid)], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL).stdout.decode()
    mx = re.search(r"Absolute upper-left X:\s*(-?\d+)", out)
    my = re.search(r"Absolute upper-left Y:\s*(-?\d+)", out)
    if not (mx and my):
        fail("xwininfo gives no position for window %s" % wid)
    return int(mx.group(1)), int(my.group(1))


def table_origin(login, timeout=20.0):
    """The client origin of the table: the window named QBX that is not the
    login (the table of the native program lies at 0, 0; Wine's own caption
    moves it down)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ids = [w for w in xdotool("search", "--onlyvisible", "--name", "^QBX$").split() if w != login]
        if ids:
            return window_origin(ids[0])
        time.sleep(0.02)
    fail("the table window did not appear")


def drag(x, src, dst, origin=(0, 0)):
    sx, sy = card_centre(src)
    ex, ey = card_centre(dst)
    sx, sy, ex, ey = sx + origin[0], sy + origin[1], ex + origin[0], ey + origin[1]
    x.move(sx, sy)
    time.sleep(0.05)
    x.button(True)
    for i in range(1, 7):
        time.sleep(0.04)
        x.move(sx + (ex - sx) * i // 6, sy + (ey - sy) * i // 6)
    time.sleep(0.08)
    sent = x.button(False)
    time.sleep(0.4)  # the swapped card glides home
    return sent


def press_pass(x, origin=(0, 0)):
    px, py = pass_centre()
    px, py = px + origin[0], py + origin[1]
    x.move(px, py)
    time.sleep(0.03)
    x.button(True)
    time.sleep(0.03)
    sent = x.button(False)
    time.sleep(0.1)
    return sent


def recorded_actions(work):
    """Moves and passes in the ColorKeeper's log so far."""
    return sum(1 for line in log_lines(work, "ck") if line.split(":")[2:3] in (["PM"], ["RM"], ["PP"], ["RP"]))


def play_game(x, program, base, hands, measure_idle_cpu, command=None, env=None, confirm=False):
    """Returns (trace text, sent times, ck log lines, peak kB, idle CPU s).
    command and env, when given, start the program another way (under Wine);
    the trace is then empty when the program writes none. With confirm, each
    input waits for its record and is sent again when none comes within
    1.5 s (an input that arrives while a slow glide still runs is refused),
    so that every sent time has its record."""
    work = make_workdir(base, hands)
    trace = os.path.join(work, "trace.txt")
    env = dict(os.environ if env is None else env, QBX_TRACE_FILE=trace)
    proc = subprocess.Popen(command or [program], cwd=work, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    sent, idle_cpu = [], None
    try:
        login = find_window("^QBX$")
        xdotool("windowfocus", "--sync", login)
        xdotool("mousemove", "--window", login, LOGIN_CODE_BOX[0] + 20, LOGIN_CODE_BOX[1] + 16,
                "click", "1")
        xdotool("type", "--delay", "15", "BENCH")
        xdotool("mousemove", "--window", login, LOGIN_OK[0] + 100, LOGIN_OK[1] + 40, "click", "1")
        origin = table_origin(login)

        def act(send):
            for _ in range(3):
                t = send()
                if not confirm:
                    return t
                deadline = time.monotonic() + 1.5
                while time.monotonic() < deadline:
                    if recorded_actions(work) > len(sent):
                        return t
                    time.sleep(0.01)
            fail("an input was not recorded after three tries")

        for hand in range(1, hands + 1):
            wait_deals(work, hand, proc)
            time.sleep(0.05)
            if hand == 1 and measure_idle_cpu:
                c0 = cpu_seconds(proc.pid)
                time.sleep(5.0)
                idle_cpu = cpu_seconds(proc.pid) - c0
            sent.append(act(lambda: drag(x, 0, 1, origin)))  # ColorKeeper: hand card onto its face-down card
            sent.append(act(lambda: drag(x, 4, 3, origin)))  # NumberKeeper: the same
            for _ in range(4):
                sent.append(act(lambda: press_pass(x, origin)))
            dismiss_box()  # the fourth pass ends the hand
        find_window("^QBXSolo$", 20)  # the game-ended box
        peak_kb = rss_peak_kb(proc.pid)
        dismiss_box()
        proc.wait(10)
    finally:
        stop(proc)
    text = ""
    if os.path.exists(trace):
        with open(trace) as f:
            text = f.read()
    return text, sent, log_lines(work, "ck"), peak_kb, idle_cpu


def parse_trace(text):
    offset, events = 0, []
    for line in text.splitlines():
        if line.startswith("# realtime-minus-monotonic-ns"):
            offset = int(line.split()[-1])
        elif line and not line.startswith("#"):
            ns, kind = line.split()
            events.append((int(ns), kind))
    return offset, events


def timer_intervals(events, timer):
    """Intervals in ms from a start to the first tick and between ticks, per run."""
    out, last = [], None
    for ns, kind in events:
        if kind == timer + "-start":
            last = ns
        elif kind == timer + "-tick" and last is not None:
            out.append((ns - last) / 1e6)
            last = ns
        elif kind == timer + "-stop":
            last = None
    return out


def seconds_of_day(t):
    lt = time.localtime(t)
    return lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec + (t - int(t))


def stamp_errors(sent, ck_lines):
    """Record stamp minus input sent, in ms, for every move and pass in order."""
    stamps = []
    for line in ck_lines:
        parts = line.split(":")
        if len(parts) > 2 and parts[2] in ("PM", "RM", "PP", "RP"):
            sec, ms = parts[0].split(".")
            stamps.append(int(sec) + int(ms) / 1000.0)
    if len(stamps) != len(sent):
        fail("%d moves and passes sent, %d recorded" % (len(sent), len(stamps)))
    return [(s - seconds_of_day(t)) * 1000 for s, t in zip(stamps, sent)]


def handling_delays(sent, offset, events):
    """Moment the game was handed each release (trace) minus its sending, in ms."""
    handled = [(ns + offset) / 1e9 for ns, kind in events if kind in ("release", "click")]
    out = []
    for t in sent:
        later = [h for h in handled if h >= t - 0.0005]
        if later:
            out.append((later[0] - t) * 1000)
    return out


# ---------------------------------------------------------------------------
# Google Benchmark


def run_gbench(binary, workdir):
    env = dict(os.environ, TMPDIR=workdir)  # the logs on the build directory's disk
    out = subprocess.run([binary, "--benchmark_format=json"], env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, check=True).stdout
    data = json.loads(out)
    res = {}
    for b in data["benchmarks"]:
        res[b["name"]] = b
    return res, data.get("context", {})


def find_bench(res, prefix, aggregate=None):
    for name, b in res.items():
        if name.startswith(prefix) and (aggregate is None or b.get("aggregate_name") == aggregate):
            return b
    fail("benchmark %s is missing" % prefix)


# ---------------------------------------------------------------------------


BEGIN, END = "<!-- main table: begin -->", "<!-- main table: end -->"


def machine():
    cpu = ""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "qt6-base-dev"], stdout=subprocess.PIPE,
                        stderr=subprocess.DEVNULL).stdout.decode() or "?"
    return "%s, %d cores, %s %s, Qt %s, X server Xvfb (no window manager)" % (
        cpu, os.cpu_count(), platform.system(), platform.release(), qt)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", default=os.path.join(ROOT, "bench", "results.md"))
    ap.add_argument("--runs", type=int, default=11)
    ap.add_argument("--hands", type=int, default=8)
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    program = os.path.join(build, "qbxsolo")
    floor_window = os.path.join(build, "bench", "floor_bare_window")
    floor_timer = os.path.join(build, "bench", "floor_bare_timer")
    gbench = os.path.join(build, "bench", "qbx_bench")
    for p in (program, floor_window, floor_timer, gbench):
        if not os.access(p, os.X_OK):
            fail("%s is not built" % p)
    base = tempfile.mkdtemp(prefix="qbx-bench-", dir=build)
    load = os.getloadavg()[0]  # other work on the machine moves every figure
    x = X()
    try:
        print("start: %d runs each, alternated ..." % args.runs, flush=True)
        start, peak = measure_start(x, program, floor_window, base, args.runs)

        def bare_ticks():
            out = subprocess.run([floor_timer, "600"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 check=True).stdout.decode()
            return [int(v) / 1000.0 for v in out.split()]

        print("glide floor, idle ...", flush=True)
        floor_idle = bare_ticks()
        print("scripted game, idle (%d hands) ..." % args.hands, flush=True)
        trace_idle, sent_idle, ck_idle, peak_kb, idle_cpu = play_game(x, program, base, args.hands, True)
        with Busy():
            print("glide floor, other core busy ...", flush=True)
            floor_busy = bare_ticks()
            print("scripted game, other core busy ...", flush=True)
            trace_busy, sent_busy, ck_busy, _, _ = play_game(x, program, base, args.hands, False)
        print("Google Benchmark (engine, durable record) ...", flush=True)
        gres, _ = run_gbench(gbench, base)
    finally:
        shutil.rmtree(base, ignore_errors=True)

    off_i, ev_i = parse_trace(trace_idle)
    off_b, ev_b = parse_trace(trace_busy)
    glide_idle = timer_intervals(ev_i, "glide")
    glide_busy = timer_intervals(ev_b, "glide")
    deal = timer_intervals(ev_i, "deal-step") + timer_intervals(ev_b, "deal-step")
    stamps = stamp_errors(sent_idle, ck_idle)
    handled = handling_delays(sent_idle, off_i, ev_i)
    stamps_busy = stamp_errors(sent_busy, ck_busy)

    dur = find_bench(gres, "BM_DurableRecord")
    write = find_bench(gres, "BM_RecordWrite")
    eng_d = find_bench(gres, "BM_HeadlessGame/hands:1000/durable:1", "median")
    eng_f = find_bench(gres, "BM_HeadlessGame/hands:1000/durable:0", "median")

    rows = []

    def row(figure, ours, floor, compare, holds):
        rows.append((figure, ours, floor, compare, holds))

    def yes(ok):
        return "yes" if ok else "**no**"

    med = {k: statistics.median(v) for k, v in start.items()}
    mem = {k: statistics.median(v) / 1024 for k, v in peak.items()}
    so, sb = med["ours"], med["bare"]
    row("Start to login window mapped, median of %d" % len(start["ours"]), "%.1f ms" % so,
        "%.1f ms (empty window)" % sb, "%.2f× (≤ 1.2×)" % (so / sb), yes(so <= 1.2 * sb))
    row("Start, against a window with one line of text (info)", "%.1f ms" % so, "%.1f ms" % med["text"],
        "%.2f×" % (so / med["text"]), "—")
    pm = peak_kb / 1024
    row("Peak resident memory, whole game (%d hands)" % args.hands, "%.1f MB" % pm,
        "%.1f MB (empty window)" % mem["bare"], "%.2f× (≤ 1.2×)" % (pm / mem["bare"]),
        yes(pm <= 1.2 * mem["bare"]))
    row("Peak memory, against a 1024×768 window with text (info)", "%.1f MB" % pm,
        "%.1f MB" % mem["screen"], "%.2f×" % (pm / mem["screen"]), "—")
    row("Resident memory at the login (info)", "%.1f MB" % mem["ours"],
        "%.1f MB (text) / %.1f MB (empty)" % (mem["text"], mem["bare"]),
        "%.2f× / %.2f×" % (mem["ours"] / mem["text"], mem["ours"] / mem["bare"]), "—")
    for label, ours, floor in (("idle", glide_idle, floor_idle), ("other core busy", glide_busy, floor_busy)):
        om, op, ox = summary(ours)
        fm, fp, fx = summary(floor)
        row("Glide tick interval, %s, n=%d (median / p99 / max)" % (label, len(ours)),
            "%.2f / %.2f / %.2f ms" % (om, op, ox), "%.2f / %.2f / %.2f ms" % (fm, fp, fx),
            "p99 %.3f× (≤ 1.1×)" % (op / fp), yes(op <= 1.1 * fp))
    dm, dp, dx = summary(deal)
    row("Deal step interval, n=%d (median / p99 / max)" % len(deal), "%.2f / %.2f / %.2f ms" % (dm, dp, dx),
        "302 ms", "median %+.2f ms, max %+.2f ms" % (dm - 302, dx - 302), "—")
    sm, sx = statistics.median(stamps), max(stamps)
    row("Stamp − input sent, idle, n=%d (median / max)" % len(stamps), "%.2f / %.2f ms" % (sm, sx),
        "0 ms", "≤ 1 / ≤ 3 ms", yes(sm <= 1 and sx <= 3))
    bm, bx = statistics.median(stamps_busy), max(stamps_busy)
    row("Stamp − input sent, other core busy, n=%d (median / max)" % len(stamps_busy),
        "%.2f / %.2f ms" % (bm, bx), "0 ms", "≤ 1 / ≤ 3 ms", yes(bm <= 1 and bx <= 3))
    if handled:
        row("Input handed to the game − sent, idle (median / max, info)",
            "%.3f / %.3f ms" % (statistics.median(handled), max(handled)), "—", "—", "—")
    dp50, dp99 = dur["p50_us"], dur["p99_us"]
    row("Durable record: write + fdatasync (median / p99)", "%.0f / %.0f µs" % (dp50, dp99),
        "%.2f µs (write alone)" % write["real_time"], "p99 ≤ 500 µs", yes(dp99 <= 500))
    ad, af = eng_d["actions"], eng_f["actions"]
    row("Engine, 1,000 hands, every action durable (as run)", "%.0f actions/s" % ad,
        "disk sync %.0f µs" % dp50, "%.1f µs/action" % (1e6 / ad), "— (disk-bound)")
    row("Engine, 1,000 hands, durability off (engine's own work)", "%.0f actions/s" % af, "—",
        "≥ 100,000 actions/s", yes(af >= 100000))
    table = find_bench(gres, "BM_SolverTable/rules:2")
    shoe = find_bench(gres, "BM_SolveShoe10000/rules:2")
    row("Solver: whole table of one setup, every deal × opener (%d states)" % table["states"],
        "%.1f ms" % table["real_time"], "—", "≤ 1000 ms", yes(table["real_time"] <= 1000))
    row("Solver: a 10,000-hand shoe in that table, lines of play included", "%.1f ms" % shoe["real_time"], "—",
        "≤ 1000 ms", yes(shoe["real_time"] <= 1000))
    rec = {m: find_bench(gres, "BM_RunRecordStart/record:%d" % m) for m in (0, 1, 2)}
    row("Session start to the first hand laid, game's own time (no record / record on its thread, info)",
        "%.2f / %.2f ms" % (rec[0]["first_deal_us"] / 1000, rec[1]["first_deal_us"] / 1000), "—",
        "%.2f ms in the game's thread" % (rec[2]["first_deal_us"] / 1000), "—")
    row("Action with durable records, first 20 of a session (median / p99: no record / record on its thread)",
        "%.0f / %.0f µs ; %.0f / %.0f µs" % (rec[0]["action_p50_us"], rec[0]["action_p99_us"],
                                           rec[1]["action_p50_us"], rec[1]["action_p99_us"]),
        "—", "p99 ×%.2f with the record" % (rec[1]["action_p99_us"] / rec[0]["action_p99_us"]), "—")
    row("Idle CPU at the table, 5 s, nothing moving", "%.0f ms" % (idle_cpu * 1000), "0 ms",
        "no timer runs", yes(idle_cpu <= 0.02))

    header = ("| Figure | QBXSolo | Floor | Ratio / target | Holds |\n"
              "|---|---|---|---|---|\n")
    table = header + "".join("| %s | %s | %s | %s | %s |\n" % r for r in rows)
    stamp = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
    md = ("%s\n%s on %s, load average %.1f at the start.\n\n%s\n"
          "Floors: a bare Qt 6 program mapping one empty window (start, memory) and one precise 15 ms "
          "QTimer (glide), run alternately with the program in the same conditions. Stamps have "
          "millisecond resolution (truncated), so a stamp may read up to 1 ms before the input.\n%s"
          % (BEGIN, stamp, machine(), load, table, END))
    print()
    print(md)
    # The table replaces the one between its markers; what else the file
    # holds (the other benchmarks' sections, notes) stays.
    text = open(args.out, encoding="utf-8").read() if os.path.exists(args.out) else ""
    if BEGIN in text and END in text:
        text = text[:text.index(BEGIN)] + md + text[text.index(END) + len(END):]
    elif text.startswith("# Benchmark results\n"):
        text = "# Benchmark results\n\n" + md + "\n" + text[len("# Benchmark results\n"):].lstrip("\n")
    else:
        text = "# Benchmark results\n\n" + md + "\n"
    with open(args.out, "w", encoding="utf-8") as f:
        f.write(text)
    print("written to %s" % args.out)


if __name__ == "__main__":
    main()
