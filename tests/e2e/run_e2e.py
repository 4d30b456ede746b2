#!/usr/bin/env python3
"""End-to-end runs of qbxsolo: each scenario starts the program on a private
Xvfb screen in a working directory of its own, plays it with real X input and
judges it by the two event logs, the windows it shows and its exit status.

    run_e2e.py --program build/qbxsolo --out DIR [--only NAME ...] [--jobs N]
    run_e2e.py --program build-mingw/qbxsolo.exe --out DIR [--wine-prefix DIR] [--only NAME ...]

With --jobs N, N scenarios run at a time, each in a process of its own on
its own Xvfb screen; those in TIMED run alone afterwards, with nothing
beside them.

A program whose name ends in .exe (or --wine) is the Windows build: it runs
under Wine in a prefix made for the run, the same scenarios judged by the same
expected logs; without --only, the scenarios in WINE_SCENARIOS.

Prints one line per scenario and closes with "N passed, M failed".
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from desktop import scenario_desktop, scenario_screen_sizes, scenario_window_manager
import records
from participant import scenario_participant
from harness import (AQUA, CARD_H, CARD_W, GREEN, GREY, HAND_END, HELP_BUTTON, HELP_CLOSE, PASS_BUTTON,
                     SCRIPT_PARAMETERS, BoxShown, E2EFailure, Expected, Killed, ProgramEnded, ScriptedPlay,
                     Session, Skipped, WinePrefix, check, check_run_record, check_stamps, compare_text,
                     count_prefixed, deal_of, header, kill_program, leading_stamps, look_record, make_workdir,
                     masked, ok_button_point, parse_ppm, pickup_record, refused_drop_then, scripted_game, split_log,
                     tree_listing, under_wine, use_replay_states, use_wine, vm_rss_kb, wait_for)

CK, NK = "ck", "nk"
UP, TARGET, CKH, NKH, DC, DN = ("upCardView", "targetCardView", "colorCardView",
                                "numberCardView", "downColorCardView", "downNumberCardView")
POS = {CKH: 0, DC: 1, UP: 2, DN: 3, NKH: 4, TARGET: 5}
PLACE_NAMES = {v: k for k, v in POS.items()}


def check_table(session, shot, turn, kinds):
    """Frame pens (green for the role in turn, grey elsewhere) and which
    places show a face or a back."""
    hand = 0 if turn == CK else 4
    for pos in range(6):
        want = GREEN if pos == hand else GREY
        got = session.frame_pen(shot, pos)
        check(got == want, "frame of position %d has pen %s, want %s" % (pos, got, want))
    for pos, want in kinds.items():
        got = session.card_kind(shot, pos)
        check(got == want, "position %d shows %s, want %s" % (pos, got, want))


def _place_pixels(s, shot, pos):
    """The pixels of the card place pos, frame bands left out."""
    x, y = s.to_screen(*s.place(pos))
    return shot.crop_bytes(x, y, CARD_W, CARD_H)


def play_to_end(session, exp, total):
    """The shoe is exhausted: game-end records, the GameEnded box, exit 0."""
    session.dismiss_box(timeout=8)
    check(session.wait_exit(5) == 0, "exit status %s after the game end" % session.exit_status)
    exp.game_end(total)
    exp.verify(session)


def end_hand_by_box(session, boxes=1):
    for _ in range(boxes):
        session.dismiss_box()


# ---------------------------------------------------------------------------
# The replay

# qbxreplay, given with --replay; the scenario that needs it fails without it.
REPLAY = {"program": None}


def _ppm_of_png(path):
    r = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    check(r.returncode == 0, "convert could not read %s: %s" % (path, r.stderr.decode().strip()))
    return parse_ppm(r.stdout)


def scenario_replay_pixels(program, out):
    """The replay draws the table as the live window did: at chosen actions
    (a deal, a pass, a swap once its glide is over, the pass after it), the card places
    and their frames of qbxreplay's snapshot equal a screenshot of the live
    table at that moment, pixel for pixel."""
    check(REPLAY["program"] is not None, "no qbxreplay given (--replay PROGRAM)")
    shoe = ["3H 4C 2C 2H 4H 3C   3C   ck"]
    work = make_workdir(out, "replay_pixels", {"MaxRounds": "5"}, shoe)
    with Session(program, work, out, "replay_pixels") as s:
        s.login("R01")
        shots = [(1, s.wait_ready(CK, 1))]  # action 1: the deal
        s.pass_turn()
        s.wait_lines(CK, 12)
        s.wait_still()
        shots.append((2, s.screenshot()))  # action 2: the ColorKeeper's pass
        s.pass_turn()
        s.wait_lines(CK, 13)
        s.wait_still()
        s.drag_card(2, 0)  # actions 4 and 5: the pick-up and the swap
        s.wait_lines(CK, 15)
        s.wait_still()
        shots.append((5, s.screenshot()))  # action 5: the swap, the card it sent back at its place
        s.pass_turn()
        s.wait_lines(CK, 16)
        s.wait_still()
        shots.append((6, s.screenshot()))  # action 6: the NumberKeeper's pass, the swap's glide over
        s.pass_turn()  # the fifth action: the move limit
        s.dismiss_box()
        s.dismiss_box()  # the end of the shoe
        check(s.wait_exit(5) == 0, "exit status %s after the game end" % s.exit_status)
        session = os.path.basename(s.log_files()[0])[2:-4]
        # The whole table but its two buttons, which the pointer left hovered.
        buttons = [s.button_centre(b) for b in (PASS_BUTTON, HELP_BUTTON)]

        def hovered(x, y):
            return any(abs(x - bx) <= 95 and abs(y - by) <= 32 for bx, by in buttons)
        for action, live in shots:
            png = os.path.join(out, "replay_pixels-%d.png" % action)
            r = subprocess.run([REPLAY["program"], s.dataout(), session, "--snapshot", str(action), "--out", png,
                                "--force"],
                               env=s.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            check(r.returncode == 0, "qbxreplay --snapshot %d failed (%d): %s" %
                  (action, r.returncode, r.stderr.decode(errors="replace").strip()))
            replayed = _ppm_of_png(png)
            ox, oy = s.to_screen(0, 0)
            width, height = min(replayed.width, live.width - ox), min(replayed.height, live.height - oy)
            check(width > 900 and height > 600, "the snapshot is %dx%d" % (replayed.width, replayed.height))
            differing = [(x, y) for y in range(height) for x in range(width)
                         if not hovered(x, y) and replayed.pixel(x, y) != live.pixel(x + ox, y + oy)]
            if differing:
                s.save_screenshot(os.path.join(out, "replay_pixels-%d-live.png" % action))
                raise E2EFailure("the replay's table after action %d differs from the live one in %d pixels, "
                                 "the first at %s (%s)" % (action, len(differing), differing[0], png))


# ---------------------------------------------------------------------------
# Whole games


def scenario_game_default(program, out):
    """Four hands under the default dealing order: the goal reached by a move,
    four passes, the move limit, move limit and goal at once; then the end."""
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck",
            "2C 3H 4H 4C 2H 3C   2H   nk",
            "3H 4C 2C 2H 4H 3C   3C   ck",
            "2H 3C 4C 4H 3H 2C   2H   ck"]
    work = make_workdir(out, "game_default", {"MaxRounds": "5"}, shoe)
    with Session(program, work, out, "game_default") as s:
        s.login("P07")
        exp = Expected("P07")

        # Hand 1: the ColorKeeper lays its 2H on the Target 3H, the goal.
        shot = s.wait_ready(CK, 1)
        check_table(s, shot, CK, {0: "face", 1: "back", 2: "face", 3: "back", 4: "face",
                                  5: "face", 6: "face"})
        exp.deal(deal_of(shoe[0]))

        def aqua_while_held():
            held = s.screenshot()
            for pos in (0, 5):
                check(s.frame_pen(held, pos) == AQUA,
                      "frame %d is %s while a legal swap is held over it" % (pos, s.frame_pen(held, pos)))
            for pos in (1, 2, 3, 4):
                check(s.frame_pen(held, pos) == GREY, "frame %d is not grey during the drag" % pos)
        s.drag_card(0, 5, hold=aqua_while_held)
        exp.one(CK, pickup_record(CK, "2H", CKH))
        exp.move(CK, "3H", TARGET, "2H", CKH)
        exp.hand_end("GE:", 1, 0, "950")

        # Hand 2: four passes in a row.
        s.wait_ready(NK, 2)
        exp.deal(deal_of(shoe[1]))
        for who in (NK, CK, NK, CK):
            s.pass_turn()
            exp.pass_(who)
            s.wait_lines(CK, len(exp.lines[CK]))
        s.dismiss_box()
        exp.hand_end("GP:", 2, 2, "800")

        # Hand 3: five actions, no four passes in a row: the move limit.
        shot = s.wait_ready(CK, 3)
        exp.deal(deal_of(shoe[2]))
        s.pass_turn(); exp.pass_(CK); s.wait_lines(CK, len(exp.lines[CK]))
        s.pass_turn(); exp.pass_(NK); s.wait_lines(CK, len(exp.lines[CK]))
        s.drag_card(2, 0)  # the face-up 2C onto the ColorKeeper's 4C
        exp.one(CK, pickup_record(CK, "2C", UP))
        exp.move(CK, "2C", UP, "4C", CKH)
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        shot = s.screenshot()
        check(s.frame_pen(shot, 4) == GREEN, "the turn did not pass at once after a swap under ALL")
        s.pass_turn(); exp.pass_(NK); s.wait_lines(CK, len(exp.lines[CK]))
        s.pass_turn(); exp.pass_(CK)
        s.dismiss_box()
        exp.hand_end("GM:", 3, 2, "750")

        # Hand 4: the fifth action brings the goal to the Target.
        s.wait_ready(CK, 4)
        exp.deal(deal_of(shoe[3]))
        s.pass_turn(); exp.pass_(CK); s.wait_lines(CK, len(exp.lines[CK]))
        s.pass_turn(); exp.pass_(NK); s.wait_lines(CK, len(exp.lines[CK]))
        s.drag_card(1, 0)  # the face-down 2H onto the ColorKeeper's 3C
        exp.one(CK, pickup_record(CK, "2H", DC))
        exp.move(CK, "2H", DC, "3C", CKH)
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        s.pass_turn(); exp.pass_(NK); s.wait_lines(CK, len(exp.lines[CK]))
        s.drag_card(0, 5)  # 2H onto the Target 4H: the goal, and the fifth action
        exp.one(CK, pickup_record(CK, "2H", CKH))
        exp.move(CK, "4H", TARGET, "2H", CKH)
        s.dismiss_box()
        exp.hand_end("GM:", 3, 2, "750")
        exp.hand_end("GE:", 3, 2, "750")

        play_to_end(s, exp, 15)
    check_run_record(work)


def scenario_game_circular(program, out):
    """The CIRCULAR dealing order: the NumberKeeper reaches the goal, then four
    passes that are also the move limit (two boxes, two blocks)."""
    shoe = ["2H 3C 4H 3H 4C 2C   2H   nk",
            "4C 2H 3C 3H 2C 4H   3C   ck"]
    work = make_workdir(out, "game_circular",
                        {"SyntaxInput": "circular", "MaxRounds": "4", "PremiumRound": "2001",
                         "ViewCard": "NONE"}, shoe)
    with Session(program, work, out, "game_circular") as s:
        s.login("c 9")
        exp = Expected("c 9")

        shot = s.wait_ready(NK, 1)
        check_table(s, shot, NK, {0: "face", 1: "back", 2: "face", 3: "back", 4: "face", 5: "face"})
        exp.deal(deal_of(shoe[0], circular=True))
        s.drag_card(5, 4)  # the Target 2C onto the NumberKeeper's 2H
        exp.one(NK, pickup_record(NK, "2C", TARGET))
        exp.move(NK, "2C", TARGET, "2H", NKH)
        exp.hand_end("GE:", 0, 1, "950.5")

        s.wait_ready(CK, 2)
        exp.deal(deal_of(shoe[1], circular=True))
        for who in (CK, NK, CK, NK):
            s.pass_turn()
            exp.pass_(who)
            s.wait_lines(CK, len(exp.lines[CK]))
        end_hand_by_box(s, boxes=2)
        exp.hand_end("GP:", 2, 2, "800.5")
        exp.hand_end("GM:", 2, 2, "800.5")

        play_to_end(s, exp, 5)


# ---------------------------------------------------------------------------
# Looking at hand cards


def scenario_look_mix(program, out):
    """Hand cards face down, ViewCard MIX, hand cards locked: clicks and right
    presses, the pending hand-over completed by a look."""
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck"]
    work = make_workdir(out, "look_mix", {"ViewCkNk": "FALSE", "ViewCard": "MIX",
                                          "Drag CkNk": "FALSE", "MaxRounds": "3"}, shoe)
    with Session(program, work, out, "look_mix") as s:
        s.login("L1")
        exp = Expected("L1")
        shot = s.wait_ready(CK, 1)
        check_table(s, shot, CK, {0: "back", 1: "back", 2: "face", 3: "back", 4: "back", 5: "face"})
        exp.deal(deal_of(shoe[0]))

        # A left click on the own (locked) hand card is a look, not a drag.
        s.click(s.card_centre(0))
        exp.one(CK, look_record(CK))
        s.wait_lines(CK, len(exp.lines[CK]))

        # Trying to drag it: the card stays where it lies, nothing is picked up.
        def still_in_place():
            held = s.screenshot()
            check(s.card_kind(held, 0) == "back", "the locked hand card left its place")
            check(s.frame_pen(held, 5) == GREY, "a locked hand card painted a swap hint")
        s.drag(s.card_centre(0), s.card_centre(5), hold=still_in_place)
        # The pressed card keeps the mouse until the release, wherever the
        # pointer is by then: the release is one more look.
        exp.one(CK, look_record(CK))
        s.wait_lines(CK, len(exp.lines[CK]))
        time.sleep(0.1)
        check("pR:" not in "".join(s.ck_lines() + s.nk_lines()), "a locked hand card was picked up")
        compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper")

        # The other role's card cannot be looked at under MIX.
        s.press(s.card_centre(4), 3)
        held = s.screenshot()
        s.release(3)
        check(s.card_kind(held, 4) == "back", "the NumberKeeper's card showed its face to the ColorKeeper")

        # The own card shows its face while the right button is down.
        s.press(s.card_centre(0), 3)
        held = s.screenshot()
        s.release(3)
        check(s.card_kind(held, 0) == "face", "the own hand card did not show its face on a right press")
        exp.one(CK, look_record(CK))
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        check(s.card_kind(s.screenshot(), 0) == "back", "the hand card stayed uncovered after the release")

        # A swap by dragging the face-up card onto the hand card: the turn
        # stays with the ColorKeeper until the NumberKeeper acts.
        s.drag_card(2, 0)
        exp.one(CK, pickup_record(CK, "3C", UP))
        exp.move(CK, "3C", UP, "2H", CKH)
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        shot = s.screenshot()
        check_table(s, shot, CK, {0: "back", 2: "face", 4: "back"})

        # A right press on the NumberKeeper's card hands the turn over and shows it.
        s.press(s.card_centre(4), 3)
        time.sleep(0.1)
        held = s.screenshot()
        s.release(3)
        check(s.frame_pen(held, 4) == GREEN and s.frame_pen(held, 0) == GREY,
              "the pending hand-over was not completed by the right press")
        check(s.card_kind(held, 4) == "face", "the NumberKeeper's card did not show on its own turn")
        exp.one(NK, look_record(NK))
        s.wait_lines(NK, len(exp.lines[NK]))

        s.pass_turn(); exp.pass_(NK); s.wait_lines(CK, len(exp.lines[CK]))
        s.pass_turn(); exp.pass_(CK)
        s.dismiss_box()
        exp.hand_end("GM:", 2, 1, "850")
        play_to_end(s, exp, 3)


LOOK_SHOE = ["4C 2H 3C 3H 2C 4H   2H   ck"]  # 4C 2H 3C 3H 2C 4H at DC CKH UP TARGET DN NKH
OWN = {CK: 0, NK: 4}


def _other_role(role):
    return NK if role == CK else CK


def _held_look(s, pos, want, what):
    """Holds the right button on pos and checks, while it is down, that the
    place shows `want`; returns the screenshot taken while held. A face may
    take a moment to be painted; a back is judged after that moment."""
    s.press(s.card_centre(pos), 3)
    try:
        time.sleep(0.1)
        deadline = time.monotonic() + 1.0
        while True:
            shot = s.screenshot()
            got = s.card_kind(shot, pos)
            if got == want or want != "face" or time.monotonic() > deadline:
                break
    finally:
        s.release(3)
    check(got == want, "%s: position %d shows %s while the right button is held, want %s"
          % (what, pos, got, want))
    return shot


def _wait_covered(s, pos, what):
    def covered():
        return s.card_kind(s.screenshot(), pos) == "back"
    wait_for(covered, 1.5, "%s: position %d covered again after the release" % (what, pos))


def _looks(s, exp, role, view):
    """Right presses by the role in turn on both hand cards, the face-down
    cards and the face-up card (hand cards lie face down). Only the own hand
    card's release is logged, in the own log."""
    own, other = OWN[role], OWN[_other_role(role)]
    what = "ViewCard %s, %s in turn" % (view, role)
    held = _held_look(s, own, "face", what + ", own hand card")
    check(s.frame_pen(held, own) == GREEN, "%s: the own frame is not green during a look" % what)
    exp.one(role, look_record(role))
    s.wait_lines(role, len(exp.lines[role]))
    _wait_covered(s, own, what)

    want = "face" if view == "ALL" else "back"
    held = _held_look(s, other, want, what + ", the other role's hand card")
    check(s.frame_pen(held, own) == GREEN and s.frame_pen(held, other) == GREY,
          "%s: a right press on the other role's card moved the turn" % what)
    if want == "face":
        _wait_covered(s, other, what)
    for pos, kind in ((1, "back"), (3, "back"), (2, "face")):
        _held_look(s, pos, kind, "%s, position %d" % (what, pos))
    time.sleep(0.1)
    compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (%s)" % what)
    compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (%s)" % what)


