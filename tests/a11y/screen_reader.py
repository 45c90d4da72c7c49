#!/usr/bin/python3
"""The game as a screen reader meets it: the real game on an Xvfb of its own
with private session and AT-SPI buses, read through pyatspi as Orca does over
two whole games, one ending in "Game Over!", one in the name prompt.
Usage: screen_reader.py GAME XVFB_HELPER DELIVERED_FILE..."""
import contextlib
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

game, xvfb_helper, delivered = sys.argv[1], sys.argv[2], sys.argv[3:]
tmp = tempfile.mkdtemp(prefix="squibbo-a11y-")
player = None  # the game


def fail(message):
    raise AssertionError(message)


def wait_for(what, probe, seconds=60):
    deadline, error = time.monotonic() + seconds, None
    while time.monotonic() < deadline:
        if player.poll() is not None:
            fail(f"the game ended with status {player.returncode} while waiting for {what}")
        try:
            found = probe()
        except Exception as e:  # not there yet, or a window that closes under our feet
            found, error = None, e
        if found:
            return found
        time.sleep(0.02)
    fail(f"timed out waiting for {what} ({error!r})")


def table(name, score):
    with open(os.path.join(tmp, "game", "squibbo.hi"), "w", newline="") as f:
        f.writelines(f'"{name} {k}",{score}\r\n' for k in range(1, 11))


def start_services():
    global player
    env = os.environ
    env["XDG_RUNTIME_DIR"] = os.path.join(tmp, "run")
    os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
    env.pop("AT_SPI_BUS_ADDRESS", None)
    shell = subprocess.Popen(
        ["bash", "-c", '. "$0"; start_xvfb 300 349 "$1" || exit 1; echo "$DISPLAY"; '
         'wait "$xvfb_pid"', xvfb_helper, os.path.join(tmp, "xvfb.log")],
        stdout=subprocess.PIPE, text=True)
    env["DISPLAY"] = shell.stdout.readline().strip()
    if not env["DISPLAY"]:
        fail("no Xvfb came up: " + open(os.path.join(tmp, "xvfb.log")).read())
    # A window manager gives the focus back to the main window when a
    # window of the game closes, as on a desktop.
    subprocess.Popen(["openbox", "--sm-disable"], stderr=subprocess.DEVNULL)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address",
                            "--address=unix:path=" + os.path.join(tmp, "bus")],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                     stderr=subprocess.DEVNULL)
    os.mkdir(os.path.join(tmp, "game"))
    for path in delivered:
        shutil.copy(path, os.path.join(tmp, "game"))
    # Qt speaks to AT-SPI when a reader asks for it; Orca does through the bus.
    player = subprocess.Popen([game], cwd=os.path.join(tmp, "game"),
                              env=dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))


def descendants(pid):
    kids = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError, IndexError):
            with open(f"/proc/{entry}/stat") as f:
                if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                    kids += [int(entry)] + descendants(int(entry))
    return kids


def stop_services():
    # All that was started here, and all that it started in turn (the AT-SPI
    # bus launcher runs the bus and the registry), is ours: ended by pid and
    # reaped here.
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid in descendants(os.getpid()):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, sig)
        deadline = time.monotonic() + 5
        with contextlib.suppress(ChildProcessError):
            while time.monotonic() < deadline:
                if os.waitpid(-1, os.WNOHANG) == (0, 0):
                    time.sleep(0.05)
    shutil.rmtree(tmp, ignore_errors=True)


