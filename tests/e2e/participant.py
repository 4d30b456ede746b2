"""What a participant does outside the cards: the code typed or pasted into
the login, and clicks on the table while it takes no input."""

import os
import select
import subprocess
import time

from harness import (HELP_BUTTON, LOGIN_CODE_BOX, LOGIN_OK, E2EFailure, Expected, Session, check, deal_of,
                     make_workdir, pickup_record, refused_drop_then, stop_process, wait_for)

CK, NK = "ck", "nk"
UP = "upCardView"


class ClipboardOwner:
    """tests/e2e/clipboard_owner holding the X clipboard and the primary
    selection with one text while it runs."""

    def __init__(self, program, env, text):
        self.proc = subprocess.Popen([program, text.encode("utf-8").hex()], env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.served = 0
        self.wait_for("ready")

    def wait_for(self, word, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            ready, _, _ = select.select([self.proc.stdout], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                break
            line = self.proc.stdout.readline().decode().strip()
            if not line:
                break
            if line == "served":
                self.served += 1
            if line == word:
                return
        raise E2EFailure("the clipboard owner did not say %r within %.1f s" % (word, timeout))

    def stop(self):
        stop_process(self.proc)


def _paste_code(s, owner_program):
    """Pastes four texts into the code box, each by another way, and types
    past the limit; returns the code the box must then hold, as the logs'
    bytes read as Latin-1."""
    wid = s.wait_login()
    s.x("windowfocus", "--sync", wid)
    box = (LOGIN_CODE_BOX[0] + LOGIN_CODE_BOX[2] // 2, LOGIN_CODE_BOX[1] + LOGIN_CODE_BOX[3] // 2)
    s.x("mousemove", "--window", wid, box[0], box[1], "click", "1")
    # (text, what the participant does, how many times the program reads
    # the text: the context menu reads it once to offer Paste)
    pastes = [("A\x01B", ["key", "ctrl+v"], 1, "AB"),
              ("C\r\n37845.7:37845.7:PP::Colorkeeper passed turn:;;;", ["key", "shift+Insert"], 1, "C"),
              ("D\u00e9\u2028E", ["click", "2"], 1, "D\u00e9"),
              ("F\tG\u202e\nH", ["click", "3"], 2, "FG")]
    owners = []
    shown = ""
    try:
        for text, action, reads, kept in pastes:
            owner = ClipboardOwner(owner_program, s.env, text)
            owners.append(owner)
            s.x("mousemove", "--window", wid, box[0], box[1], *action)
            if reads == 2:
                owner.wait_for("served")
                time.sleep(0.2)
                s.x("key", "p")  # the menu's "&Paste"
            owner.wait_for("served")
            shown += kept
        # Typing stops at 64 characters.
        typed = "0123456789" * 7
        s.x("type", "--delay", "15", typed)
        shown += typed[:64 - len(shown)]
        s.x("mousemove", "--window", wid, LOGIN_OK[0] + LOGIN_OK[2] // 2, LOGIN_OK[1] + LOGIN_OK[3] // 2,
            "click", "1")
        s.wait_table()
    finally:
        for owner in owners:
            owner.stop()
    return shown.encode("utf-8").decode("latin-1")


def scenario_participant(program, out):
    """The code box holds one line of visible text of at most 64 characters:
    pastes by Ctrl+V, Shift+Insert, the middle button and the context menu
    are cut at their first line end and lose every other control character,
    typing stops at the limit, and both logs' header carry exactly what the
    box held; qbxtool verify finds the session whole. On the table a click
    on Help during a glide moves no focus: the Space after it passes, and no
    help opens."""
    owner_program = os.path.join(os.path.dirname(program), "tests", "clipboard_owner")
    tool = os.path.join(os.path.dirname(program), "qbxtool")
    check(os.access(owner_program, os.X_OK), "no clipboard_owner at %s" % owner_program)
    check(os.access(tool, os.X_OK), "no qbxtool at %s" % tool)
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck"]
    work = make_workdir(out, "participant", {"MaxRounds": "2"}, shoe)
    with Session(program, work, out, "participant") as s:
        code = _paste_code(s, owner_program)
        exp = Expected(code)
        s.wait_ready(CK, 1)
        layout = deal_of(shoe[0])
        exp.deal(layout)
        s.x("windowfocus", "--sync", s.table_wid)
        help_at = s.button_centre(HELP_BUTTON)
        refused_drop_then(s, ["mousemove", "--window", s.table_wid, help_at[0], help_at[1], "click", "1"])
        exp.one(CK, pickup_record(CK, layout[UP], UP))
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        s.x("key", "space")
        exp.pass_(CK)
        wait_for(lambda: s.visible_windows("^QBX Help$") or len(s.nk_lines()) >= len(exp.lines[NK]), 5,
                 "the pass or the help")
        check(not s.visible_windows("^QBX Help$"), "Space after a click on Help during a glide opened the help")
        s.pass_turn()  # the NumberKeeper's pass: the move limit
        exp.pass_(NK)
        s.dismiss_box()
        exp.hand_end("GM:", 1, 1, 900)
        s.dismiss_box()  # the end of the shoe
        check(s.wait_exit(5) == 0, "exit status %s after the game end" % s.exit_status)
        exp.game_end(2)
        exp.verify(s)
    r = subprocess.run([tool, "verify", os.path.join(work, "dataout")], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT)
    check(r.returncode == 0, "qbxtool verify found faults (%d):\n%s" % (r.returncode, r.stdout.decode()))