def _look_run(program, out, view):
    """Hidden hand cards under one ViewCard value: looks by both roles, and
    whether the ColorKeeper's swap hands the turn over."""
    name = "look_viewcard-" + view.lower()
    work = make_workdir(out, name, {"ViewCkNk": "FALSE", "ViewCard": view}, LOOK_SHOE)
    with Session(program, work, out, name) as s:
        s.login("V1")
        exp = Expected("V1")
        shot = s.wait_ready(CK, 1)
        check_table(s, shot, CK, {0: "back", 1: "back", 2: "face", 3: "back", 4: "back", 5: "face"})
        exp.deal(deal_of(LOOK_SHOE[0]))
        _looks(s, exp, CK, view)

        s.drag_card(2, 0)  # the face-up 3C onto the ColorKeeper's 2H
        exp.one(CK, pickup_record(CK, "3C", UP))
        exp.move(CK, "3C", UP, "2H", CKH)
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_lines(NK, len(exp.lines[NK]))
        s.wait_still()
        at_once = view in ("NONE", "ALL")
        check_table(s, s.screenshot(), NK if at_once else CK, {0: "back", 2: "face", 4: "back"})
        if not at_once:
            # Nothing is pending: a look at the other card moves no turn,
            # only a pass does.
            held = _held_look(s, 4, "back", "ViewCard %s after the swap" % view)
            check(s.frame_pen(held, 0) == GREEN, "ViewCard %s: the turn moved on a right press" % view)
            time.sleep(0.1)
            check_table(s, s.screenshot(), CK, {})
            s.pass_turn()
            exp.pass_(CK)
            s.wait_lines(NK, len(exp.lines[NK]))
            s.wait_still()
            check_table(s, s.screenshot(), NK, {})
        _looks(s, exp, NK, view)
        exp.verify(s)


