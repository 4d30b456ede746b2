"""The run record and the saved setup never cost a session anything, and the
program ends as the shell asks: sessions whose setup/ or dataout/ holds what a
lab machine may hold (a huge file, links, a FIFO, a folder that cannot be
written, a nearly full disk), and programs started with signals ignored, as
`nohup` and a script's background job start them.

Each session is short (one hand at most) and is judged by its logs, the boxes
it shows, how it ends, its run record and the saved copy of its setup. The
nearly full disk is scenario_disk_full's, which uses check_logs_took_the_room."""

import hashlib
import json
import os
import re
import resource
import signal
import stat
import subprocess
import time

from harness import (E2EFailure, Expected, Session, check, check_run_record, deal_of, make_workdir, pickup_record,
                     wait_for)

CK, NK = "ck", "nk"
# One hand that the ColorKeeper ends at once by laying its 2H on the Target
# 3H, the goal; then the shoe is exhausted.
ONE_HAND = ["4C 2H 3C 3H 2C 4H   2H   ck"]
ONE_HAND_PARAMETERS = {"MaxRounds": "5"}


def _one_hand_workdir(out, name):
    return make_workdir(out, name, ONE_HAND_PARAMETERS, ONE_HAND)


def ends_without_another_box(s, timeout=5.0):
    """After the session's last box: the program ends with no box of its own
    in between. Returns the exit status."""
    def ended():
        if s.visible_windows("^QBXSolo$"):
            s.save_screenshot(os.path.join(s.outdir, s.name + "-extra-box.png"))
            raise E2EFailure("another box came up after the game-end box (%s-extra-box.png)" % s.name)
        return s.proc.poll() is not None
    wait_for(ended, timeout, "the program to end after the game-end box", interval=0.05)
    return s.wait_exit(1)


def _play_one_hand(s, code, before_move=None):
    """Logs in, plays the hand of ONE_HAND to its goal, closes the game-end
    box and waits for the program to end with status 0 and no other box; the
    logs hold exactly what was played. before_move() runs once the hand is
    dealt."""
    s.login(code)
    exp = Expected(code)
    s.wait_ready(CK, 1)
    exp.deal(deal_of(ONE_HAND[0]))
    if before_move is not None:
        before_move()
    s.drag_card(0, 5)
    exp.one(CK, pickup_record(CK, "2H", "colorCardView"))
    exp.move(CK, "3H", "targetCardView", "2H", "colorCardView")
    exp.hand_end("GE:", 1, 0, "950")
    exp.game_end(1)
    s.dismiss_box(timeout=8)
    status = ends_without_another_box(s)
    check(status == 0, "exit status %s after the game end" % status)
    exp.verify(s)


def _program_output(s):
    with open(os.path.join(s.outdir, s.name + ".program.out"), "rb") as f:
        return f.read().decode("utf-8", errors="replace")


def _record(work):
    """The session's run record in work/dataout, read whole, or None."""
    dataout = os.path.join(work, "dataout")
    names = [n for n in os.listdir(dataout) if re.match(r"^run\d{6}_\d+\.json$", n)]
    check(len(names) <= 1, "more than one run record: %s" % names)
    if not names:
        return None
    with open(os.path.join(dataout, names[0]), "rb") as f:
        raw = f.read()
    try:
        return json.loads(raw.decode("utf-8"))
    except ValueError as e:
        raise E2EFailure("the run record %s is no whole JSON (%s): %r" % (names[0], e, raw[:200]))


def _ended_record(work, how):
    record = _record(work)
    check(record is not None, "no run record in dataout")
    check(record["state"] == "ended" and (record["end"] or {}).get("how") == how,
          "the record's state %r and end %r, not ended by %r" % (record["state"], record["end"], how))
    return record


