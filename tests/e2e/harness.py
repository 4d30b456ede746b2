"""Drives the built qbxsolo program the way a participant does: a private Xvfb
screen, real X input through xdotool, screenshots through ImageMagick, and the
two event logs it writes into dataout/.

The Windows build (qbxsolo.exe) is driven the same way under Wine: use_wine()
makes every later Session start the program with wine64 in a Wine prefix of
the harness's own (WinePrefix), on the same private screen.

No window manager runs on the private screen unless a scenario asks for one
(Session(wm=True) starts openbox, Session(wm="xfwm4") another of
WINDOW_MANAGERS, to try what a window manager lets a participant do): the table window places and sizes itself (over the whole
screen), the login
and the message boxes come up centred, and nothing reparents or decorates
them, so the client origin that xwininfo reports is where the program put the
window. The one thing a window manager would give us, the keyboard focus, is
taken explicitly with `xdotool windowfocus --sync` before every key press
(the login's code box, the message boxes); without that X drops the keys.
"""

import hashlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = os.path.join(ROOT, "examples", "setup")

SCREEN_W, SCREEN_H = 1024, 768
CARD_W, CARD_H = 75, 107

# Card places by position code, relative to the anchor (A, B).
PLACE_OFFSETS = {
    0: (0, 0),      # colorCardView
    5: (152, 0),    # targetCardView
    4: (312, 0),    # numberCardView
    1: (24, 144),   # downColorCardView
    2: (152, 144),  # upCardView
    3: (280, 144),  # downNumberCardView
    6: (152, -184), # deck
}
POSITION_CODES = {
    "colorCardView": 0, "downColorCardView": 1, "upCardView": 2,
    "downNumberCardView": 3, "numberCardView": 4, "targetCardView": 5,
}
PASS_BUTTON = (480, 192, 169, 49)
HELP_BUTTON = (480, 136, 169, 49)
LOGIN_CODE_BOX = (104, 104, 217, 32)
LOGIN_OK = (104, 240, 233, 81)
HELP_CLOSE = (216, 560, 289, 65)

GREEN = (0, 128, 0)
GREY = (128, 128, 128)
AQUA = (0, 255, 255)



# The window managers a session can run, each with its own command line: no
# session manager, no compositor, no user configuration (HOME is private).
WINDOW_MANAGERS = {
    "openbox": ["openbox", "--sm-disable"],
    # xfwm4 reads its settings through xfconfd, which a session bus starts
    # (the session's own: Session.start_bus).
    "xfwm4": ["xfwm4", "--compositor=off", "--sm-client-disable"],
    "metacity": ["metacity", "--no-composite"],
    "icewm": ["icewm"],
}
# Virtual desktops under each: one to switch to and to send a window to.
WM_DESKTOPS = 4


def stop_process(proc, grace=5):
    """Ends a process this harness started: asked first, killed if it lingers."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()

class E2EFailure(AssertionError):
    """A check on the program's behaviour failed."""


class Skipped(Exception):
    """The scenario cannot run here (said why in its message)."""


def check(condition, message):
    if not condition:
        raise E2EFailure(message)