def _mix_drag_handover(program, out):
    """ViewCard MIX: after the ColorKeeper's swap, the drag start of a table
    card is logged for the ColorKeeper, then hands the turn over, so the
    drop is the NumberKeeper's move."""
    name = "look_viewcard-mix"
    work = make_workdir(out, name, {"ViewCkNk": "FALSE", "ViewCard": "MIX"}, LOOK_SHOE)
    with Session(program, work, out, name) as s:
        s.login("V2")
        exp = Expected("V2")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(LOOK_SHOE[0]))
        s.drag_card(0, 2)  # the ColorKeeper's 2H onto the face-up 3C
        exp.one(CK, pickup_record(CK, "2H", CKH))
        exp.move(CK, "3C", UP, "2H", CKH)
        s.wait_lines(NK, len(exp.lines[NK]))
        s.wait_still()
        check_table(s, s.screenshot(), CK, {0: "back", 2: "face", 4: "back"})

        def picked_up():
            exp.one(CK, pickup_record(CK, "2C", DN))
            s.wait_lines(CK, len(exp.lines[CK]))
            compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (drag start completing the hand-over)")
            compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (drag start completing the hand-over)")
        s.drag_card(3, 4, hold=picked_up)  # the face-down 2C onto the NumberKeeper's 4H
        exp.move(NK, "2C", DN, "4H", NKH)
        s.wait_lines(NK, len(exp.lines[NK]))
        s.wait_still()
        check_table(s, s.screenshot(), NK, {0: "back", 3: "back", 4: "back"})
        time.sleep(0.1)
        exp.verify(s)


def scenario_look_viewcard(program, out):
    """Hidden hand cards under ViewCard NONE, ALL and another word: who sees
    which card on a right press, which releases are logged, and when a swap
    hands the turn over; under MIX, the hand-over by a drag start."""
    for view in ("NONE", "ALL", "SOME"):
        _look_run(program, out, view)
    _mix_drag_handover(program, out)


def scenario_box_during_glide(program, out):
    """A swap that reaches the move limit opens the ForcedHandOver box while
    the other card still glides: the box must take the participant's Return
    at once."""
    shoe = ["4C 2H 3C 3H 2C 4H   4C   ck"]
    work = make_workdir(out, "box_during_glide", {"MaxRounds": "1"}, shoe)
    with Session(program, work, out, "box_during_glide") as s:
        s.login("G")
        exp = Expected("G")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(shoe[0]))
        s.drag_card(3, 0)  # the hand card glides the long way to the face-down place
        wid = s.wait_box()
        s.x("windowfocus", "--sync", wid)
        s.x("key", "Return")
        try:
            wait_for(lambda: wid not in s.visible_windows("^QBXSolo$"), 1.5, "the box to close")
            ignored = False
        except E2EFailure:
            ignored = True
            s.save_screenshot(os.path.join(out, "box_during_glide-box.png"))
            s.dismiss_box()
        exp.one(CK, pickup_record(CK, "2C", DN))
        exp.move(CK, "2C", DN, "2H", CKH)
        exp.hand_end("GM:", 1, 0, "950")
        play_to_end(s, exp, 1)
        check(not ignored, "the message box opened during the glide ignored Return "
              "(it is disabled with the table until the glide ends)")


# ---------------------------------------------------------------------------
# Drops that are no swap, and the help window


def scenario_drops(program, out):
    """A card dropped on a frame band, the pass and help buttons, the
    background, two captions, the other role's card and the Target card when
    the swap is illegal glides back; only the pick-up is logged and no button
    acts."""
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck"]
    work = make_workdir(out, "drops", {"ViewTarget": "FALSE"}, shoe)
    with Session(program, work, out, "drops") as s:
        s.login("D")
        exp = Expected("D")
        shot = s.wait_ready(CK, 1)
        check(s.card_kind(shot, 6) == "none", "the goal card is shown although ViewTarget is off")
        exp.deal(deal_of(shoe[0]))
        a, b = s.anchor
        targets = {
            "the Target's frame band": (a + 152 - 4, b + 50),
            "the pass button": s.button_centre(PASS_BUTTON),
            "the background": (a - 60, b + 60),
            "the NumberKeeper's card": s.card_centre(4),
            "the help button": s.button_centre(HELP_BUTTON),
            "the Target's caption": (a + 180, b - 24),
            "the move counter's caption": (a - 220, b + 150),
        }
        still = s.screenshot()
        lying = {pos: _place_pixels(s, still, pos) for pos in range(6)}

        def drop(who, frm, point, card, what):
            s.drag(s.card_centre(frm), point)
            exp.one(who, pickup_record(who, card, PLACE_NAMES[frm]))
            s.wait_lines(who, len(exp.lines[who]))
            s.wait_still()
            time.sleep(0.1)
            compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (drop on %s)" % what)
            compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (drop on %s)" % what)
            check(not s.visible_windows("^QBX Help$"), "the help window opened on a drop on %s" % what)
            now = s.screenshot()
            for pos in range(6):
                check(_place_pixels(s, now, pos) == lying[pos],
                      "position %d changed after a drop on %s" % (pos, what))
            check(s.frame_pen(now, OWN[who]) == GREEN, "the turn changed after a drop on %s" % what)

        for what, point in targets.items():
            drop(CK, 0, point, "2H", what)
        # Moves between the face-up card and the Target are never allowed.
        drop(CK, 2, s.card_centre(5), "3C", "the Target (from the face-up place)")
        # The table still takes a pass.
        s.pass_turn()
        exp.pass_(CK)
        s.wait_lines(NK, len(exp.lines[NK]))
        s.wait_still()
        # The NumberKeeper's 4H and the Target 3H have different numbers.
        drop(NK, 4, s.card_centre(5), "4H", "the Target (numbers differ)")
        exp.verify(s)


BACKGROUND = (-60, 60)  # a point on the bare table left of the ColorKeeper's card, from the anchor


def _no_drag(s, exp, pos, what, logged=None):
    """A left drag from pos to the background that must not pick the card
    up: it stays in its place and nothing follows the pointer. `logged` is
    the look record that the release on a locked own hand card writes."""
    a, b = s.anchor
    end = (a + BACKGROUND[0], b + BACKGROUND[1])
    before = _place_pixels(s, s.screenshot(), pos)

    def in_place():
        held = s.screenshot()
        check(_place_pixels(s, held, pos) == before, "%s: the card left its place" % what)
        check(s.held_kind(held, end) == "none", "%s: a card follows the pointer" % what)
    s.drag(s.card_centre(pos), end, hold=in_place)
    if logged is not None:
        exp.one(*logged)
        s.wait_lines(logged[0], len(exp.lines[logged[0]]))
    time.sleep(0.15)
    compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (%s)" % what)
    compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (%s)" % what)


def _swap(s, exp, role, frm, to, cards):
    """A legal swap by dragging frm onto to, which hands the turn over
    (ViewCard ALL); cards maps position codes to the card texts lying there
    and is brought up to date."""
    hand = OWN[role]
    other = to if frm == hand else frm
    s.drag_card(frm, to)
    exp.one(role, pickup_record(role, cards[frm], PLACE_NAMES[frm]))
    exp.move(role, cards[other], PLACE_NAMES[other], cards[hand], PLACE_NAMES[hand])
    s.wait_lines(CK, len(exp.lines[CK]))
    s.wait_lines(NK, len(exp.lines[NK]))
    cards[hand], cards[other] = cards[other], cards[hand]
    s.wait_still()
    check_table(s, s.screenshot(), _other_role(role), {})