def _setup_hash(work):
    """The setup's hash as the record gives it: the SHA-256 of sha256sum's
    lines for the files of setup/, sorted by path."""
    files = []
    for folder, _, found in os.walk(os.path.join(work, "setup"), followlinks=True):
        files += [os.path.relpath(os.path.join(folder, n), work) for n in found]
    lines = ""
    for path in sorted(files, key=lambda p: p.encode()):
        with open(os.path.join(work, path), "rb") as f:
            lines += "%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), path)
    return hashlib.sha256(lines.encode()).hexdigest()


# ---------------------------------------------------------------------------
# Signals


def _dispositions(ignored):
    """Run in the child before exec: the signal `ignored` ignored, the other
    end signals at their default, as a shell leaves them."""
    def preexec():
        for number in (signal.SIGHUP, signal.SIGINT, signal.SIGTERM):
            signal.signal(number, signal.SIG_IGN if number == ignored else signal.SIG_DFL)
    return preexec


def _ignored_then_ended(program, out, name, ignored, ending):
    """The program started with `ignored` ignored: that signal, sent during
    the first hand, leaves it playing (a pass is recorded after it); then
    `ending`, not ignored, ends it by that signal with the record saying so."""
    work = _one_hand_workdir(out, name)
    with Session(program, work, out, name, preexec=_dispositions(ignored)) as s:
        s.login("SIG1")
        exp = Expected("SIG1")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(ONE_HAND[0]))
        s.proc.send_signal(ignored)
        time.sleep(0.5)
        check(s.running(), "%s, ignored when the program started, ended it (status %s)"
              % (ignored.name, s.proc.returncode))
        s.pass_turn()
        exp.pass_(CK)
        s.wait_lines(CK, len(exp.lines[CK]))
        s.assert_running()
        s.proc.send_signal(ending)
        check(s.wait_exit(5) == -ending, "exit status %s after %s, not ended by it" % (s.exit_status, ending.name))
        exp.verify(s)
    record = check_run_record(work, how="the program was ended (%s)" % ending.name)
    check(record["end"]["hands"] == 1, "hands %s, not 1" % record["end"]["hands"])


def scenario_signals_hup_ignored(program, out):
    """Started as `nohup` starts it (SIGHUP ignored): a SIGHUP during a hand
    leaves the session playing; SIGINT, not ignored, ends it."""
    _ignored_then_ended(program, out, "signals_hup_ignored", signal.SIGHUP, signal.SIGINT)


def scenario_signals_int_ignored(program, out):
    """Started as a script's background job (SIGINT ignored): a SIGINT during
    a hand leaves the session playing; SIGHUP, not ignored, ends it."""
    _ignored_then_ended(program, out, "signals_int_ignored", signal.SIGINT, signal.SIGHUP)


# The program ends within a fixed short time after SIGTERM, whatever the
# record's thread is doing; this bound leaves room for a loaded machine.
SIGTERM_BOUND_S = 1.5


def scenario_sigterm_busy_record(program, out):
    """SIGTERM right after the table appears, while the record's thread reads
    an 800 MB file of setup/ (sparse: it costs no disk): the program is gone
    within SIGTERM_BOUND_S, ended by the signal, and its record is whole and
    says so."""
    work = _one_hand_workdir(out, "sigterm_busy_record")
    with open(os.path.join(work, "setup", "large.bin"), "wb") as f:
        f.truncate(800 << 20)
    try:
        with Session(program, work, out, "sigterm_busy_record") as s:
            s.login("T1")
            # The header is written once the record's thread has begun.
            s.wait_lines(CK, 5)
            sent = time.monotonic()
            s.proc.send_signal(signal.SIGTERM)
            try:
                status = s.proc.wait(30)
            except subprocess.TimeoutExpired:
                raise E2EFailure("the program still ran 30 s after SIGTERM")
            took = time.monotonic() - sent
            with open(os.path.join(out, "sigterm_busy_record.note"), "w") as f:
                f.write("ended %.3f s after SIGTERM, status %s\n" % (took, status))
            check(status == -signal.SIGTERM, "exit status %s after SIGTERM" % status)
            check(took < SIGTERM_BOUND_S, "the program took %.2f s to end after SIGTERM" % took)
        # What the record knows of the setup by then is up to its thread;
        # that the session ended by the signal it knows in any case.
        _ended_record(work, "the program was ended (SIGTERM)")
    finally:
        subprocess.run(["rm", "-rf", os.path.join(work, "dataout", "setups"), os.path.join(work, "setup")])