def check(atspi):
    def children(node):
        return [node.getChildAtIndex(i) for i in range(node.childCount)]

    def walk(node):
        yield node
        for child in children(node):
            yield from walk(child)

    def named(node, name):
        return next((o for o in walk(node) if o.name == name), None)

    def app():
        return next(a for a in children(atspi.Registry.getDesktop(0)) if a and a.name == "Squibbo")

    def window(name):
        return next((w for w in children(app()) if w.name == name
                     and w.getState().contains(atspi.STATE_SHOWING)), None)

    def press(node):
        action = node.queryAction()
        action.doAction(next(i for i in range(action.nActions) if action.getName(i) == "Press"))

    def close(name):
        press(named(window(name), "OK"))
        wait_for(f"{name} to close", lambda: not window(name))

    def labelled_by(root, caption):
        return next(o for o in walk(root) for r in o.getRelationSet()
                    if r.getRelationType() == atspi.RELATION_LABELLED_BY
                    and r.getTarget(0).name == caption)

    def looks_right(root, role):
        if root.getRoleName() != role:
            fail(f"{root.name!r} reads as a {root.getRoleName()}, not a {role}")
        for o in walk(root):
            # Nothing unnamed, nothing that only fills.
            if not o.name.strip() or o.getRoleName() == "filler":
                fail(f"in {root.name!r}: a {o.getRoleName()} named {o.name!r}")

    main = wait_for("the main window", lambda: window("Squibbo!"))
    looks_right(main, "frame")
    throw = named(main, "Throw It!")
    if [o.name for o in walk(main) if o.getRoleName() == "image"] != ["Wendo", "A cream pie"]:
        fail("the pictures are not named for what they show")
    panel = [labelled_by(main, caption) for caption in ("Score:", "Hits:", "Misses:", "Speed:")]
    instructions = [[i.name for i in children(o)] for o in walk(main) if o.getRoleName() == "list"]
    if instructions != [[
            "Click \"Throw it\" to throw a pie. Aim towards Wendo's chin for maximum impact "
            "and points.", "When you miss 10 times, your game is over.",
            "Watch out when you get to 20 hits -- Wendo will begin to move like a crazy monkey."]]:
        fail(f"the instructions read as {instructions}")

    press(named(main, "About"))
    about = wait_for("the About window", lambda: window("About Squibbo"))
    looks_right(about, "dialog")
    tops = [o.queryComponent().getExtents(atspi.DESKTOP_COORDS).y for o in children(about)]
    if tops != sorted(tops) or named(about, "A cream pie") is None:
        fail(f"the About window does not read from the top down: {tops}")
    close("About Squibbo")

    def high_scores(expected):
        scores = wait_for("the High Scores window", lambda: window("High Scores"))
        # The window fills its rows as it becomes the active window.
        wait_for(f"the rows {expected}", lambda: expected == [
            i.name for o in children(scores) if o.getRoleName() == "list" for i in children(o)])
        looks_right(scores, "dialog")
        parts = [(o.getRoleName(), o.name) for o in children(scores)]
        # A push button, or a button to the newer AT-SPI.
        if parts[-1] not in (("push button", "OK"), ("button", "OK")) or (
                scores.description != ". ".join(expected) + "."):
            fail(f"the High Scores window reads {parts} ({scores.description!r})")
        close("High Scores")

    throw_reads = re.compile(r"(?:Hit, (\d+) points|Miss, 100 points off)\. "
                             r"Score (-?\d+), hits (\d+), misses (\d+)\.")

    def play_to_the_end():
        score = hits = misses = 0
        while True:
            before = throw.description
            wait_for("Throw It! ready", lambda: throw.getState().contains(atspi.STATE_FOCUSED)
                     and throw.getState().contains(atspi.STATE_ENABLED))
            press(throw)

            # The throw is over when the focus is back on the button with
            # news, the game when a dialog opens.
            def over():
                dialogs = [w for w in children(app()) if w.getRoleName() in ("dialog", "alert")
                           and w.getState().contains(atspi.STATE_SHOWING)]
                state = throw.getState()
                return dialogs or (state.contains(atspi.STATE_FOCUSED) and state.contains(
                    atspi.STATE_ENABLED) and throw.description != before)

            done = wait_for("the end of the throw", over)
            if done is not True:
                return done[0], score - 100
            said = throw_reads.fullmatch(throw.description)
            points = int(said[1]) if said and said[1] else -100
            score, hits, misses = score + points, hits + (points >= 0), misses + (points < 0)
            if not said or [int(n) for n in said.groups()[1:]] != [score, hits, misses] or [
                    int(label.name) for label in panel[:3]] != [score, hits, misses]:
                fail(f"after a throw Throw It! reads {throw.description!r}, the panel "
                     f"{[label.name for label in panel]}, the score was {score}")

    # A table that no game beats ends in "Game Over!" with the final score.
    table("Ace", 32767)
    dialog, final = play_to_the_end()
    if named(dialog, "Game Over!") is None or (
            dialog.description != f"Game Over! Final score: {final}."):
        fail(f"the game ends in {[o.name for o in walk(dialog)]} ({dialog.description!r})")
    press(named(dialog, "OK"))
    high_scores([f"{k}, Ace {k}, 32767" for k in range(1, 11)])
    wait_for("the new game", lambda: throw.getState().contains(atspi.STATE_FOCUSED))
    if not throw.description.startswith(f"Game over with a score of {final}. New game. Score 0"):
        fail(f"after the game Throw It! reads {throw.description!r}")

    # One that every game beats asks for the name and says the score.
    table("Novice", -32768)
    dialog, final = play_to_the_end()
    if dialog.name != "You got a high score!" or dialog.description != f"Final score: {final}.":
        fail(f"the name prompt {dialog.name!r} reads {dialog.description!r}")
    next(o for o in walk(dialog) if o.getRoleName() == "text").queryEditableText(
        ).setTextContents("Tester")
    press(named(dialog, "OK"))
    high_scores([f"1, Tester, {final}"] + [f"{k + 1}, Novice {k}, -32768" for k in range(1, 10)])


# What the services leave behind comes back to this process, not to init.
ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
try:
    start_services()
    import pyatspi
    check(pyatspi)
    if player.poll() is not None:
        fail(f"the game ended with status {player.returncode}")
    print("the game reads as it should to a screen reader")
finally:
    stop_services()