def _drag_run(program, out, drag_hand):
    """Hand cards face up, ViewCard ALL, Drag CkNk TRUE (drag_hand) or FALSE."""
    name = "drag_permissions-" + ("free" if drag_hand else "locked")
    work = make_workdir(out, name, {"Drag CkNk": "TRUE" if drag_hand else "FALSE"}, LOOK_SHOE)
    with Session(program, work, out, name) as s:
        s.login("W")
        exp = Expected("W")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(LOOK_SHOE[0]))
        cards = {POS[p]: c for p, c in deal_of(LOOK_SHOE[0]).items()}
        a, b = s.anchor
        end = (a + BACKGROUND[0], b + BACKGROUND[1])

        if drag_hand:
            # The own hand card is picked up and follows the pointer.
            lying = _place_pixels(s, s.screenshot(), 0)

            def follows():
                held = s.screenshot()
                check(s.held_kind(held, end) == "face", "the picked-up hand card does not follow the pointer")
                check(_place_pixels(s, held, 0) != lying, "the picked-up hand card still lies in its place")
            s.drag(s.card_centre(0), end, hold=follows)
            exp.one(CK, pickup_record(CK, "2H", CKH))
            s.wait_lines(CK, len(exp.lines[CK]))
            s.wait_still()
            check(_place_pixels(s, s.screenshot(), 0) == lying, "the dropped hand card did not come back")
        else:
            # A locked own hand card: no pick-up, the release is a look.
            _no_drag(s, exp, 0, "the ColorKeeper drags its locked card",
                     logged=(CK, look_record(CK)))
        _no_drag(s, exp, 4, "the ColorKeeper drags the NumberKeeper's card")
        s.click(s.card_centre(4))
        time.sleep(0.15)
        compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (click on the other role's card)")
        compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (click on the other role's card)")

        if drag_hand:
            _swap(s, exp, CK, 0, 1, cards)  # hand card onto a face-down card
            _no_drag(s, exp, 0, "the NumberKeeper drags the ColorKeeper's card")
            _swap(s, exp, NK, 2, 4, cards)  # the face-up card onto the hand card
            _swap(s, exp, CK, 3, 0, cards)  # a face-down card onto the hand card
            _swap(s, exp, NK, 4, 2, cards)  # hand card onto the face-up card
        else:
            _swap(s, exp, CK, 2, 0, cards)
            _no_drag(s, exp, 4, "the NumberKeeper drags its locked card", logged=(NK, look_record(NK)))
            _no_drag(s, exp, 0, "the NumberKeeper drags the ColorKeeper's card")
            _swap(s, exp, NK, 1, 4, cards)
        time.sleep(0.1)
        exp.verify(s)


def scenario_drag_permissions(program, out):
    """Which cards a left press picks up with Drag CkNk TRUE and otherwise,
    for both roles, and swaps made by dragging either card of the pair."""
    _drag_run(program, out, True)
    _drag_run(program, out, False)


def scenario_help(program, out):
    """The help window opens over the table and closes with CLOSE; nothing is
    logged and the hand goes on."""
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck"]
    work = make_workdir(out, "help", {}, shoe)
    with Session(program, work, out, "help") as s:
        s.login("H")
        exp = Expected("H")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(shoe[0]))
        before = (s.ck_raw(), s.nk_raw())
        s.click(s.button_centre(HELP_BUTTON))
        wid = s.find_window("^QBX Help$", 5)
        _x, _y, w, h = s.geometry(wid)
        check(abs(w - 753) <= 20 and abs(h - 673) <= 40, "help window is %dx%d" % (w, h))
        s.x("mousemove", "--window", wid, HELP_CLOSE[0] + HELP_CLOSE[2] // 2,
            HELP_CLOSE[1] + HELP_CLOSE[3] // 2, "sleep", "0.05", "click", "1")
        wait_for(lambda: wid not in s.visible_windows("^QBX Help$"), 5, "the help window to close")
        check((s.ck_raw(), s.nk_raw()) == before, "opening and closing the help wrote to the logs")
        s.wait_still()
        s.pass_turn()
        exp.pass_(CK)
        s.wait_lines(NK, len(exp.lines[NK]))
        exp.verify(s)


def scenario_input_gate(program, out):
    """While a card glides the table takes no input, releases included: a
    look held from before and released during the glide is not logged and
    its card is covered once the glide ends; Space released on the focused
    help button during the glide opens no help."""
    work = make_workdir(out, "input_gate", {"ViewCkNk": "FALSE"}, LOOK_SHOE)
    with Session(program, work, out, "input_gate") as s:
        s.login("IG")
        exp = Expected("IG")
        s.wait_ready(CK, 1)
        exp.deal(deal_of(LOOK_SHOE[0]))

        s.press(s.card_centre(0), 3)
        time.sleep(0.15)
        check(s.card_kind(s.screenshot(), 0) == "face", "the held look shows no face")
        refused_drop_then(s, ["mouseup", "3"])
        exp.one(CK, pickup_record(CK, "3C", UP))
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        check(s.card_kind(s.screenshot(), 0) == "back",
              "the ColorKeeper's hand card stays uncovered after a release during the glide")
        time.sleep(0.1)
        compare_text(s.ck_lines(), exp.lines[CK], "ColorKeeper (a release during the glide)")
        compare_text(s.nk_lines(), exp.lines[NK], "NumberKeeper (a release during the glide)")

        # Input is back: a look is logged as ever.
        _held_look(s, 0, "face", "a look after the glide")
        exp.one(CK, look_record(CK))
        s.wait_lines(CK, len(exp.lines[CK]))

        # The help button gets the focus from a press that ends off it.
        help_at = s.button_centre(HELP_BUTTON)
        s.x("windowfocus", "--sync", s.table_wid)
        s.press(help_at, 1)
        s.x("mousemove", "--window", s.table_wid, help_at[0], help_at[1] + 200, "sleep", "0.05", "mouseup", "1")
        s.x("keydown", "space")
        refused_drop_then(s, ["keyup", "space"])
        exp.one(CK, pickup_record(CK, "3C", UP))
        s.wait_lines(CK, len(exp.lines[CK]))
        s.wait_still()
        time.sleep(0.5)
        check(not s.visible_windows("^QBX Help$"), "Space released during a glide opened the help")
        # The same key with the table taking input does open it.
        s.x("key", "space")
        wid = s.find_window("^QBX Help$", 5)
        s.x("mousemove", "--window", wid, HELP_CLOSE[0] + HELP_CLOSE[2] // 2,
            HELP_CLOSE[1] + HELP_CLOSE[3] // 2, "sleep", "0.05", "click", "1")
        wait_for(lambda: wid not in s.visible_windows("^QBX Help$"), 5, "the help window to close")
        time.sleep(0.1)
        exp.verify(s)


def _tall_title_config(out):
    """openbox's own configuration with a title font large enough for a
    title bar taller than 32 pixels."""
    with open("/etc/xdg/openbox/rc.xml") as f:
        rc = f.read()
    rc, n = re.subn(r'(<font place="(?:ActiveWindow|InactiveWindow)">\s*<name>[^<]*</name>\s*<size>)\d+(</size>)',
                    r"\g<1>26\g<2>", rc)
    check(n == 2, "openbox's rc.xml has no title fonts to enlarge")
    path = os.path.join(out, "help_tall_title.rc.xml")
    with open(path, "w") as f:
        f.write(rc)
    return path


def scenario_help_tall_title(program, out):
    """Under a theme whose title bar is taller than 32 pixels the help is
    still 753 x 673 outside, centred on the screen."""
    if not shutil.which("openbox") or not os.path.exists("/etc/xdg/openbox/rc.xml"):
        raise Skipped("openbox is not installed")
    shoe = ["4C 2H 3C 3H 2C 4H   2H   ck"]
    work = make_workdir(out, "help_tall_title", {}, shoe)
    with Session(program, work, out, "help_tall_title", wm=True, wm_config=_tall_title_config(out)) as s:
        s.login("HT")
        s.wait_ready(CK, 1)
        s.click(s.button_centre(HELP_BUTTON))
        wid = s.find_window("^QBX Help$", 5)
        last = {}

        def placed():
            r = subprocess.run(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"], env=s.env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode()
            m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", r)
            if not m:
                return None
            left, right, top, bottom = map(int, m.groups())
            x, y, w, h = s.geometry(wid)
            outer = (x - left, y - top, w + left + right, h + top + bottom)
            last.update(outer=outer, top=top)
            return (top, outer) if outer[2:] == (753, 673) else None
        try:
            top, outer = wait_for(placed, 3.0, "the help to be 753 x 673 outside")
        except E2EFailure:
            raise E2EFailure("the help's frame is %s (x, y, width, height; title bar %s pixels), not 753 x 673"
                             % (last.get("outer"), last.get("top")))
        check(top > 32, "the theme's title bar is %d pixels high, not taller than 32" % top)
        sw, sh = s.screen
        check(outer[:2] == ((sw - 753) // 2, (sh - 673) // 2), "the help's frame is at %s, not centred" % (outer[:2],))
        s.x("mousemove", "--window", wid, HELP_CLOSE[0] + HELP_CLOSE[2] // 2,
            HELP_CLOSE[1] + HELP_CLOSE[3] // 2, "sleep", "0.05", "click", "1")
        wait_for(lambda: wid not in s.visible_windows("^QBX Help$"), 5, "the help window to close")


# ---------------------------------------------------------------------------
# Start-up failures


def _fail_run(program, out, name, work, code="X1"):
    """Logs in, expects exactly one message box, dismisses it and waits for
    the program to end."""
    s = Session(program, work, out, name).start()
    try:
        s.wait_login()
        s.submit_code(code)
        s.dismiss_box(timeout=8)
        status = s.wait_exit(5)
        return s, status
    except BaseException:
        s.collect(name + "-fail")
        s.stop()
        raise


def scenario_no_dataout(program, out):
    work = make_workdir(out, "no_dataout", {}, ["4C 2H 3C 3H 2C 4H 2H ck"], dataout=False)
    before = tree_listing(work)
    s, status = _fail_run(program, out, "no_dataout", work)
    s.stop()
    check(status == 0, "exit status %s" % status)
    check(not os.path.exists(os.path.join(work, "dataout")), "dataout was created")
    check(tree_listing(work) == before, "files changed in the working directory")


def scenario_missing_shoe(program, out):
    work = make_workdir(out, "missing_shoe", {"ShoeFileName": "absent.txt"}, None)
    s, status = _fail_run(program, out, "missing_shoe", work, "M 2")
    s.stop()
    check(status == 0, "exit status %s" % status)
    ck, nk = s.ck_lines(), s.nk_lines()
    compare_text(ck, header(CK, "M 2"), "ColorKeeper")
    compare_text(nk, header(NK, "M 2"), "NumberKeeper")


def scenario_faulty_shoe(program, out):
    shoe = ["4C 2H 3C 3H 2C 4H 2H ck", "4C 2H 3C 3H 2C 4C 2H ck"]  # 4C twice on line 3
    work = make_workdir(out, "faulty_shoe", {}, shoe)
    s, status = _fail_run(program, out, "faulty_shoe", work)
    s.stop()
    check(status == 0, "exit status %s" % status)
    check(s.log_files() == [], "log files written for a faulty shoe: %s" % s.log_files())


def scenario_bad_back(program, out):
    work = make_workdir(out, "bad_back", {}, ["4C 2H 3C 3H 2C 4H 2H ck"],
                        back_bytes=b"this is not a bitmap\n")
    s, status = _fail_run(program, out, "bad_back", work)
    s.stop()
    compare_text(s.ck_lines(), header(CK, "X1"), "ColorKeeper")
    compare_text(s.nk_lines(), header(NK, "X1"), "NumberKeeper")


def scenario_empty_code(program, out):
    work = make_workdir(out, "empty_code", {}, ["4C 2H 3C 3H 2C 4H 2H ck"])
    with Session(program, work, out, "empty_code") as s:
        login = s.wait_login()
        s.submit_code("")
        s.dismiss_box()
        time.sleep(0.3)
        check(s.visible_windows("^QBX$") == [login], "the login window did not stay alone on the screen")
        check(s.log_files() == [], "files in dataout after an empty code")
        # The login still works afterwards.
        s.submit_code("E5")
        s.wait_table()
        s.wait_lines(CK, 5)
        compare_text(s.ck_lines()[:5], header(CK, "E5"), "ColorKeeper")



# ---------------------------------------------------------------------------
# A long scripted game, killed runs, a full disk, a removed dataout


# ---------------------------------------------------------------------------
# A simulated session and the same actions in the real window

SIMULATE_SHOE = ["4C 2H 3C 3H 2C 4H   2H   ck",
                 "3H 4C 2C 2H 4H 3C   3C   nk"]
# Hand cards face down (so that the simulated players look at theirs), the
# turn handed over at once, a short move limit.
SIMULATE_PARAMETERS = {"ViewCard": "NONE", "ViewCkNk": "FALSE", "MaxRounds": "6"}
SIMULATE_SEED = "2"


def _simulated_actions(ck_lines, nk_lines):
    """What the participants of a simulated session did, in time order, from
    its two logs: each role's own pick-ups, looks, moves and passes (from its
    own log), the deals and the hand ends (from the ColorKeeper's), each
    with its role, its log and the number of lines its log had then."""
    events = []
    rank = {"pR": 0, "pL": 0, "PM": 1, "PP": 1, "GE": 2, "GP": 2, "GM": 2, "GC": 3}
    for role, lines in ((CK, ck_lines), (NK, nk_lines)):
        for i, line in enumerate(lines):
            stamps, rest = leading_stamps(line)
            code = rest[:2]
            if not stamps or code not in rank or (role == NK and code in ("GE", "GP", "GM", "GC")):
                continue
            if code == "GE" and rest.startswith("GE::"):
                continue  # the game end, not a hand's
            events.append((stamps[0], rank[code], role, code, rest, i + 1))
    events.sort(key=lambda e: (e[0], e[1]))
    return events


def scenario_simulate_replay(program, out):
    """qbxtool simulate plays one session; the same actions (pick-ups and
    drags, looks, passes, the boxes closed) are then played in the real
    window with the same participant code, and both pairs of logs agree
    record for record, stamps masked."""
    tool = os.path.join(os.path.dirname(program), "qbxtool")
    if not os.access(tool, os.X_OK):
        raise Skipped("no qbxtool beside %s" % program)
    sim_work = make_workdir(out, "simulate_replay_sim", SIMULATE_PARAMETERS, SIMULATE_SHOE)
    run = subprocess.run([tool, "simulate", "--sessions", "1", "--players", "random", "--seed", SIMULATE_SEED,
                          sim_work], capture_output=True, text=True)
    check(run.returncode == 0, "qbxtool simulate failed: %s%s" % (run.stdout, run.stderr))
    sim_dataout = os.path.join(sim_work, "dataout")
    logs = {}
    for name in os.listdir(sim_dataout):
        if re.match(r"^(ck|nk)\d{6}_\d+\.txt$", name):
            with open(os.path.join(sim_dataout, name), "rb") as f:
                logs[name[:2]] = split_log(f.read())
    check(sorted(logs) == [CK, NK], "the simulated session's logs: %s" % sorted(logs))
    events = _simulated_actions(logs[CK], logs[NK])
    codes = [e[3] for e in events]
    check("pL" in codes and "PM" in codes and "PP" in codes,
          "the simulated session has no look, move or pass to play again: %s" % codes)

    work = make_workdir(out, "simulate_replay", SIMULATE_PARAMETERS, SIMULATE_SHOE)
    with Session(program, work, out, "simulate_replay") as s:
        s.login("SIM-0001")
        deals = 0
        picked = {}
        for _stamp, _rank, role, code, rest, lines_then in events:
            if code == "GC":
                # The first card of a deal: wait for the whole deal.
                if count_prefixed(logs[CK][:lines_then], "GC:") % 6 == 1:
                    deals += 1
                    s.wait_ready(SIMULATE_SHOE[deals - 1].split()[-1], deals)
            elif code == "pR":
                picked[role] = rest.split(":")[2]  # pR:<card>:<place>:...
            elif code == "PM":
                _a, place_a, _b, place_b = rest[3:].split(":")[0].split(";")
                start = picked.pop(role)
                s.drag_card(POS[start], POS[place_b if place_a == start else place_a])
                s.wait_lines(role, lines_then)
                s.wait_still()
            elif code == "PP":
                s.pass_turn()
                s.wait_lines(role, lines_then)
            elif code == "pL":
                s.press(s.card_centre(POS[CKH] if role == CK else POS[NKH]), 3)
                time.sleep(0.2)
                s.release(3)
                s.wait_lines(role, lines_then)
            elif code in ("GP", "GM"):
                s.dismiss_box()
        s.dismiss_box()  # the game's end
        check(s.wait_exit(5) == 0, "exit status %s after the game end" % s.exit_status)
        compare_text(s.ck_lines(), [masked(l) for l in logs[CK]], "ColorKeeper")
        compare_text(s.nk_lines(), [masked(l) for l in logs[NK]], "NumberKeeper")


SCRIPT_HANDS = 30
SCRIPT_SEED = 3
SCRIPT_CODE = "S30"
RSS_GROWTH_KB = 3 * 1024
_reference = {}


def _script():
    return scripted_game(SCRIPT_HANDS, SCRIPT_SEED)


def _script_workdir(out, name, hands=None):
    script = _script()[:hands]
    return make_workdir(out, name, SCRIPT_PARAMETERS, [h.line for h in script]), script


def reference_run(program, out, hands=SCRIPT_HANDS):
    """The scripted game (its first `hands` hands) played to its end once:
    its raw logs, the expected text, the line counts of both logs at every
    checkpoint, the resident size after hands 5 and 30 and the exit status.
    The soak judges the whole game; the killed runs and the full disk are
    judged against a reference of the same hands."""
    ref = _reference.setdefault(hands, {})
    if "error" in ref:
        raise E2EFailure("the reference run of the scripted game failed: %s" % ref["error"])
    if "ck" in ref:
        return ref
    name = "soak_30_hands" if hands == SCRIPT_HANDS else "reference_%d_hands" % hands
    work, script = _script_workdir(out, name, hands)
    counts, rss = {}, {}
    try:
        with Session(program, work, out, name) as s:
            def hook(tag, hand, action):
                counts[(tag, hand, action)] = (len(s.ck_lines()), len(s.nk_lines()))
                if tag == "ended" and hand in (5, SCRIPT_HANDS):
                    time.sleep(0.2)
                    rss[hand] = vm_rss_kb(s.proc.pid)
            play = ScriptedPlay(s, script, SCRIPT_CODE, hook=hook)
            status = play.play()
            ref.update(ck=s.ck_raw(), nk=s.nk_raw(), files=s.log_files(), expected=play.exp.lines,
                       counts=counts, rss=rss, status=status, script=script)
    except Exception as e:
        ref["error"] = str(e).splitlines()[0] if str(e) else type(e).__name__
        raise
    return ref


def _masked_lines(raw, label):
    """The whole lines of a log. A record is one write call, but the kernel
    stops a write of a killed process between two pages of the file: a log
    may end in part of a record only where a 4 KB page ends (that part is
    left out)."""
    if raw and not raw.endswith(b"\r\n"):
        check(len(raw) % 4096 == 0, "%s log ends in part of a record: %r" % (label, raw[-60:]))
        raw = raw[:raw.rfind(b"\r\n") + 2]
    return [masked(l) for l in split_log(raw)]


def _check_prefix(raw, ref_raw, label):
    """raw holds whole lines only, and stamps masked, they are the first
    lines of the reference log."""
    got = _masked_lines(raw, label)
    ref = [masked(l) for l in split_log(ref_raw)]
    check(len(got) <= len(ref), "%s log holds %d lines, the whole game %d" % (label, len(got), len(ref)))
    for i, (g, r) in enumerate(zip(got, ref)):
        check(g == r, "%s log line %d is %r, the complete run has %r" % (label, i + 1, g, r))
    return len(got)


def _count(lines, pred):
    return sum(1 for l in lines if pred(leading_stamps(l)[1]))


def scenario_soak_30_hands(program, out):
    """Thirty hands of swaps and passes in the real window: every record of
    every kind in both logs, the exit after the last box, and no growth."""
    ref = reference_run(program, out)
    script = ref["script"]
    check(ref["status"] == 0, "exit status %s after the game-end box" % ref["status"])
    check(len(ref["files"]) == 2, "dataout holds %s" % ref["files"])
    ck, nk = split_log(ref["ck"]), split_log(ref["nk"])
    compare_text(ck, ref["expected"]["ck"], "ColorKeeper")
    compare_text(nk, ref["expected"]["nk"], "NumberKeeper")
    check_stamps(ck, nk)

    actions = [a for h in script for a in h.actions]
    swaps = {r: sum(1 for a in actions if a.kind == "swap" and a.role == r) for r in (CK, NK)}
    passes = {r: sum(1 for a in actions if a.kind == "pass" and a.role == r) for r in (CK, NK)}
    ends = {c: sum(1 for h in script if h.end_code == c) for c in ("GP:", "GM:", "GE:")}
    check(min(ends.values()) >= 5 and min(swaps.values()) >= 5 and min(passes.values()) >= 5,
          "the script lacks variety: %s %s %s" % (ends, swaps, passes))
    for role, lines in ((CK, ck), (NK, nk)):
        other = NK if role == CK else CK
        want = {
            "GS": 1, "GC": 6 * SCRIPT_HANDS,
            "PM": swaps[role], "RM": swaps[other], "PP": passes[role], "RP": passes[other],
            "pR": swaps[role], "pL": 0,
            "GP:": ends["GP:"], "GM:": ends["GM:"], "GE:": ends["GE:"],
            ":Hand Ended": SCRIPT_HANDS, "exhaustion": 1, ":gameDone": 1,
        }
        got = {
            "GS": _count(lines, lambda r: r.startswith("GS:")),
            "GC": _count(lines, lambda r: r.startswith("GC:")),
            "PM": _count(lines, lambda r: r.startswith("PM:")),
            "RM": _count(lines, lambda r: r.startswith("RM:")),
            "PP": _count(lines, lambda r: r.startswith("PP:")),
            "RP": _count(lines, lambda r: r.startswith("RP:")),
            "pR": _count(lines, lambda r: r.startswith("pR:")),
            "pL": _count(lines, lambda r: r.startswith("pL:")),
            ":Hand Ended": _count(lines, lambda r: r == ":Hand Ended"),
            "exhaustion": _count(lines, lambda r: r == "GE::Game ended due to exhaustion of shoe"),
            ":gameDone": _count(lines, lambda r: r == ":gameDone"),
        }
        for code in ("GP:", "GM:", "GE:"):
            got[code] = _count(lines, lambda r, code=code: HAND_END.match(r) is not None and r.startswith(code))
        check(got == want, "%s log: records per kind %s, the script caused %s" % (role, got, want))
        check(len(lines) == 5 + 8 * SCRIPT_HANDS + len(actions) + swaps[role] + 3,
              "%s log holds %d lines" % (role, len(lines)))
        check(lines[-1] == "TotalMove:%d" % len(actions), "%s log ends with %r" % (role, lines[-1]))

    rss = ref["rss"]
    check(5 in rss and SCRIPT_HANDS in rss, "resident size not sampled: %s" % rss)
    with open(os.path.join(out, "soak_30_hands.rss"), "w") as f:
        f.write("VmRSS after hand 5: %d kB, after hand %d: %d kB\n" % (rss[5], SCRIPT_HANDS, rss[SCRIPT_HANDS]))
    check(rss[SCRIPT_HANDS] - rss[5] < RSS_GROWTH_KB,
          "resident size grew from %d kB after hand 5 to %d kB after hand %d"
          % (rss[5], rss[SCRIPT_HANDS], SCRIPT_HANDS))


# (what, checkpoint, delay after it in s, whether the line counts are those
# of the complete run at that checkpoint)
KILL_POINTS = [
    ("during the first deal", ("login", 0, 0), 0.8, False),
    ("right after the first deal", ("ready", 1, 0), 0.0, True),
    ("with a card held", ("held", 1, 1), 0.0, True),
    ("during the glide of a swap", ("recorded", 1, 1), 0.0, True),
    ("right after a swap", ("settled", 1, 1), 0.0, True),
    ("as a pass is clicked", ("input", 1, 2), 0.0, False),
    ("right after a pass", ("recorded", 1, 2), 0.0, True),
    ("during the hand-end box", ("box", 1, 0), 0.0, True),
    ("between hands", ("ended", 1, 0), 0.4, True),
    ("during the second deal", ("ended", 1, 0), 2.0, False),
    ("as the goal swap is dropped", ("input", 2, 1), 0.05, False),
]


def scenario_kill_anytime(program, out):
    """The program killed with SIGKILL at points all through the first
    hands of the scripted game, each in a fresh run: the records written
    before the kill are all on disk, whole and in order, a prefix of the
    complete run, and dataout holds the two logs only."""
    _killed_runs(program, out, reference_run(program, out), KILL_POINTS, "kill_anytime")


# The lighter variant: a kill in each phase of a hand, judged against the
# first three hands played to their end instead of the whole game.
KILL_IN_HAND_POINTS = [KILL_POINTS[i] for i in (2, 3, 5, 7, 9)]


def scenario_kill_in_hand(program, out):
    """The program killed (SIGKILL) with a card held, during a glide, as a
    pass is clicked, during the hand-end box and during the next deal: the
    same judgement as kill_anytime, against a three-hand reference."""
    hands = max(p[1][1] for p in KILL_IN_HAND_POINTS) + 1
    _killed_runs(program, out, reference_run(program, out, hands), KILL_IN_HAND_POINTS, "kill_in_hand")


def _killed_runs(program, out, ref, points, tag):
    hands = max(p[1][1] for p in points) + 1
    for n, (what, point, delay, exact) in enumerate(points, start=1):
        name = "%s-%02d" % (tag, n)
        work, script = _script_workdir(out, name, hands)
        with Session(program, work, out, name) as s:
            before = {}

            def hook(tag, hand, action):
                if (tag, hand, action) != point:
                    return
                time.sleep(delay)
                before.update(ck=s.ck_raw(), nk=s.nk_raw())
                kill_program(s)
                raise Killed()
            try:
                ScriptedPlay(s, script, SCRIPT_CODE, hook=hook).play()
                raise E2EFailure("kill %s: the script ended before the kill point" % what)
            except Killed:
                pass
            label = "kill %d (%s)" % (n, what)
            check(s.proc.returncode == -signal.SIGKILL, "%s: status %s" % (label, s.proc.returncode))
            files = s.log_files()
            check(len(files) == 2 and files[0].startswith("ck") and files[1] == "nk" + files[0][2:],
                  "%s: dataout holds %s" % (label, files))
            lines = {}
            for role, raw in ((CK, s.ck_raw()), (NK, s.nk_raw())):
                check(raw.startswith(before[role]),
                      "%s: the %s log lost records it held before the kill" % (label, role))
                lines[role] = _check_prefix(raw, ref[role], "%s: %s" % (label, role))
            check(lines[CK] >= 5 and lines[NK] >= 5, "%s: the header is not whole: %s" % (label, lines))
            if exact:
                want = ref["counts"][point]
                check((lines[CK], lines[NK]) == want,
                      "%s: the logs hold %s lines, the complete run held %s there" % (label, lines, want))


def _mount_tmpfs(path, size):
    if os.geteuid() != 0:
        raise Skipped("mounting a small file system needs root")
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s,mode=0755" % size, "tmpfs", path],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if r.returncode != 0:
        raise Skipped("cannot mount a tmpfs here: %s" % r.stdout.decode().strip())


DISK_FULL_FILLER = 20 * 1024


def scenario_disk_full(program, out):
    """dataout is a 32 KiB tmpfs, all but three pages of it taken by a filler
    (so that it fills within a few hands): the scripted game is played until
    a record finds no room. A box titled QBXSolo tells it and no other box
    follows, the program ends with status 0, the logs are whole lines and a
    prefix of the game, and they took every page that was free (the run
    record and the setup copy none)."""
    if os.geteuid() != 0:
        raise Skipped("mounting a small file system needs root")
    ref = reference_run(program, out)
    work, script = _script_workdir(out, "disk_full")
    dataout = os.path.join(work, "dataout")
    _mount_tmpfs(dataout, "32k")
    try:
        with open(os.path.join(dataout, "filler"), "wb") as f:
            f.write(b"\0" * DISK_FULL_FILLER)
        with Session(program, work, out, "disk_full") as s:
            play = ScriptedPlay(s, script, SCRIPT_CODE, watch_boxes=True)
            try:
                play.play()
                raise E2EFailure("the whole game fitted on the small disk")
            except BoxShown:
                told = "by a box of its own"
                s.dismiss_box()  # checks the caption
                status = records.ends_without_another_box(s)
            except ProgramEnded:
                # The failing record was the last of a hand that ends with a
                # box: the box the script took for the hand's end told it.
                told = "by the box taken for the hand's end"
                status = s.proc.returncode
            s.collect("disk_full-end")
            with open(os.path.join(out, "disk_full.note"), "w") as f:
                f.write("full in hand %d, told %s; ck %d bytes, nk %d bytes\n"
                        % (play.hand, told, len(s.ck_raw()), len(s.nk_raw())))
            check(status == 0, "exit status %s after the full disk was told" % status)
            check(play.hand >= 3, "the disk filled in hand %d already" % play.hand)
            check(play.hand <= SCRIPT_HANDS, "the disk filled only at the game end")
            ck, nk = s.ck_raw(), s.nk_raw()
            free = os.statvfs(dataout)
            check(free.f_bavail == 0, "%d blocks still free on the full disk" % free.f_bavail)
            check(max(len(ck), len(nk)) > 4096 - 100, "the logs hold only %d and %d bytes"
                  % (len(ck), len(nk)))
            _check_prefix(ck, ref[CK], "ColorKeeper")
            _check_prefix(nk, ref[NK], "NumberKeeper")
            records.check_logs_took_the_room(dataout, s.log_files(), 32 * 1024 - DISK_FULL_FILLER, ("filler",))
            cores = [f for f in os.listdir(work) if f.startswith("core")]
            check(not cores, "core files: %s" % cores)
    finally:
        r = subprocess.run(["umount", dataout], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode != 0:
            subprocess.run(["umount", "-l", dataout])


def scenario_dataout_removed(program, out):
    """dataout removed while a hand is in play: the next action brings up a
    box, the program ends with status 0 and does not make dataout again."""
    work, script = _script_workdir(out, "dataout_removed", 2)
    with Session(program, work, out, "dataout_removed") as s:
        s.login("R1")
        s.wait_ready(script[0].first, 1)
        shutil.rmtree(s.dataout())
        s.pass_turn()
        s.dismiss_box(timeout=5)
        check(s.wait_exit(5) == 0, "exit status %s after the removal was told" % s.exit_status)
        check(not os.path.exists(s.dataout()), "dataout was made again")


def scenario_polite_kill(program, out):
    """SIGTERM during the first hand: the program ends by the signal's
    default action, the logs keep what was played, and the run record is
    completed first with how it ended."""
    work, script = _script_workdir(out, "polite_kill", 3)
    with Session(program, work, out, "polite_kill") as s:
        s.login("K1")
        s.wait_ready(script[0].first, 1)
        s.proc.send_signal(signal.SIGTERM)
        check(s.wait_exit(5) == -signal.SIGTERM, "exit status %s after SIGTERM" % s.exit_status)
    record = check_run_record(work, how="the program was ended (SIGTERM)")
    check(record["end"]["hands"] == 1, "hands %s, not 1" % record["end"]["hands"])


# ---------------------------------------------------------------------------
# The Windows build's message box under another program's system commands

BOX_COMMANDS_HELPER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                   "windows", "box_commands.c")


def scenario_box_commands(program, out):
    """The four-passes box of the Windows build under a program of Windows'
    own (tests/windows/box_commands.c) that sends it the system commands of
    a caption, a window menu and the taskbar, and minimises it through
    ShowWindow. Each attempt must leave the box where it was, shown, above
    every window and in the foreground; then one click on OK closes it, the
    hand's end block is in both logs and the next hand is dealt."""
    from desktop import PASS_SHOE, Passer, count_prefixed_any
    from harness import WINE64
    if not under_wine():
        raise Skipped("sends Windows system commands: for the Windows build under Wine")
    compiler = shutil.which("x86_64-w64-mingw32-gcc")
    if compiler is None:
        raise Skipped("no x86_64-w64-mingw32-gcc to build the helper")
    helper = os.path.join(out, "box_commands.exe")
    built = subprocess.run([compiler, "-O2", "-Wall", "-o", helper, BOX_COMMANDS_HELPER],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    check(built.returncode == 0, "the helper did not build:\n%s" % built.stdout.decode(errors="replace"))
    shoe = PASS_SHOE[:2]
    work = make_workdir(out, "box_commands", {}, shoe)
    results = []
    with Session(program, work, out, "box_commands") as s:
        s.login("W1")
        passer = Passer(s, shoe)
        s.wait_ready(passer.firsts[0], 1)
        while passer.in_hand < 3:
            passer.next_pass()
        passer.next_pass(dismiss=False)
        box = s.wait_box()
        time.sleep(0.3)
        done = subprocess.run([WINE64, helper], env=s.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=60)
        client = None
        for line in done.stdout.decode(errors="replace").splitlines():
            if line.startswith("ok "):
                results.append(("box: " + line[3:], None))
            elif line.startswith("FAIL "):
                what, _, why = line[5:].partition(":")
                results.append(("box: " + what, why.strip()))
            elif line.startswith("client "):
                client = tuple(int(v) for v in line.split()[1:])
        check(results and client is not None,
              "the helper ended with status %d and said:\n%s" % (done.returncode, done.stdout.decode()))
        name = "box: one click on OK closes it, the hand's end block is in both logs"
        try:
            ck_before, nk_before = count_prefixed_any(s.ck_lines(), "GP:"), count_prefixed_any(s.nk_lines(), "GP:")
            s.x("mousemove", *ok_button_point(s, client), "sleep", "0.05", "click", "1")
            wait_for(lambda: box not in s.visible_windows("^QBXSolo$"), 3.0, "one click on OK to close the box")
            wait_for(lambda: count_prefixed_any(s.ck_lines(), "GP:") > ck_before
                     and count_prefixed_any(s.nk_lines(), "GP:") > nk_before, 3.0, "the GP: block in both logs", alive=s.assert_running)
            results.append((name, None))
        except E2EFailure as e:
            s.save_screenshot(os.path.join(out, "box_commands-ok.png"))
            results.append((name, str(e)))
            return results
        name = "the game goes on: the next hand is dealt"
        try:
            wait_for(lambda: count_prefixed(s.ck_lines(), "GC:") >= 12 and count_prefixed(s.nk_lines(), "GC:") >= 12,
                     5.0, "the second deal in both logs", alive=s.assert_running)
            results.append((name, None))
        except E2EFailure as e:
            results.append((name, str(e)))
    return results


SCENARIOS = [
    ("game_default", scenario_game_default),
    ("replay_pixels", scenario_replay_pixels),
    ("game_circular", scenario_game_circular),
    ("look_mix", scenario_look_mix),
    ("look_viewcard", scenario_look_viewcard),
    ("box_during_glide", scenario_box_during_glide),
    ("drops", scenario_drops),
    ("drag_permissions", scenario_drag_permissions),
    ("help", scenario_help),
    ("input_gate", scenario_input_gate),
    ("help_tall_title", scenario_help_tall_title),
    ("no_dataout", scenario_no_dataout),
    ("missing_shoe", scenario_missing_shoe),
    ("faulty_shoe", scenario_faulty_shoe),
    ("bad_back", scenario_bad_back),
    ("empty_code", scenario_empty_code),
    ("participant", scenario_participant),
    ("soak_30_hands", scenario_soak_30_hands),
    ("kill_anytime", scenario_kill_anytime),
    ("kill_in_hand", scenario_kill_in_hand),
    ("disk_full", scenario_disk_full),
    ("dataout_removed", scenario_dataout_removed),
    ("polite_kill", scenario_polite_kill),
    # The run record and the setup copy cost a session nothing; signals ignored at start stay ignored.
    *records.SCENARIOS,
    # Each returns its attempts, reported one by one.
    ("window_manager", scenario_window_manager),
    # The same windows under each desktop's window manager, with the requests
    # its key bindings and panels send (a CTest of their own: e2e_desktops).
    ("window_manager_openbox", scenario_desktop("openbox")),
    ("window_manager_xfwm4", scenario_desktop("xfwm4")),
    ("window_manager_metacity", scenario_desktop("metacity")),
    ("window_manager_icewm", scenario_desktop("icewm")),
    ("screen_sizes", scenario_screen_sizes),
    ("simulate_replay", scenario_simulate_replay),
    # The Windows build's message box under system commands (Wine only).
    ("box_commands", scenario_box_commands),
]


# The lighter kill covers what kill_anytime does natively in a fraction of
# its time; it is for the Windows build.
NATIVE_SKIPS = {"kill_in_hand", "box_commands"}

# Under Wine by default: a whole game, the failures at login, the help window
# and kills during a hand (about four minutes on two cores).
WINE_SCENARIOS = ["game_default", "help", "no_dataout", "missing_shoe", "faulty_shoe", "bad_back",
                  "empty_code", "kill_in_hand", "box_commands"]

# What cannot be asked of the Windows build under Wine, and why.
WINE_SKIPS = {
    "simulate_replay": "its simulated session comes from the Linux qbxtool beside the program",
    "soak_30_hands": "reads the resident size from /proc, which knows Wine's process, not Windows' figure",
    "kill_anytime": "its reference is the 30-hand game; kill_in_hand kills the Windows build in each phase",
    "disk_full": "mounts a Linux tmpfs over dataout; the Windows full-disk test runs in core_tests.exe",
    "dataout_removed": "removes dataout behind Wine's back, which Windows refuses while the logs are open",
    "polite_kill": "sends SIGTERM, a POSIX signal with no Windows counterpart",
    **records.WINE_SKIPS,
    "participant": "pastes through an X clipboard owner built for Linux",
    "window_manager": "drives openbox, a Linux window manager",
    "screen_sizes": "checks the table against Linux screens of other sizes",
    "help_tall_title": "measures an openbox frame; Windows draws the help's caption itself",
    "window_manager_openbox": "drives openbox, a Linux window manager",
    "window_manager_xfwm4": "drives xfwm4, a Linux window manager",
    "window_manager_metacity": "drives metacity, a Linux window manager",
    "window_manager_icewm": "drives icewm, a Linux window manager",
}


# Scenarios that measure time (input sent while a card glides, a box opened
# during a glide, a kill timed into a glide, a bound after SIGTERM): with
# --jobs they run one by one after the others, alone on the machine.
TIMED = {"input_gate", "box_during_glide", "kill_in_hand", "sigterm_busy_record"}

# Scenarios that share what one of them computes (the 30-hand reference run
# of the scripted game): with --jobs they run together in one process, in
# this order.
SHARED_RUNS = [("soak_30_hands", "kill_anytime", "disk_full")]

# With --jobs, the longest start first so that the others fill the gaps.
LONGEST_FIRST = ["soak_30_hands", "kill_anytime", "disk_full", "window_manager", "look_viewcard", "screen_sizes"]


def _batches(names):
    """The chosen scenarios as the units of a parallel run: shared runs kept
    together, the longest first, the timed ones apart."""
    grouped, units = set(), []
    for group in SHARED_RUNS:
        members = [n for n in group if n in names and n not in TIMED]
        if members:
            units.append(members)
            grouped.update(members)
    units += [[n] for n in names if n not in grouped and n not in TIMED]
    rank = {n: i for i, n in enumerate(LONGEST_FIRST)}
    units.sort(key=lambda u: rank.get(u[0], len(rank)))
    return units, [[n] for n in names if n in TIMED]


def _run_parallel(args, names, jobs):
    """Runs each unit of scenarios in a child run_e2e.py, `jobs` at a time,
    then the timed ones one by one; prints each child's lines when it ends.
    Returns (passed, failed, skipped)."""
    base = [sys.executable, os.path.abspath(__file__), "--program", os.path.abspath(args.program),
            "--out", os.path.abspath(args.out)]
    if args.replay_states:
        base += ["--replay-states", args.replay_states]
    if args.replay:
        base += ["--replay", args.replay]
    totals = [0, 0, 0]
    summary = re.compile(r"^(\d+) passed, (\d+) failed$")

    def finish(unit, proc):
        text = proc.stdout.read().decode(errors="replace")
        proc.stdout.close()
        status = proc.wait()
        failed = None
        for line in text.splitlines():
            m = summary.match(line)
            if m:
                totals[0] += int(m.group(1))
                failed = int(m.group(2))
            elif re.match(r"^\d+ skipped$", line):
                totals[2] += int(line.split()[0])
            elif not line.startswith("suite took "):
                print(line, flush=True)
        if failed:
            totals[1] += failed
        elif failed is None or status != 0:
            totals[1] += 1
            print("FAIL  %s: the run ended with status %s and no summary" % (" ".join(unit), status), flush=True)

    parallel, timed = _batches(names)
    running = []
    for unit in parallel:
        while len(running) >= jobs:
            time.sleep(0.2)
            for entry in [e for e in running if e[1].poll() is not None]:
                running.remove(entry)
                finish(*entry)
        running.append((unit, subprocess.Popen(base + ["--exact"] + unit, stdout=subprocess.PIPE,
                                               stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)))
    for entry in running:
        finish(*entry)
    for unit in timed:
        proc = subprocess.Popen(base + ["--exact"] + unit, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL)
        finish(unit, proc)
    return tuple(totals)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--only", nargs="*", help="scenarios to run; a name also runs those named NAME_*")
    ap.add_argument("--skip", nargs="*", default=[], action="extend", help="scenarios not to run (NAME_* too)")
    ap.add_argument("--wine", action="store_true",
                    help="the program is a Windows build: run it under Wine (the default for an .exe)")
    ap.add_argument("--replay-states",
                    help="tests/replay's replay_states: each session that ends on its own is played again "
                         "from its logs and must show the live table at every action")
    ap.add_argument("--replay", help="qbxreplay, for the scenario that holds its table against the live one")
    ap.add_argument("--jobs", type=int, default=1,
                    help="scenarios run at a time, each on its own screen (not under Wine); TIMED ones alone")
    ap.add_argument("--exact", nargs="*", help=argparse.SUPPRESS)  # these scenarios, by their whole names
    ap.add_argument("--wine-prefix",
                    help="the Wine prefix to use, made if it is not there (default: OUT/wine-prefix, made anew)")
    args = ap.parse_args()
    program = os.path.abspath(args.program)
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    wine = args.wine or program.lower().endswith(".exe")
    if not os.path.isfile(program) or not (wine or os.access(program, os.X_OK)):
        print("error: %s is not an executable program" % program)
        return 2

    if args.replay:
        REPLAY["program"] = os.path.abspath(args.replay)
    if args.replay_states and not wine:
        use_replay_states(os.path.abspath(args.replay_states))
    passed = failed = skipped = 0
    t_all = time.monotonic()
    if args.jobs > 1 and not wine and not args.exact:
        names = [name for name, _ in SCENARIOS if _chosen(name, args, wine)]
        passed, failed, skipped = _run_parallel(args, names, args.jobs)
        print("suite took %.1f s" % (time.monotonic() - t_all))
        if skipped:
            print("%d skipped" % skipped)
        print("%d passed, %d failed" % (passed, failed))
        return 1 if failed else 0
    if wine:
        prefix = WinePrefix(args.wine_prefix or os.path.join(out, "wine-prefix"))
        t0 = time.monotonic()
        try:
            prefix.make(os.path.join(out, "wine-prefix.log"), fresh=args.wine_prefix is None)
        except Exception as e:
            print("error: could not make the Wine prefix %s: %s" % (prefix.path, e))
            return 2
        print("      Wine prefix %s ready in %.1f s" % (prefix.path, time.monotonic() - t0), flush=True)
        use_wine(prefix)
    for name, fn in SCENARIOS:
        if not _chosen(name, args, wine):
            continue
        t0 = time.monotonic()
        if wine and name in WINE_SKIPS:
            skipped += 1
            print("skip  %-14s under Wine: %s" % (name, WINE_SKIPS[name]), flush=True)
            continue
        try:
            attempts = fn(program, out)
            if isinstance(attempts, list):
                for attempt, failure in attempts:
                    if failure is None:
                        passed += 1
                        print("ok    %s / %s" % (name, attempt), flush=True)
                    else:
                        failed += 1
                        print("FAIL  %s / %s\n%s" % (name, attempt, _indent(failure)), flush=True)
                        _keep_evidence(out, name)
                print("      %-14s %5.1f s" % (name, time.monotonic() - t0), flush=True)
                continue
            passed += 1
            print("ok    %-14s %5.1f s" % (name, time.monotonic() - t0), flush=True)
        except Skipped as e:
            skipped += 1
            print("skip  %-14s %5.1f s: %s" % (name, time.monotonic() - t0, e), flush=True)
        except E2EFailure as e:
            failed += 1
            print("FAIL  %-14s %5.1f s\n%s" % (name, time.monotonic() - t0, _indent(str(e))), flush=True)
            _keep_evidence(out, name)
        except Exception:
            failed += 1
            print("FAIL  %-14s %5.1f s (error)\n%s" % (name, time.monotonic() - t0,
                                                       _indent(traceback.format_exc())), flush=True)
            _keep_evidence(out, name)
    if wine:
        prefix.kill()
    print("suite took %.1f s" % (time.monotonic() - t_all))
    if skipped:
        print("%d skipped" % skipped)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


def _chosen(name, args, wine):
    if args.exact is not None:
        return name in args.exact
    if args.only and not _named(name, args.only) or _named(name, args.skip):
        return False
    if not args.only and not wine and name in NATIVE_SKIPS:
        return False
    return args.only or not wine or name in WINE_SCENARIOS


def _named(name, names):
    return any(name == n or name.startswith(n + "_") for n in names)


def _indent(text):
    return "\n".join("      " + l for l in text.rstrip().splitlines())


def _keep_evidence(out, name):
    print("      evidence: %s" % os.path.join(out, name), flush=True)


if __name__ == "__main__":
    sys.exit(main())