# ---------------------------------------------------------------------------
# The saved setup cannot be written


def scenario_record_unwritable(program, out):
    """dataout/setups is a plain file, so the setup cannot be saved: the
    participant sees the game-end box and nothing after it, the program ends
    with status 0, the problem goes to standard error and into the record."""
    work = _one_hand_workdir(out, "record_unwritable")
    blocker = os.path.join(work, "dataout", "setups")
    with open(blocker, "w") as f:
        f.write("not a folder\n")
    with Session(program, work, out, "record_unwritable") as s:
        _play_one_hand(s, "U1")
        said = _program_output(s)
    record = _ended_record(work, "game ended")
    check(record["setup"]["saved"] is None, "saved %r, though setups is a file" % record["setup"]["saved"])
    check(record["problems"], "no problem in the record, though the setup could not be saved")
    for problem in record["problems"]:
        check(problem in said, "standard error does not name the problem %r: %r" % (problem, said[-400:]))
    with open(blocker) as f:
        check(f.read() == "not a folder\n", "the plain file dataout/setups was changed")


def scenario_record_link_loop(program, out):
    """dataout/setups/<hash> of this very setup is a link to itself: the
    table comes up, the game is played to its end with no box of the record's,
    and the record names the problem and no saved copy; the link is left."""
    work = _one_hand_workdir(out, "record_link_loop")
    setup_hash = _setup_hash(work)
    setups = os.path.join(work, "dataout", "setups")
    os.makedirs(setups)
    loop = os.path.join(setups, setup_hash)
    os.symlink(setup_hash, loop)
    with Session(program, work, out, "record_link_loop") as s:
        _play_one_hand(s, "L1")
    record = _ended_record(work, "game ended")
    check(record["setup"]["hash"] == setup_hash, "the record's setup hash %s, not %s"
          % (record["setup"]["hash"], setup_hash))
    check(record["setup"]["saved"] is None, "saved %r, though a link loop sits there" % record["setup"]["saved"])
    check(record["problems"], "no problem in the record, though the setup could not be saved")
    check(os.path.islink(loop) and os.readlink(loop) == setup_hash, "the link at setups/<hash> was changed")
    check(sorted(os.listdir(setups)) == [setup_hash], "setups holds %s" % sorted(os.listdir(setups)))


def _record_lists_setup(work):
    """The record's thread has read the setup and tried its copy once the
    record on disk names the setup's hash."""
    record = _record(work)
    return record is not None and record["setup"]["hash"] != ""


def _saved_nowhere(program, out, name, occupy):
    """A session whose dataout/setups was made by occupy(work, setup hash);
    ended by SIGTERM once the record names the setup: the record says no
    copy was saved and why. Returns the working directory."""
    work = _one_hand_workdir(out, name)
    occupy(work, _setup_hash(work))
    with Session(program, work, out, name) as s:
        s.login("O1")
        wait_for(lambda: _record_lists_setup(work), 10, "the record to name the setup", interval=0.1,
                 alive=s.assert_running)
        s.proc.send_signal(signal.SIGTERM)
        check(s.wait_exit(5) == -signal.SIGTERM, "exit status %s after SIGTERM" % s.exit_status)
    record = _ended_record(work, "the program was ended (SIGTERM)")
    check(record["setup"]["saved"] is None and record["problems"],
          "%s: saved %r, problems %s" % (name, record["setup"]["saved"], record["problems"]))
    return work