def wait_for(predicate, timeout, what, interval=0.02, alive=None):
    """Polls predicate() until it returns a true value; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if alive is not None:
            alive()
        if time.monotonic() > deadline:
            raise E2EFailure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# ---------------------------------------------------------------------------
# Wine: the Windows build on the same screens

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"

# Wine has no Tahoma, the face behind "MS Shell Dlg", so message boxes and
# dialogs would fall back to a serif face.
FONT_SUBSTITUTES_REG = (
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n"
    "\"MS Shell Dlg\"=\"Liberation Sans\"\r\n"
    "\"MS Shell Dlg 2\"=\"Liberation Sans\"\r\n"
    "\"Tahoma\"=\"Liberation Sans\"\r\n")


def windows_path(path):
    """A Linux path as Wine's programs name it (the Linux root is Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WinePrefix:
    """A Wine prefix of our own: made with wineboot, its fonts substituted,
    and then reused by every run of a Windows program in it."""

    def __init__(self, path):
        self.path = os.path.abspath(path)

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env.update(WINEPREFIX=self.path, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        return env

    def ready(self):
        return os.path.exists(os.path.join(self.path, ".qbx-ready"))

    def _run(self, args, log, timeout):
        # No display: nothing here shows a window, and none is left waiting
        # for a server that is gone.
        env = self.env()
        env.pop("DISPLAY", None)
        r = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=timeout)
        if r.returncode != 0:
            raise E2EFailure("%s failed with status %d in the Wine prefix %s" % (" ".join(args), r.returncode,
                                                                                  self.path))

    def make(self, log_path=None, fresh=True):
        """Makes the prefix (a first start takes 10 to 20 s) and waits until
        Wine has finished with it. An existing prefix that was made whole is
        kept unless fresh."""
        if self.ready() and not fresh:
            return self
        self.kill()
        shutil.rmtree(self.path, ignore_errors=True)
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        log = open(log_path, "ab") if log_path else subprocess.DEVNULL
        try:
            self._run([WINE64, "wineboot", "-i"], log, 120)
            self.wait()
            reg = os.path.join(self.path, "qbx-fonts.reg")
            with open(reg, "w", newline="") as f:
                f.write(FONT_SUBSTITUTES_REG)
            self._run([WINE64, "regedit", "/S", windows_path(reg)], log, 60)
            self.wait()
        finally:
            if log is not subprocess.DEVNULL:
                log.close()
        with open(os.path.join(self.path, "system.reg"), "rb") as f:
            check(b'"MS Shell Dlg"="Liberation Sans"' in f.read(), "the font substitutes are not in the prefix")
        open(os.path.join(self.path, ".qbx-ready"), "w").close()
        return self

    def wait(self, timeout=60):
        """Waits for the prefix's wineserver to end (it does when the last
        Wine process has gone, after a few seconds)."""
        subprocess.run([WINESERVER, "-w"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)

    def kill(self):
        """Ends every Wine process of the prefix, the desktop process bound
        to a screen that is about to go among them."""
        if not os.path.isdir(self.path):
            return
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait()


_wine = None


def use_wine(prefix):
    """Every Session from now on runs its program under Wine in prefix (None:
    natively again)."""
    global _wine
    _wine = prefix


def under_wine():
    return _wine is not None


# The replay's check: a program that plays a session's logs again and
# prints the table after each action (tests/replay/replay_states.cpp), or
# None. With it, every native session writes its table after each call that
# wrote records (QBX_STATE_FILE), and a session that ends on its own is
# played again from its logs: the two must agree at every action.
_replay_states = None


def use_replay_states(program):
    global _replay_states
    _replay_states = program


def _arrived(states):
    """A table's states with every gliding card at the place it glides to."""
    return states.replace(b" gliding to ", b" at ")


def check_replay_of(session):
    """The replay of a session's logs shows the live table at every action."""
    states = session.state_file
    if not states or not os.path.exists(states) or session.exit_status != 0:
        return
    logs = [os.path.join(session.dataout(), n) for n in session.log_files()]
    ck = [p for p in logs if os.path.basename(p).startswith("ck")]
    nk = [p for p in logs if os.path.basename(p).startswith("nk")]
    if len(ck) != 1 or len(nk) != 1:
        return
    record = os.path.join(session.dataout(), "run" + os.path.basename(ck[0])[2:-4] + ".json")
    # Only a game its record says was played to its end: a session stopped
    # by a failure may hold an action in one log and not in the other, and
    # one on a nearly full disk has no record (the logs keep the room).
    if not os.path.exists(record):
        return
    with open(record, encoding="utf-8") as f:
        run = json.load(f)
    if (run.get("end") or {}).get("how") != "game ended":
        return
    width, height = run["system"]["screen"]["width"], run["system"]["screen"]["height"]
    r = subprocess.run([_replay_states, session.workdir, ck[0], nk[0], str(width), str(height)],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    with open(states, "rb") as f:
        live = f.read()
    # Whether a card told to glide has arrived when a box closes depends on
    # how many ticks a loaded machine gave its timer; where it goes does not.
    if r.returncode != 0 or _arrived(r.stdout) != _arrived(live):
        with open(states + ".replayed", "wb") as f:
            f.write(r.stdout)
        live_parts = live.decode("latin-1").split("--- ")
        replayed_parts = r.stdout.decode("latin-1").split("--- ")
        where = next((k for k in range(min(len(live_parts), len(replayed_parts)))
                      if live_parts[k] != replayed_parts[k]), min(len(live_parts), len(replayed_parts)))
        raise E2EFailure("the replay of %s differs from the live table (status %d) at action %d of %d/%d; %s; "
                         "see %s and %s.replayed" % (os.path.basename(ck[0]), r.returncode, where - 1,
                                                     len(live_parts) - 1, len(replayed_parts) - 1,
                                                     r.stderr.decode("latin-1").strip()[:400], states, states))


# ---------------------------------------------------------------------------
# The X server


def _lock_owner(display):
    """The process id in the lock file of an X display, or None."""
    try:
        with open("/tmp/.X%d-lock" % display) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


class Xvfb:
    """A private X server on the first free display from 81 to 99."""

    def __init__(self, log_path=None, screen=(SCREEN_W, SCREEN_H)):
        self.proc = None
        self.display = None
        self.log_path = log_path
        self.screen = screen

    def start(self):
        for n in range(81, 100):
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            err = open(self.log_path, "ab") if self.log_path else subprocess.DEVNULL
            # -noreset: by default the server resets when its last client
            # leaves, so the program could find it resetting right after the
            # readiness probe below has disconnected.
            proc = subprocess.Popen(
                ["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % self.screen, "-nolisten", "tcp",
                 "-noreset"],
                stdin=subprocess.DEVNULL, stdout=err, stderr=err)
            if err is not subprocess.DEVNULL:
                err.close()
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline:
                if proc.poll() is not None:
                    break  # lost the display to someone else: try the next one
                ok = subprocess.run(["xdpyinfo", "-display", ":%d" % n],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
                # A server answers; it is ours only when the display's lock
                # names our process: another run starting at the same moment
                # may have won the display while ours is still giving up.
                owner = _lock_owner(n) if ok else None
                if owner == proc.pid:
                    self.proc, self.display = proc, ":%d" % n
                    return self
                if owner is not None:
                    break
                time.sleep(0.03)
            if proc.poll() is None:
                proc.terminate()
                proc.wait()
        raise RuntimeError("no free X display between :81 and :99")

    def stop(self):
        stop_process(self.proc)
        self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


# ---------------------------------------------------------------------------
# Screenshots


class Shot:
    """A screenshot of the whole screen as 8-bit RGB."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop_bytes(self, x, y, w, h):
        rows = []
        for yy in range(max(0, y), min(self.height, y + h)):
            i = (yy * self.width + max(0, x)) * 3
            rows.append(self.data[i:i + 3 * w])
        return b"".join(rows)

    def fractions(self, x, y, w, h, step=2):
        """Shares of white, blue and red pixels in a rectangle."""
        white = blue = red = total = 0
        for yy in range(y, y + h, step):
            for xx in range(x, x + w, step):
                if not (0 <= xx < self.width and 0 <= yy < self.height):
                    continue
                r, g, b = self.pixel(xx, yy)
                total += 1
                if r >= 250 and g >= 250 and b >= 250:  # card white, not the grey window
                    white += 1
                elif b > 90 and b > r + 50 and b > g + 30:
                    blue += 1
                elif r > 150 and g < 90 and b < 90:
                    red += 1
        total = max(total, 1)
        return white / total, blue / total, red / total


def parse_ppm(raw):
    # P6\n<w> <h>\n<max>\n<data>; ImageMagick writes no comments.
    parts = raw.split(b"\n", 3)
    check(parts[0] == b"P6", "screenshot is not a binary PPM")
    w, h = (int(v) for v in parts[1].split())
    check(int(parts[2]) == 255, "screenshot is not 8-bit")
    return Shot(w, h, parts[3][:w * h * 3])


# ---------------------------------------------------------------------------
# Setup directories


def write_ini(path, section, values):
    with open(path, "w", newline="\r\n") as f:
        f.write("[%s]\n" % section)
        for key, value in values.items():
            f.write("%s=%s\n" % (key, value))


BASE_PARAMETERS = {
    "ShoeFileName": "shoe.txt",
    "MaxRounds": "12",
    "PremiumRound": "2000",
    "CostMove": "100",
    "ViewCard": "ALL",
    "FileBackCard": "back.bmp",
    "ViewTarget": "TRUE",
    "ViewCkNk": "TRUE",
    "SyntaxInput": "DEFAULT",
    "FileMessages": "messages.ini",
    "parX": "200",
    "parY": "64",
    "Drag CkNk": "TRUE",
    "File Texture": "NO",
}

MESSAGES = """[MESSAGES]
Header=Messages
IncorrectMove=Not allowed
HandOver=Hand over
ForcedHandOver=Move limit reached
ForcedPassHandOver=Four passes
GameOver=Game over
TotMove=Moves
HandNumber=Hand
HandEnded=Hand ended
GameEnded=Game ended, thank you
LabelCode=CODE
[RULES]
Header=Rules
Block1CK=ck rules
Block1NK=nk rules
[TURNINDICATOR]
Header=turn
CkTurn=ColorKeeper
NkTurn=NumberKeeper
[BUTTON]
Help=Help
Step=Pass
[CARD]
Ck=Colour
Nk=Number
T=Target
"""


def make_workdir(parent, name, parameters=None, shoe=None, messages=MESSAGES,
                 dataout=True, back_bytes=None, shoe_name="shoe.txt"):
    """A fresh working directory: setup/ (parameters, catalogue, shoe, the
    example back and help page) and, unless told otherwise, dataout/."""
    work = os.path.join(parent, name)
    if os.path.exists(work):
        shutil.rmtree(work)
    setup = os.path.join(work, "setup")
    os.makedirs(setup)
    params = dict(BASE_PARAMETERS)
    params.update(parameters or {})
    write_ini(os.path.join(setup, "QBXParameter.ini"), "PARAMETER", params)
    with open(os.path.join(setup, "messages.ini"), "w", newline="\r\n") as f:
        f.write(messages)
    if shoe is not None:
        with open(os.path.join(setup, shoe_name), "w", newline="\r\n") as f:
            f.write("hands of this run\n")
            for line in shoe:
                f.write(line + "\n")
    if back_bytes is None:
        shutil.copy(os.path.join(EXAMPLES, "back.bmp"), setup)
    else:
        with open(os.path.join(setup, params["FileBackCard"]), "wb") as f:
            f.write(back_bytes)
    for extra in ("help.html", "help_table.png"):
        src = os.path.join(EXAMPLES, extra)
        if os.path.exists(src):
            shutil.copy(src, setup)
    if dataout:
        os.makedirs(os.path.join(work, "dataout"))
    return work


def tree_listing(path):
    """Every file below path with its size, for before/after comparisons."""
    out = {}
    for dirpath, _dirs, files in os.walk(path):
        for f in files:
            full = os.path.join(dirpath, f)
            out[os.path.relpath(full, path)] = os.path.getsize(full)
    return out


# ---------------------------------------------------------------------------
# The program


class Session:
    """One run of the program in a working directory on a private screen."""

    def __init__(self, program, workdir, outdir, name, parX=200, parY=64, screen=(SCREEN_W, SCREEN_H),
                 wm=False, env=None, wm_config=None, wine=None, preexec=None):
        self.program = program
        self.workdir = workdir
        self.outdir = outdir
        self.name = name
        self.parX, self.parY = parX, parY
        self.screen = screen
        self.xvfb = Xvfb(os.path.join(outdir, name + ".xvfb.log"), screen)
        self.wm = wm
        # An openbox rc.xml of its own (a theme, a font), or None for none.
        self.wm_config = wm_config
        self.wm_proc = None
        self.bus_proc = None
        self.extra_env = env or {}
        # Device pixels per layout pixel (Qt's scale factor): the login's
        # controls lie this many times further from its corner.
        self.scale = 1
        self.proc = None
        self.runtime_dir = None
        self.env = None
        self.login_wid = None
        self.table_wid = None
        self.origin = (0, 0)
        self.exit_status = None
        self.wine = wine if wine is not None else _wine
        self.state_file = None
        # Run in the program's process before exec (signal dispositions,
        # resource limits): what a shell or a launcher would leave it.
        self.preexec = preexec

    # -- processes ----------------------------------------------------------

    def start(self):
        self.xvfb.start()
        self.runtime_dir = tempfile.mkdtemp(prefix="qbx-e2e-rt-")
        os.chmod(self.runtime_dir, 0o700)
        env = dict(os.environ)
        env.update(DISPLAY=self.xvfb.display, XDG_RUNTIME_DIR=self.runtime_dir,
                   QT_QPA_PLATFORM="xcb")
        if _replay_states and self.wine is None:
            self.state_file = os.path.join(self.outdir, self.name + ".states")
            if os.path.exists(self.state_file):
                os.remove(self.state_file)
            env["QBX_STATE_FILE"] = self.state_file
        env.update(self.extra_env)
        self.env = env
        if self.wm:
            try:
                self.start_wm()
            except E2EFailure:
                self.stop()  # __exit__ does not run for a failed start
                raise
        command = [self.program]
        if self.wine is not None:
            # wine64 runs the program in its own process, whose exit status
            # is the program's.
            env = self.env = self.wine.env(env)
            command = [WINE64, self.program]
        out = open(os.path.join(self.outdir, self.name + ".program.out"), "wb")
        self.proc = subprocess.Popen(command, cwd=self.workdir, env=env, preexec_fn=self.preexec,
                                     stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        out.close()
        return self

    def start_wm(self):
        """The window manager on the private screen, with WM_DESKTOPS
        virtual desktops; ready once it owns the screen's window manager
        selection (it then sets _NET_SUPPORTING_WM_CHECK)."""
        name = "openbox" if self.wm is True else self.wm
        log = open(os.path.join(self.outdir, "%s.%s.log" % (self.name, name)), "wb")
        wm_env = dict(self.env)
        wm_env["HOME"] = self.runtime_dir  # no user configuration: the default theme and bindings
        wm_env["XDG_CONFIG_HOME"] = os.path.join(self.runtime_dir, "config")
        wm_env["GSETTINGS_BACKEND"] = "memory"  # metacity: its defaults, no settings daemon
        wm_env["NO_AT_BRIDGE"] = "1"  # no accessibility bus, which would outlive the session
        if name == "xfwm4":
            wm_env["DBUS_SESSION_BUS_ADDRESS"] = self.start_bus(wm_env)
        args = list(WINDOW_MANAGERS[name])
        if self.wm_config:
            args += ["--config-file", self.wm_config]
        self.wm_proc = subprocess.Popen(args, env=wm_env,
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()

        def ready():
            r = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK", "_NET_NUMBER_OF_DESKTOPS"],
                               env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            return b"window id" in r.stdout and b"_NET_NUMBER_OF_DESKTOPS(CARDINAL)" in r.stdout
        wait_for(ready, 10.0, "%s to manage the screen" % name)
        subprocess.run(["wmctrl", "-n", str(WM_DESKTOPS)], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start_bus(self, env):
        """A session bus of the session's own, ended with it (and with it
        what it started, xfconfd); returns its address."""
        self.bus_proc = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=env,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        address = self.bus_proc.stdout.readline().decode().strip()
        check(address.startswith("unix:"), "no session bus for the window manager: %r" % address)
        return address

    def stop(self):
        stop_process(self.proc)
        if self.wine is not None:
            # Wine's desktop process stays bound to this screen: end it with
            # the screen, so that the next session starts on its own.
            self.wine.kill()
        stop_process(self.wm_proc)
        self.wm_proc = None
        stop_process(self.bus_proc)
        self.bus_proc = None
        self.xvfb.stop()
        if self.runtime_dir:
            shutil.rmtree(self.runtime_dir, ignore_errors=True)
            self.runtime_dir = None

    def __enter__(self):
        return self.start()

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            self.collect(self.name + "-fail")
        self.stop()
        if exc_type is None:
            check_replay_of(self)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def assert_running(self):
        if not self.running():
            raise E2EFailure("the program ended unexpectedly with status %s" % self.proc.returncode)

    def wait_exit(self, timeout=5.0):
        try:
            self.exit_status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure("the program did not end within %.1f s" % timeout)
        return self.exit_status

    # -- X helpers ----------------------------------------------------------

    def x(self, *args, check_rc=True):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        if check_rc and r.returncode != 0:
            raise E2EFailure("xdotool %s failed: %s" % (" ".join(map(str, args)), r.stderr.decode().strip()))
        return r.stdout.decode()

    def visible_windows(self, name_regex):
        out = self.x("search", "--onlyvisible", "--name", name_regex, check_rc=False)
        return [int(w) for w in out.split()]

    def find_window(self, name_regex, timeout=10.0, exclude=()):
        def probe():
            ws = [w for w in self.visible_windows(name_regex) if w not in exclude]
            return ws[0] if ws else None
        return wait_for(probe, timeout, "a window named %s" % name_regex, alive=self.assert_running)

    def geometry(self, wid):
        out = subprocess.run(["xwininfo", "-id", str(wid)], env=self.env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout.decode()
        def field(label):
            m = re.search(r"%s:\s*(-?\d+)" % label, out)
            check(m is not None, "xwininfo gives no %s for window %s" % (label, wid))
            return int(m.group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def screenshot(self):
        r = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        check(r.returncode == 0, "import failed: %s" % r.stderr.decode().strip())
        return parse_ppm(r.stdout)

    def save_screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # -- login --------------------------------------------------------------

    def wait_login(self):
        self.login_wid = self.find_window("^QBX$")
        return self.login_wid

    def submit_code(self, code):
        wid = self.login_wid or self.wait_login()
        self.x("windowfocus", "--sync", wid)
        cx = (LOGIN_CODE_BOX[0] + LOGIN_CODE_BOX[2] // 2) * self.scale
        cy = (LOGIN_CODE_BOX[1] + LOGIN_CODE_BOX[3] // 2) * self.scale
        self.x("mousemove", "--window", wid, cx, cy, "click", "1")
        if code:
            self.x("type", "--delay", "15", code)
        ox = (LOGIN_OK[0] + LOGIN_OK[2] // 2) * self.scale
        oy = (LOGIN_OK[1] + LOGIN_OK[3] // 2) * self.scale
        self.x("mousemove", "--window", wid, ox, oy, "click", "1")

    def login(self, code):
        """Types the code, presses OK and waits for the table window."""
        self.wait_login()
        self.submit_code(code)
        return self.wait_table()

    def wait_table(self, timeout=10.0):
        self.table_wid = self.find_window("^QBX$", timeout, exclude=(self.login_wid,))
        self.read_origin()
        return self.table_wid

    def read_origin(self):
        """The table's client origin on the screen. Under Wine the table is
        first mapped where Windows puts a new window and then maximised below
        the room of its caption (which no window manager draws), so the
        origin is read again at every deal."""
        gx, gy, _w, _h = self.geometry(self.table_wid)
        self.origin = (gx, gy)
        return self.origin

    # -- table geometry -----------------------------------------------------

    @property
    def anchor(self):
        return int(self.screen[0] / 2 - self.parX), int(self.screen[1] / 2 - self.parY)

    def place(self, pos):
        """Client top-left of the card at position code pos."""
        a, b = self.anchor
        dx, dy = PLACE_OFFSETS[pos]
        return a + dx, b + dy

    def card_centre(self, pos):
        x, y = self.place(pos)
        return x + CARD_W // 2, y + CARD_H // 2

    def button_centre(self, button):
        a, b = self.anchor
        dx, dy, w, h = button
        return a + dx + w // 2, b + dy + h // 2

    def to_screen(self, cx, cy):
        return cx + self.origin[0], cy + self.origin[1]

    # -- input on the table -------------------------------------------------

    def click(self, point, button=1):
        self.x("mousemove", "--window", self.table_wid, point[0], point[1], "sleep", "0.03",
               "click", button)

    def press(self, point, button):
        self.x("mousemove", "--window", self.table_wid, point[0], point[1], "sleep", "0.03",
               "mousedown", button)

    def release(self, button):
        self.x("mouseup", button)

    def drag(self, start, end, steps=6, hold=None):
        """Left-button drag from start to end (client points). hold(), when
        given, runs while the button is still down over end."""
        args = ["mousemove", "--window", self.table_wid, start[0], start[1], "sleep", "0.05",
                "mousedown", "1"]
        for i in range(1, steps + 1):
            px = start[0] + (end[0] - start[0]) * i // steps
            py = start[1] + (end[1] - start[1]) * i // steps
            args += ["sleep", "0.05", "mousemove", "--window", self.table_wid, px, py]
        args += ["sleep", "0.08"]
        self.x(*args)
        try:
            if hold is not None:
                hold()
        finally:
            self.x("mouseup", "1")

    def drag_card(self, from_pos, to_pos, hold=None):
        self.drag(self.card_centre(from_pos), self.card_centre(to_pos), hold=hold)

    def pass_turn(self):
        self.click(self.button_centre(PASS_BUTTON))

    def play_example_first_hand(self):
        """The first hand of the example shoe, from the end of its deal: it
        gives the ColorKeeper 2H, with 3H at the Target and 2H as the goal.
        Both roles pass, then the ColorKeeper lays its 2H on the Target and
        the hand ends on its goal: 17 lines in the ColorKeeper's log."""
        self.pass_turn()
        self.wait_lines("ck", 12)
        self.pass_turn()
        self.wait_lines("ck", 13)
        self.drag_card(0, 5)
        self.wait_lines("ck", 17)

    # -- what the table shows -----------------------------------------------

    def frame_pen(self, shot, pos):
        """Colour of the frame around position pos, read on its left and top
        bands; None when the two do not agree."""
        x, y = self.to_screen(*self.place(pos))
        fx, fy = x - 8, y - 8
        left = shot.pixel(fx + 1, fy + 60)
        top = shot.pixel(fx + 44, fy + 1)
        return left if left == top else None

    def card_kind(self, shot, pos):
        """'face' (mostly white), 'back' (mostly blue) or 'none'."""
        return self.kind_at(shot, self.place(pos))

    def held_kind(self, shot, pointer):
        """What lies where a card held at pointer (a client point) is drawn:
        25 pixels left of the pointer and 40 above it."""
        return self.kind_at(shot, (pointer[0] - 25, pointer[1] - 40))

    def kind_at(self, shot, top_left):
        """card_kind of the card-sized rectangle at a client top-left."""
        x, y = self.to_screen(*top_left)
        white, blue, _red = shot.fractions(x + 4, y + 4, CARD_W - 8, CARD_H - 8)
        if white > 0.55:
            return "face"
        if blue > 0.35:
            return "back"
        return "none"

    def wait_still(self, timeout=3.0):
        """Waits until two screenshots in a row are the same: no glide is
        running any more (a card gliding back from the buttons moves outside
        the card area, so the whole screen is compared)."""
        last = self.screenshot().data
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            time.sleep(0.04)
            now = self.screenshot().data
            if now == last:
                return
            last = now
        raise E2EFailure("the screen kept changing for %.1f s" % timeout)

    def wait_ready(self, turn, deal_number=None, timeout=8.0):
        """Waits for the end of a deal: the deal records are in the log (when
        deal_number is given), the Target shows a face and the frame of the
        role in turn is green."""
        if deal_number is not None:
            wait_for(lambda: count_prefixed(self.ck_lines(), "GC:") >= 6 * deal_number,
                     timeout, "deal %d in the ColorKeeper's log" % deal_number,
                     interval=0.03, alive=self.assert_running)
        hand = 0 if turn == "ck" else 4

        def ready():
            self.read_origin()
            shot = self.screenshot()
            return shot if (self.card_kind(shot, 5) == "face"
                            and self.frame_pen(shot, hand) == GREEN) else None
        shot = wait_for(ready, timeout, "the table to show the dealt hand", interval=0.03,
                        alive=self.assert_running)
        self.wait_still()
        return shot

    # -- message boxes and other windows ------------------------------------

    def wait_box(self, timeout=8.0):
        return self.find_window("^QBXSolo$", timeout)

    def dismiss_box(self, timeout=8.0, attempts=4):
        """Finds the message box, checks its caption and presses Return.
        Return is pressed again (up to `attempts` times) while the same box
        stays up: a box that opens during a glide takes no input until the
        glide is over (the box_during_glide scenario tracks that fault)."""
        wid = self.wait_box(timeout)
        title = self.x("getwindowname", wid).strip()
        check(title == "QBXSolo", "message box caption is %r" % title)
        for attempt in range(attempts):
            self.x("windowfocus", "--sync", wid, check_rc=False)
            self.x("key", "Return", check_rc=False)
            try:
                wait_for(lambda: wid not in self.visible_windows("^QBXSolo$"), 1.0,
                         "the message box to close")
                return wid
            except E2EFailure:
                if attempt == attempts - 1:
                    raise
        return wid

    # -- logs ---------------------------------------------------------------

    def dataout(self):
        return os.path.join(self.workdir, "dataout")

    def log_files(self):
        """The event logs in dataout (the run record and the saved setups
        beside them left out)."""
        d = self.dataout()
        if not os.path.isdir(d):
            return []
        return sorted(n for n in os.listdir(d) if re.match(r"^(ck|nk).*\.txt$", n))

    def _log(self, prefix):
        names = [n for n in self.log_files() if n.startswith(prefix)]
        if not names:
            return None
        check(len(names) == 1, "more than one %s log: %s" % (prefix, names))
        with open(os.path.join(self.dataout(), names[0]), "rb") as f:
            return f.read()

    def ck_raw(self):
        return self._log("ck") or b""

    def nk_raw(self):
        return self._log("nk") or b""

    def ck_lines(self):
        return split_log(self.ck_raw())

    def nk_lines(self):
        return split_log(self.nk_raw())

    def wait_lines(self, which, count, timeout=5.0):
        get = self.ck_lines if which == "ck" else self.nk_lines
        return wait_for(lambda: len(get()) >= count and get(), timeout,
                        "%d lines in the %s log" % (count, which), interval=0.03)

    def collect(self, tag):
        """Copies both logs and a screenshot into the output directory."""
        for n in self.log_files():
            shutil.copy(os.path.join(self.dataout(), n),
                        os.path.join(self.outdir, "%s.%s" % (tag, n)))
        if self.xvfb.proc is not None and self.xvfb.proc.poll() is None:
            self.save_screenshot(os.path.join(self.outdir, tag + ".png"))


# ---------------------------------------------------------------------------
# Logs: text and time stamps

STAMP = re.compile(rb"(0|[1-9][0-9]*)\.(0|[1-9][0-9]*):")
ANY_STAMP = re.compile(r"^(\d+)\.(\d+):")


def split_log(raw):
    """Lines of a log, each of which must end in CR LF. A last line still
    being written (no CR LF yet) is left out."""
    if not raw:
        return []
    parts = raw.split(b"\r\n")
    complete = parts[:-1]
    for p in complete:
        check(b"\n" not in p and b"\r" not in p, "a log line with a stray CR or LF: %r" % p)
    return [p.decode("latin-1") for p in complete]


def leading_stamps(line):
    """(list of (seconds, ms) stamps at the start of line, rest of line)."""
    stamps = []
    rest = line
    while True:
        m = ANY_STAMP.match(rest)
        if not m:
            break
        check(m.group(1) == str(int(m.group(1))) and m.group(2) == str(int(m.group(2))),
              "time stamp with a leading zero in %r" % line)
        stamps.append((int(m.group(1)), int(m.group(2))))
        rest = rest[m.end():]
    return stamps, rest


def masked(line):
    stamps, rest = leading_stamps(line)
    return "<T>" * len(stamps) + rest


def count_prefixed(lines, code):
    return sum(1 for l in lines if leading_stamps(l)[1].startswith(code))


def compare_text(actual_lines, expected, label):
    """Line-by-line comparison of a log, stamps masked, with a readable diff."""
    got = [masked(l) for l in actual_lines]
    if got == expected:
        return
    out = ["%s log differs from the expected text:" % label]
    for i in range(max(len(got), len(expected))):
        g = got[i] if i < len(got) else "<missing>"
        e = expected[i] if i < len(expected) else "<missing>"
        mark = "  " if g == e else "!!"
        out.append("%s %2d got  %s" % (mark, i + 1, g))
        if g != e:
            out.append("%s %2d want %s" % (mark, i + 1, e))
    raise E2EFailure("\n".join(out))


def _value(stamp):
    return stamp[0] * 1000 + stamp[1]


HAND_END = re.compile(r"^G[EPM]:\d+;-?[0-9.]+:Hand Ended$")
DAY_MS = 86400 * 1000


def check_stamps(ck_lines, nk_lines):
    """The relations between time stamps that hold in every run."""
    parsed = {}
    for label, lines in (("ck", ck_lines), ("nk", nk_lines)):
        rows = [leading_stamps(l) for l in lines]
        parsed[label] = rows
        check(len(rows) >= 5, "%s log has fewer than 5 lines" % label)
        t0 = rows[0][0]
        check(len(t0) == 1, "%s: header line 1 should carry one stamp" % label)
        for i in range(4):
            check(rows[i][0] == t0, "%s: header line %d does not carry T0 %s" % (label, i + 1, t0))
        gs = rows[4][0]
        check(len(gs) == 2 and gs[0] == gs[1], "%s: GS line should carry one stamp twice" % label)
        check(_value(gs[0]) >= _value(t0[0]), "%s: GS stamp before the header's" % label)

        prev = None
        i = 0
        while i < len(rows):
            stamps, rest = rows[i]
            if rest.startswith("GC:"):
                block = rows[i:i + 6]
                check(len(block) == 6 and all(r[1].startswith("GC:") for r in block),
                      "%s: deal records at line %d do not come six together" % (label, i + 1))
                sec = block[0][0][0][0]
                base = block[0][0][0][1] - 1
                for k, (st, _r) in enumerate(block, start=1):
                    check(len(st) == 2 and st[0] == st[1],
                          "%s: deal record %d of line %d needs one stamp twice" % (label, k, i + 1))
                    check(st[0] == (sec, base + k),
                          "%s: deal record %d at line %d has stamp %s, want %d.%d"
                          % (label, k, i + k, st[0], sec, base + k))
                check(0 <= base <= 999, "%s: deal stamp base out of range" % label)
                values = [_value(b[0][0]) - (k + 1) for k, b in enumerate(block)]
                i += 6
            elif HAND_END.match(rest):
                check(len(stamps) == 2, "%s: hand-end line %d needs two stamps" % (label, i + 1))
                check(_value(stamps[0]) >= _value(stamps[1]),
                      "%s: hand-end line %d: the first stamp is built last, so not earlier" % (label, i + 1))
                check(_value(stamps[0]) - _value(stamps[1]) < 1000,
                      "%s: hand-end stamps %s far apart" % (label, stamps))
                values = [_value(stamps[1]), _value(stamps[0])]
                i += 1
            elif rest == ":Hand Ended" or rest == ":gameDone":
                check(len(stamps) == 1, "%s: line %d needs one stamp" % (label, i + 1))
                values = [_value(stamps[0])]
                i += 1
            elif rest.startswith("TotalMove:"):
                check(not stamps, "%s: TotalMove carries a stamp" % label)
                values = []
                i += 1
            else:
                if i >= 4:
                    check(len(stamps) == 2 and stamps[0] == stamps[1],
                          "%s: line %d should carry one stamp twice: %r" % (label, i + 1, rest))
                values = [_value(s) for s in stamps]
                i += 1
            for v in values:
                if prev is not None and v < prev:
                    # Only a run across midnight may go back.
                    check(prev > DAY_MS - 600000 and v < 600000,
                          "%s: time stamps go back (%d after %d) near line %d" % (label, v, prev, i))
                prev = v

    # Records of one event in both logs share one clock reading.
    def paired(rows, codes):
        return [r[0] for r in rows if r[1].split(":", 1)[0] in codes]
    for codes in (("GS",), ("PM", "RM", "PP", "RP")):
        a, b = paired(parsed["ck"], codes), paired(parsed["nk"], codes)
        check(len(a) == len(b), "the logs hold different numbers of %s records" % "/".join(codes))
        check(a == b, "paired %s records carry different stamps in the two logs" % "/".join(codes))
    deals_ck = [r[0] for r in parsed["ck"] if r[1].startswith("GC:")]
    deals_nk = [r[0] for r in parsed["nk"] if r[1].startswith("GC:")]
    check(deals_ck == deals_nk, "the deal records carry different stamps in the two logs")
    ends = [[r[0] for r in parsed[l] if r[1] in ("GE::Game ended due to exhaustion of shoe", ":gameDone")]
            for l in ("ck", "nk")]
    flat = [s for group in ends for st in group for s in st]
    check(len(set(flat)) <= 1, "the game-end records use more than one clock reading: %s" % flat)


# ---------------------------------------------------------------------------
# Expected log text (stamps masked as <T>)

DEFAULT_ORDER = ["downColorCardView", "colorCardView", "upCardView",
                 "targetCardView", "downNumberCardView", "numberCardView"]
CIRCULAR_ORDER = ["numberCardView", "downNumberCardView", "upCardView",
                  "downColorCardView", "colorCardView", "targetCardView"]
DEAL_RECORD_ORDER = ["numberCardView", "downNumberCardView", "upCardView",
                     "downColorCardView", "colorCardView", "targetCardView"]


def deal_of(shoe_line, circular=False):
    """Where the six cards of a shoe line lie: {position name: card text}."""
    cards = shoe_line.split()[:6]
    order = CIRCULAR_ORDER if circular else DEFAULT_ORDER
    return dict(zip(order, cards))


def header(role, code):
    return ["<T>TF:%s" % role.upper(), "<T>Game begins",
            "<T>userID:userName %s   :gameNum -1:partner 1" % code,
            "<T>errorsMade 0:score 0:row 0column 0", "<T><T>GS:;Game started;;"]


def deal_records(layout):
    return ["<T><T>GC:%s;%s:Card dealt" % (layout[p], p) for p in DEAL_RECORD_ORDER]


def move_records(mover, card_a, pos_a, card_b, pos_b):
    """{log: line} for a move; pos_* are long position names."""
    body = "%s;%s;%s;%s" % (card_a, pos_a, card_b, pos_b)
    own = "<T><T>PM:%s:%s moved card" % (body, "Color Keeper" if mover == "ck" else "Number Keeper")
    other = "<T><T>RM:%s:Remote move card" % body
    return {mover: own, ("nk" if mover == "ck" else "ck"): other}


def pass_records(passer):
    own = "<T><T>PP::%s passed turn:;;;" % ("Colorkeeper" if passer == "ck" else "Numberkeeper")
    return {passer: own, ("nk" if passer == "ck" else "ck"): "<T><T>RP::Remote pass received:;;;"}


def pickup_record(role, card, pos):
    keeper = "ColorKeeper" if role == "ck" else "NumberKeeper"
    return "<T><T>pR:%s:%s:%sRemoved card" % (card, pos, keeper)


def look_record(role):
    keeper = "ColorKeeper" if role == "ck" else "NumberKeeper"
    return "<T><T>pL::%s looked at hand card" % keeper


def hand_end_records(code, ck_moves, nk_moves, score):
    return {"ck": ["<T><T>%s%d;%s:Hand Ended" % (code, ck_moves, score), "<T>:Hand Ended"],
            "nk": ["<T><T>%s%d;%s:Hand Ended" % (code, nk_moves, score), "<T>:Hand Ended"]}


def game_end_records(total):
    return ["<T><T>GE::Game ended due to exhaustion of shoe", "<T>:gameDone", "TotalMove:%d" % total]


class Expected:
    """Builds the expected text of both logs event by event."""

    def __init__(self, code):
        self.lines = {"ck": header("ck", code), "nk": header("nk", code)}

    def both(self, line):
        for r in ("ck", "nk"):
            self.lines[r].append(line)

    def deal(self, layout):
        for r in ("ck", "nk"):
            self.lines[r].extend(deal_records(layout))

    def paired(self, records):
        for r in ("ck", "nk"):
            self.lines[r].append(records[r])

    def move(self, *args):
        self.paired(move_records(*args))

    def pass_(self, passer):
        self.paired(pass_records(passer))

    def one(self, role, line):
        self.lines[role].append(line)

    def hand_end(self, code, ck_moves, nk_moves, score):
        rec = hand_end_records(code, ck_moves, nk_moves, score)
        for r in ("ck", "nk"):
            self.lines[r].extend(rec[r])

    def game_end(self, total):
        for r in ("ck", "nk"):
            self.lines[r].extend(game_end_records(total))

    def verify(self, session):
        ck, nk = session.ck_lines(), session.nk_lines()
        compare_text(ck, self.lines["ck"], "ColorKeeper")
        compare_text(nk, self.lines["nk"], "NumberKeeper")
        check_stamps(ck, nk)


# ---------------------------------------------------------------------------
# Scripted games: many hands of swaps and passes, the same every run

CARDS = ["2H", "3H", "4H", "2C", "3C", "4C"]
HAND_PLACE = {"ck": 0, "nk": 4}
PLACE_NAME = {0: "colorCardView", 1: "downColorCardView", 2: "upCardView",
              3: "downNumberCardView", 4: "numberCardView", 5: "targetCardView"}
DEAL_PLACES = [1, 0, 2, 5, 3, 4]  # the default dealing order as position codes
TABLE_PLACES = (1, 2, 3)
SCRIPT_PARAMETERS = {"MaxRounds": "5", "PremiumRound": "2000", "CostMove": "100"}
HAND_KINDS = ["limit", "goal", "passes", "limit", "passes"]


def _other(role):
    return "nk" if role == "ck" else "ck"


class ScriptAction:
    """One participant action and the records it causes: `pickup` is
    (role, line) for the drag start of a swap, `records` {role: line}."""

    def __init__(self, kind, role, frm=None, to=None, pickup=None, records=None):
        self.kind, self.role, self.frm, self.to = kind, role, frm, to
        self.pickup, self.records = pickup, records


class ScriptHand:
    def __init__(self, line, first, kind, actions, end_code, ck_moves, nk_moves, score):
        self.line, self.first, self.kind, self.actions = line, first, kind, actions
        self.end_code, self.ck_moves, self.nk_moves, self.score = end_code, ck_moves, nk_moves, score

    @property
    def box(self):
        """Hands ended by passes or by the move limit are told by a box."""
        return self.end_code in ("GP:", "GM:")


def _play_hand(layout, goal, first, plan):
    """Plays plan (a list of 'P' and (from, to) drags) on layout under
    ViewCard ALL and MaxRounds 5, and returns the actions with their records
    and the way the hand ends, which must be on the last action alone."""
    cards = dict(layout)
    turn = first
    moves = {"ck": 0, "nk": 0}
    passes_in_row = 0
    actions = []
    end_code = None
    for i, step in enumerate(plan):
        check(end_code is None, "script error: the hand ended before its last action")
        if step == "P":
            actions.append(ScriptAction("pass", turn, records=pass_records(turn)))
            passes_in_row += 1
        else:
            frm, to = step
            hand = HAND_PLACE[turn]
            check(hand in (frm, to), "script error: a swap without the hand card of the role in turn")
            other = to if frm == hand else frm
            same = (cards[hand][1] == cards[other][1]) if turn == "ck" else (cards[hand][0] == cards[other][0])
            check(other in TABLE_PLACES or (other == 5 and same), "script error: an illegal swap")
            actions.append(ScriptAction(
                "swap", turn, frm, to,
                pickup=(turn, pickup_record(turn, cards[frm], PLACE_NAME[frm])),
                records=move_records(turn, cards[other], PLACE_NAME[other], cards[hand], PLACE_NAME[hand])))
            cards[hand], cards[other] = cards[other], cards[hand]
            passes_in_row = 0
        moves[turn] += 1
        turn = _other(turn)
        hand_moves = moves["ck"] + moves["nk"]
        codes = [c for c, hit in (("GP:", passes_in_row >= 4), ("GM:", hand_moves >= 5),
                                  ("GE:", cards[5] == goal)) if hit]
        check(len(codes) <= 1, "script error: a hand ends in two ways at once")
        end_code = codes[0] if codes else None
    check(end_code is not None, "script error: the hand does not end")
    premium = 2000 - (moves["ck"] + moves["nk"]) * 100
    return actions, end_code, moves["ck"], moves["nk"], "%d" % (premium // 2)


def scripted_game(hands, seed):
    """A game of `hands` hands that cycles through the ways a hand ends: the
    move limit (swaps with the face-down and face-up cards between passes),
    the goal (at once or after two passes) and four passes."""
    rng = random.Random(seed)
    script = []
    seen = {"limit": 0, "goal": 0}
    for h in range(hands):
        kind = HAND_KINDS[h % len(HAND_KINDS)]
        first = rng.choice(["ck", "nk"])
        while True:
            deck = CARDS[:]
            rng.shuffle(deck)
            layout = dict(zip(DEAL_PLACES, deck))
            hand, target = layout[HAND_PLACE[first]], layout[5]
            shares = hand[1] == target[1] if first == "ck" else hand[0] == target[0]
            if kind != "goal" or shares:
                break
        if kind == "goal":
            goal = hand
            direct = seen["goal"] % 2 == 0
            swap = (HAND_PLACE[first], 5) if rng.random() < 0.5 else (5, HAND_PLACE[first])
            plan = [swap] if direct else ["P", "P", swap]
        else:
            goal = rng.choice([c for c in CARDS if c != target])
            if kind == "passes":
                plan = ["P"] * 4
            else:
                pattern = "SPSPS" if seen["limit"] % 2 == 0 else "PSPSP"
                plan, turn = [], first
                for step in pattern:
                    if step == "S":
                        place = rng.choice(TABLE_PLACES)
                        mine = HAND_PLACE[turn]
                        plan.append((mine, place) if rng.random() < 0.5 else (place, mine))
                    else:
                        plan.append("P")
                    turn = _other(turn)
        seen[kind] = seen.get(kind, 0) + 1
        line = "%s   %s   %s" % (" ".join(layout[p] for p in DEAL_PLACES), goal, first)
        actions, end_code, ck_moves, nk_moves, score = _play_hand(layout, goal, first, plan)
        script.append(ScriptHand(line, first, kind, actions, end_code, ck_moves, nk_moves, score))
    return script


def refused_drop_then(s, then):
    """The face-up card dragged onto a face-down one (refused: it glides
    home); the X events of `then` follow the left button's release at once,
    so they come while the card glides."""
    wid = s.table_wid
    (x0, y0), (x1, y1) = s.card_centre(2), s.card_centre(3)
    args = ["mousemove", "--window", wid, x0, y0, "sleep", "0.05", "mousedown", "1"]
    for i in range(1, 4):
        args += ["sleep", "0.05", "mousemove", "--window", wid, x0 + (x1 - x0) * i // 3, y0 + (y1 - y0) * i // 3]
    s.x(*(args + ["sleep", "0.08", "mouseup", "1"] + then))


def ok_button_point(s, client):
    """The centre of a message box's one button, OK, given the box's client
    area (x, y, w, h on the screen): up from the bottom edge near the right,
    the first row that is not the box's face is the button's lower edge."""
    x, y, w, h = client
    shot = s.screenshot()
    face = shot.pixel(x + w // 2, y + 4)
    column = x + w - w // 4 if w < 160 else x + w - 50
    bottom = next((yy for yy in range(y + h - 2, y + h // 2, -1) if shot.pixel(column, yy) != face), None)
    check(bottom is not None, "no button at the bottom of the box")
    return column, bottom - 10


class Killed(Exception):
    """Raised by a checkpoint hook once it has killed the program."""


class ProgramEnded(E2EFailure):
    """The program ended while the script waited for it."""


class BoxShown(E2EFailure):
    """A message box came up where the script expected none."""


def _children(pid):
    """Process ids whose parent is pid, from /proc."""
    kids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid:
            kids.append(int(entry))
    return kids


def kill_program(session):
    """SIGKILL for the program and every process it started (under Wine the
    program is the wine64 process; the prefix's wineserver and desktop
    process are not its children and live on, as Windows does), then waits
    for it."""
    tree, todo = [], [session.proc.pid]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(_children(pid))
    for pid in tree:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    session.proc.wait(5)


def vm_rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise E2EFailure("no VmRSS for process %d" % pid)


class ScriptedPlay:
    """Plays a scripted game in a session, checking after every step that
    both logs hold exactly the records the script has caused so far.

    hook(tag, hand, action) runs at the checkpoints: "login" (table up,
    header written), "ready" (a deal done), "held" (a card picked up, the
    button still down), "input" (the input sent, nothing awaited), "recorded"
    (the action's records on disk), "settled" (the glide over), "box" (a
    hand-end box up), "ended" (the hand-end records on disk) and "gameend"
    (the game-end box up, its records on disk).

    With watch_boxes, a message box that the script does not expect raises
    BoxShown at once instead of a time-out."""

    def __init__(self, session, script, code, hook=None, watch_boxes=False):
        self.s, self.script, self.code = session, script, code
        self.hook, self.watch_boxes = hook, watch_boxes
        self.exp = Expected(code)
        self.hand = 0

    def checkpoint(self, tag, hand=0, action=0):
        if self.hook is not None:
            self.hook(tag, hand, action)

    def _alive(self):
        if not self.s.running():
            raise ProgramEnded("the program ended (status %s) in hand %d" % (self.s.proc.returncode, self.hand))
        if self.watch_boxes and self.s.visible_windows("^QBXSolo$"):
            raise BoxShown("a message box came up in hand %d" % self.hand)

    def wait_records(self, timeout=6.0):
        want = {r: len(self.exp.lines[r]) for r in ("ck", "nk")}

        def done():
            have = {"ck": len(self.s.ck_lines()), "nk": len(self.s.nk_lines())}
            for r in ("ck", "nk"):
                check(have[r] <= want[r], "hand %d: the %s log holds %d records, the script caused %d"
                      % (self.hand, r, have[r], want[r]))
            return have == want
        wait_for(done, timeout, "hand %d: %s records in the ColorKeeper's log, %s in the NumberKeeper's"
                 % (self.hand, want["ck"], want["nk"]), interval=0.02, alive=self._alive)

    def play(self):
        s, exp = self.s, self.exp
        s.login(self.code)
        self.wait_records()
        self.checkpoint("login")
        total = 0
        for h, hand in enumerate(self.script, start=1):
            self.hand = h
            exp.deal(deal_of(hand.line))
            self.wait_records(timeout=8.0)
            s.wait_ready(hand.first)
            self.checkpoint("ready", h)
            for k, act in enumerate(hand.actions, start=1):
                last = k == len(hand.actions)
                if act.kind == "pass":
                    s.pass_turn()
                else:
                    def held(act=act, k=k):
                        exp.one(*act.pickup)
                        self.wait_records()
                        self.checkpoint("held", h, k)
                    s.drag_card(act.frm, act.to, hold=held)
                self.checkpoint("input", h, k)
                exp.paired(act.records)
                if last and not hand.box:
                    # The goal: the hand-end records come with the move's.
                    exp.hand_end(hand.end_code, hand.ck_moves, hand.nk_moves, hand.score)
                self.wait_records()
                self.checkpoint("recorded", h, k)
                if act.kind == "swap" and not (last and hand.box):
                    s.wait_still()
                self.checkpoint("settled", h, k)
                total += 1
            if hand.box:
                s.wait_box()
                self.checkpoint("box", h)
                s.dismiss_box()
                exp.hand_end(hand.end_code, hand.ck_moves, hand.nk_moves, hand.score)
                self.wait_records()
            self.checkpoint("ended", h)
        self.hand = len(self.script) + 1
        exp.game_end(total)
        # The end-of-shoe records are written before the box is shown.
        self.watch_boxes = False
        wait_for(lambda: s.visible_windows("^QBXSolo$"), 8.0, "the game-end box", alive=self._alive)
        self.wait_records()
        self.checkpoint("gameend")
        s.dismiss_box()
        return s.wait_exit(5)


# Every reason the run record gives for putting the table back in front.
KEPT_IN_FRONT_WORDS = {"minimised", "un-maximised", "hidden", "covered", "another desktop", "lost focus", "moved",
                       "resized", "shaded", "lowered", "not above", "show desktop", "desktop switched"}


def check_run_record(work, how="game ended", window_manager=None, kept_in_front=None):
    """The session's run record in work/dataout: whole JSON, its state and
    end, each setup file's SHA-256 and size as hashlib computes them from
    setup/, the setup's hash as sha256sum's lines give it, and the saved copy
    holding the same bytes. Returns the record."""
    dataout = os.path.join(work, "dataout")
    names = [n for n in os.listdir(dataout) if re.match(r"^run\d{6}_\d+\.json$", n)]
    check(len(names) == 1, "one run record in dataout, found %s" % names)
    with open(os.path.join(dataout, names[0]), "rb") as f:
        record = json.loads(f.read().decode("utf-8"))
    check(record["record"] == "QBXSolo run record" and record["format"] == 1, "not a run record")
    session = names[0][3:-5]
    check(record["session"] == session and record["logs"] == ["ck%s.txt" % session, "nk%s.txt" % session],
          "the record names another session: %s %s" % (record["session"], record["logs"]))
    check(record["state"] == "ended", "state %r, not ended" % record["state"])
    check(record["end"] and record["end"]["how"] == how, "end %r, not %r" % (record["end"], how))
    check(record["workingDirectory"] == os.path.basename(work), "working directory %r" % record["workingDirectory"])
    if window_manager is None and under_wine():
        # The Windows build names the desktop it always has.
        window_manager = "Windows desktop"
    check(record["system"]["windowManager"] == window_manager,
          "window manager %r, not %r" % (record["system"]["windowManager"], window_manager))
    files = []
    for folder, _, found in os.walk(os.path.join(work, "setup"), followlinks=True):
        for name in found:
            files.append(os.path.relpath(os.path.join(folder, name), work).replace(os.sep, "/"))
    files.sort(key=lambda p: p.encode())
    expected = []
    for path in files:
        with open(os.path.join(work, path), "rb") as f:
            data = f.read()
        expected.append((path, len(data), hashlib.sha256(data).hexdigest()))
    got = [(f["path"], f["bytes"], f["sha256"]) for f in record["setup"]["files"]]
    check(got == expected, "setup files %s, not %s" % (got, expected))
    lines = "".join("%s  %s\n" % (sha, path) for path, _, sha in expected)
    check(record["setup"]["hash"] == hashlib.sha256(lines.encode()).hexdigest(), "the setup's hash")
    saved = os.path.join(dataout, record["setup"]["saved"] or "none")
    for path, _, sha in expected:
        with open(os.path.join(saved, path), "rb") as f:
            check(hashlib.sha256(f.read()).hexdigest() == sha, "the saved copy of %s differs" % path)
    check(record["problems"] == [], "problems: %s" % record["problems"])
    whys = [k["why"] for k in record["keptInFront"]]
    if kept_in_front is None:
        check(whys == [], "kept in front without a window manager: %s" % whys)
    else:
        check(kept_in_front <= set(whys) and set(whys) <= KEPT_IN_FRONT_WORDS,
              "kept in front %s, expected at least %s" % (whys, sorted(kept_in_front)))
    return record
