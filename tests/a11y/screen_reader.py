#!/usr/bin/python3
"""The game as a screen reader meets it.

Starts the real game in a temporary game folder on an Xvfb of its own, with
a private session bus and AT-SPI bus, reads its windows through pyatspi the
way Orca does and plays two games to their end through the buttons' press
actions: one that ends in "Game Over!", one that ends in the name prompt.

Usage: screen_reader.py GAME XVFB_HELPER DELIVERED_FILE...
"""
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
started = []  # pids, ended last first
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
    env = os.environ
    env["XDG_RUNTIME_DIR"] = os.path.join(tmp, "run")
    os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
    env.pop("AT_SPI_BUS_ADDRESS", None)
    shell = subprocess.Popen(
        ["bash", "-c", '. "$0"; start_xvfb 300 349 "$1" || exit 1; echo "$DISPLAY $xvfb_pid"; '
         'wait "$xvfb_pid"', xvfb_helper, os.path.join(tmp, "xvfb.log")],
        stdout=subprocess.PIPE, text=True)
    started.append(shell.pid)
    line = shell.stdout.readline().split()
    if len(line) != 2:
        fail("no Xvfb came up: " + open(os.path.join(tmp, "xvfb.log")).read())
    env["DISPLAY"] = line[0]
    started.append(int(line[1]))
    # A window manager gives the focus back to the main window when a
    # window of the game closes, as on a desktop.
    started.append(subprocess.Popen(["openbox", "--sm-disable"], stderr=subprocess.DEVNULL).pid)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address",
                            "--address=unix:path=" + os.path.join(tmp, "bus")],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    started.append(bus.pid)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                stderr=subprocess.DEVNULL)
    started.append(launcher.pid)
    os.mkdir(os.path.join(tmp, "game"))
    for path in delivered:
        shutil.copy(path, os.path.join(tmp, "game"))
    # Qt speaks to AT-SPI when a reader asks for it; Orca does through the bus.
    global player
    player = subprocess.Popen([game], cwd=os.path.join(tmp, "game"),
                              env=dict(env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
    started.append(player.pid)


def descendants(pid):
    kids = []
    for entry in os.listdir("/proc"):
        try:
            with open(f"/proc/{entry}/stat") as f:
                if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                    kids += descendants(int(entry)) + [int(entry)]
        except (OSError, ValueError, IndexError):
            pass
    return kids


def stop_services():
    # The AT-SPI bus launcher runs the bus and the registry as its children.
    for pid in reversed([p for q in started for p in descendants(q) + [q]]):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    shutil.rmtree(tmp, ignore_errors=True)


def check(tree):
    def children(node):
        return [node.getChildAtIndex(i) for i in range(node.childCount)]

    def walk(node):
        yield node
        for child in children(node):
            yield from walk(child)

    def named(node, name):
        return next((o for o in walk(node) if o.name == name), None)

    def app():
        desktop = tree.Registry.getDesktop(0)
        return next(a for a in children(desktop) if a and a.name == "Squibbo")

    def window(name):
        return next((w for w in children(app()) if w.name == name
                     and w.getState().contains(tree.STATE_SHOWING)), None)

    def press(node):
        action = node.queryAction()
        action.doAction(next(i for i in range(action.nActions) if action.getName(i) == "Press"))

    def close(name):
        press(named(window(name), "OK"))
        wait_for(f"{name} to close", lambda: not window(name))

    def labelled_by(root, caption):
        return next(o for o in walk(root) for r in o.getRelationSet()
                    if r.getRelationType() == tree.RELATION_LABELLED_BY
                    and r.getTarget(0).name == caption)

    def looks_right(root, role):
        if root.getRoleName() != role:
            fail(f"{root.name!r} reads as a {root.getRoleName()}, not a {role}")
        for o in walk(root):
            # Nothing unnamed, nothing that only fills.
            if not o.name.strip() or o.getRoleName() == "filler":
                fail(f"in {root.name!r}: a {o.getRoleName()} named {o.name!r}")

    def y(node):
        return node.queryComponent().getExtents(tree.DESKTOP_COORDS).y

    main = wait_for("the main window", lambda: window("Squibbo!"))
    looks_right(main, "frame")
    throw = named(main, "Throw It!")
    if [(o.getRoleName(), o.name) for o in walk(main) if o.getRoleName() == "image"] != [
            ("image", "Wendo"), ("image", "A cream pie")]:
        fail("the pictures are not named for what they show")
    panel = {c: labelled_by(main, c + ":") for c in ("Score", "Hits", "Misses", "Speed")}
    instructions = [[i.name for i in children(o)] for o in walk(main) if o.getRoleName() == "list"]
    if instructions != [[
            "Click \"Throw it\" to throw a pie. Aim towards Wendo's chin for maximum impact "
            "and points.", "When you miss 10 times, your game is over.",
            "Watch out when you get to 20 hits -- Wendo will begin to move like a crazy monkey."]]:
        fail(f"the instructions read as {instructions}")

    press(named(main, "About"))
    about = wait_for("the About window", lambda: window("About Squibbo"))
    looks_right(about, "dialog")
    tops = [y(o) for o in children(about)]
    if tops != sorted(tops) or named(about, "A cream pie") is None:
        fail(f"the About window does not read from the top down: {tops}")
    close("About Squibbo")

    def high_scores(expected):
        scores = wait_for("the High Scores window", lambda: window("High Scores"))
        looks_right(scores, "dialog")
        parts = [(o.getRoleName(), o.name) for o in children(scores)]
        rows = [i.name for o in children(scores) if o.getRoleName() == "list" for i in children(o)]
        # A push button, or a button to the newer AT-SPI.
        if parts[-1] not in (("push button", "OK"), ("button", "OK")) or rows != expected or (
                scores.description != ". ".join(expected) + "."):
            fail(f"the High Scores window reads {parts} with the rows {rows} "
                 f"({scores.description!r})")
        close("High Scores")

    throw_reads = re.compile(r"(?:Game over with a score of (-?\d+)\. New game\. |Hit, (\d+) "
                             r"points\. |Miss, 100 points off\. )?Score (-?\d+), hits (\d+), "
                             r"misses (\d+)\.")

    def play_to_the_end():
        score = hits = misses = 0
        while True:
            before = throw.description
            wait_for("Throw It! ready", lambda: throw.getState().contains(tree.STATE_FOCUSED)
                     and throw.getState().contains(tree.STATE_ENABLED))
            press(throw)

            # The throw is over when the focus is back on the button with
            # news, the game when a dialog opens.
            def over():
                dialogs = [w for w in children(app()) if w.getRoleName() in ("dialog", "alert")
                           and w.getState().contains(tree.STATE_SHOWING)]
                if dialogs:
                    return dialogs[0]
                state = throw.getState()
                return (state.contains(tree.STATE_FOCUSED) and state.contains(tree.STATE_ENABLED)
                        and throw.description != before and "thrown")

            done = wait_for("the end of the throw", over)
            if done != "thrown":
                return done, score - 100
            said = throw_reads.fullmatch(throw.description)
            if not said:
                fail(f"after a throw Throw It! reads {throw.description!r}")
            points = int(said[2]) if said[2] else -100
            score, hits, misses = score + points, hits + (points >= 0), misses + (points < 0)
            if [int(said[n]) for n in (3, 4, 5)] != [score, hits, misses] or [
                    int(panel[c].name) for c in ("Score", "Hits", "Misses")] != [
                    score, hits, misses]:
                fail(f"after a throw Throw It! reads {throw.description!r}, the panel "
                     f"{[panel[c].name for c in panel]}, the score was {score}")

    # A table that no game beats ends in "Game Over!" with the final score.
    table("Ace", 32767)
    dialog, final = play_to_the_end()
    if named(dialog, "Game Over!") is None or (
            dialog.description != f"Game Over! Final score: {final}."):
        fail(f"the game ends in {[o.name for o in walk(dialog)]} ({dialog.description!r})")
    press(named(dialog, "OK"))
    high_scores([f"{k}, Ace {k}, 32767" for k in range(1, 11)])
    wait_for("the new game", lambda: throw.getState().contains(tree.STATE_FOCUSED))
    if not throw.description.startswith(f"Game over with a score of {final}. New game. Score 0"):
        fail(f"after the game Throw It! reads {throw.description!r}")

    # One that every game beats asks for the name and says the score.
    table("Novice", -32768)
    dialog, final = play_to_the_end()
    field = next(o for o in walk(dialog) if o.getRoleName() == "text")
    if dialog.name != "You got a high score!" or dialog.description != f"Final score: {final}.":
        fail(f"the name prompt {dialog.name!r} reads {dialog.description!r}")
    field.queryEditableText().setTextContents("Tester")
    press(named(dialog, "OK"))
    high_scores([f"1, Tester, {final}"] + [f"{k + 1}, Novice {k}, -32768" for k in range(1, 10)])


try:
    start_services()
    import pyatspi
    check(pyatspi)
    if player.poll() is not None:
        fail(f"the game ended with status {player.returncode}")
    print("the game reads as it should to a screen reader")
finally:
    stop_services()