def scenario_record_setups_elsewhere(program, out):
    """dataout/setups is a link to a folder outside dataout, and, in a second
    session, dataout/setups/<hash> of the setup is a plain file: no copy is
    written through the link, the file is left as it was, and neither record
    claims a saved copy."""
    elsewhere = os.path.join(out, "record_setups_elsewhere-folder")
    subprocess.run(["rm", "-rf", elsewhere])
    os.makedirs(elsewhere)

    def linked(work, _hash):
        os.symlink(elsewhere, os.path.join(work, "dataout", "setups"))
    _saved_nowhere(program, out, "record_setups_elsewhere", linked)
    check(os.listdir(elsewhere) == [], "the copy went through the link to %s" % os.listdir(elsewhere))

    def plain_file(work, setup_hash):
        os.makedirs(os.path.join(work, "dataout", "setups"))
        with open(os.path.join(work, "dataout", "setups", setup_hash), "w") as f:
            f.write("not a copy\n")
    work = _saved_nowhere(program, out, "record_setups_plain_file", plain_file)
    setups = os.path.join(work, "dataout", "setups")
    (name,) = os.listdir(setups)
    with open(os.path.join(setups, name)) as f:
        check(f.read() == "not a copy\n", "the plain file at setups/<hash> was changed")


# ---------------------------------------------------------------------------
# What a setup/ may hold


def _address_space(limit):
    """Run in the child before exec: its address space limited to `limit`."""
    def preexec():
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    return preexec


def _sha256_of(path):
    sha = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            sha.update(piece)
    return sha.hexdigest()


# A normal session's address space peaks at about 460 MiB; a limit well above
# that, which a file of LARGE_FILE read whole cannot fit in.
MEMORY_LIMIT = 640 << 20
LARGE_FILE = 256 << 20
OUTSIDE_BYTES = b"a file outside the working directory, linked from setup/\n"
PRIVATE_BYTES = b"for the experimenter's eyes only\n"


def scenario_record_hostile_setup(program, out):
    """setup/ holds a 256 MiB file (sparse), a file only its owner may read, a
    link to a file outside the working directory, a link to a file inside
    setup/ and a named pipe, and the program runs under an address-space
    limit that a normal session stays well within. The hand is played to its
    end with no box of the record's and status 0; the record lists the large
    file with its size and hash; the saved copy holds the other regular files
    byte for byte (the owner's file still the owner's alone), no link and
    nothing of the file outside, and whatever of setup/ it lacks is named in
    the record's notCopied."""
    name = "record_hostile_setup"
    work = _one_hand_workdir(out, name)
    setup = os.path.join(work, "setup")
    outside = os.path.join(out, name + "-outside.txt")
    with open(outside, "wb") as f:
        f.write(OUTSIDE_BYTES)
    os.symlink(outside, os.path.join(setup, "outside.txt"))
    os.symlink("messages.ini", os.path.join(setup, "inside.ini"))
    os.mkfifo(os.path.join(setup, "pipe"))
    with open(os.path.join(setup, "private.txt"), "wb") as f:
        f.write(PRIVATE_BYTES)
    os.chmod(os.path.join(setup, "private.txt"), 0o600)
    with open(os.path.join(setup, "large.bin"), "wb") as f:
        f.truncate(LARGE_FILE)

    try:
        with Session(program, work, out, name, preexec=_address_space(MEMORY_LIMIT)) as s:
            _play_one_hand(s, "H1", before_move=lambda: wait_for(lambda: _record_lists_setup(work), 30,
                                                                 "the record to name the setup", interval=0.2,
                                                                 alive=s.assert_running))
        record = _ended_record(work, "game ended")
        listed = {f["path"]: f for f in record["setup"]["files"]}
        left = {e["path"]: e["why"] for e in record["setup"].get("notCopied", [])}
        large = listed.get("setup/large.bin")
        check(large is not None and large["bytes"] == LARGE_FILE,
              "the record lists the large file as %s" % large)
        check(large["sha256"] == _sha256_of(os.path.join(setup, "large.bin")), "the large file's hash")
        check(record["setup"]["saved"] is not None, "no saved copy: %s" % record["problems"])
        copy = os.path.join(work, "dataout", record["setup"]["saved"])
        in_copy = {}
        for folder, _, found in os.walk(copy):
            for n in found:
                path = os.path.join(folder, n)
                check(stat.S_ISREG(os.lstat(path).st_mode), "the copy holds %s, not a plain file" % path)
                in_copy[os.path.relpath(path, copy)] = path
        in_setup = [os.path.relpath(os.path.join(folder, n), work)
                    for folder, dirs, found in os.walk(setup) for n in found + dirs]
        for path in in_setup:
            check(path in in_copy or path in left, "%s is neither in the copy nor named as not copied" % path)
        for path, copied in in_copy.items():
            with open(copied, "rb") as f:
                check(f.read(len(OUTSIDE_BYTES) + 1) != OUTSIDE_BYTES,
                      "the copy's %s holds the file outside the working directory" % path)
            check(path in listed and _sha256_of(copied) == listed[path]["sha256"],
                  "the copy's %s is not the file the record lists" % path)
        check("setup/outside.txt" not in in_copy, "the link to a file outside was copied")
        check(in_copy.get("setup/inside.ini") and "setup/inside.ini" in listed,
              "the link to setup/messages.ini is not in the copy as a file: %s" % sorted(in_copy))
        check("setup/private.txt" in in_copy, "setup/private.txt is not in the copy")
        mode = stat.S_IMODE(os.stat(in_copy["setup/private.txt"]).st_mode)
        check(mode & 0o077 == 0, "the owner's file setup/private.txt was copied with mode %o" % mode)
        check("setup/large.bin" not in in_copy or os.path.getsize(in_copy["setup/large.bin"]) < LARGE_FILE,
              "the %d MiB file was copied whole" % (LARGE_FILE >> 20))
    finally:
        # The copy of the large file, where one was made, is not kept.
        subprocess.run(["rm", "-rf", os.path.join(work, "dataout", "setups"), os.path.join(setup, "large.bin")])


# ---------------------------------------------------------------------------
# A nearly full disk (scenario_disk_full plays the game on one)


def check_logs_took_the_room(dataout, logs, room, besides=()):
    """The two logs took all `room` bytes that dataout's small file system
    had free: the run record and the setup copy took none of the blocks the
    logs needed. Files named in `besides` were there before the session."""
    taken = {}
    for folder, _, files in os.walk(dataout):
        for n in files:
            path = os.path.join(folder, n)
            taken[os.path.relpath(path, dataout)] = os.lstat(path).st_blocks * 512
    check(len(logs) == 2, "dataout holds %s" % sorted(taken))
    others = {n: b for n, b in taken.items() if n not in logs and n not in besides and b}
    got = sum(taken[n] for n in logs)
    check(not others and got == room, "the logs got %d of the %d bytes free; taken besides them: %s"
          % (got, room, others or "nothing"))


SCENARIOS = [
    ("signals_hup_ignored", scenario_signals_hup_ignored),
    ("signals_int_ignored", scenario_signals_int_ignored),
    ("sigterm_busy_record", scenario_sigterm_busy_record),
    ("record_unwritable", scenario_record_unwritable),
    ("record_link_loop", scenario_record_link_loop),
    ("record_setups_elsewhere", scenario_record_setups_elsewhere),
    ("record_hostile_setup", scenario_record_hostile_setup),
]

WINE_SKIPS = {
    "signals_hup_ignored": "POSIX signal dispositions have no Windows counterpart",
    "signals_int_ignored": "POSIX signal dispositions have no Windows counterpart",
    "sigterm_busy_record": "sends SIGTERM, a POSIX signal with no Windows counterpart",
    "record_unwritable": "the Windows build's record is judged by core_tests.exe",
    "record_link_loop": "makes a POSIX symbolic link in dataout",
    "record_setups_elsewhere": "makes a POSIX symbolic link in dataout",
    "record_hostile_setup": "limits the address space and makes links and a named pipe, all POSIX",
}
