#!/usr/bin/python3
"""The game as a screen reader meets it: the real game on an Xvfb of its own
with private session and AT-SPI buses, read through pyatspi as Orca does over
two whole games, one ending in "Game Over!", one in the name prompt, with the
events that a reader hears: the focus and the news of each throw.
Usage: screen_reader.py GAME XVFB_HELPER DELIVERED_FILE..."""
import contextlib
import ctypes
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from session import Session  # noqa: E402

game, xvfb_helper, delivered = sys.argv[1], sys.argv[2], sys.argv[3:]
s = Session(xvfb_helper, 300, 349, delivered)
player = None  # the game


def fail(message):
    raise AssertionError(message)


def pump():
    # Hands the events that have come in to the listeners.
    from gi.repository import GLib
    while GLib.MainContext.default().iteration(False):
        pass


def wait_for(what, probe, seconds=60):
    deadline, error = time.monotonic() + seconds, None
    while time.monotonic() < deadline:
        pump()
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
    with open(os.path.join(s.folder, "squibbo.hi"), "w", newline="") as f:
        f.writelines(f'"{name} {k}",{score}\r\n' for k in range(1, 11))


def start_services():
    # A window manager gives the focus back to the main window when a
    # window of the game closes, as on a desktop.
    s.start(["openbox", "--sm-disable"])
    s.start_bus()
    # pyatspi reads the display and the bus from this process's own
    # environment.
    os.environ.update(s.env)
    s.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])


def start_game():
    global player
    # Qt speaks to AT-SPI when a reader asks for it; Orca does through the bus.
    player = subprocess.Popen([game], cwd=s.folder, env=dict(s.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))


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
                fail(f"in {root.name!r}: a {o.getRoleName()} named {o.name!r} among "
                     f"{[(x.getRoleName(), x.name) for x in walk(root)]}")

    def has(node, *states):
        return all(node.getState().contains(state) for state in states)

    def key(name):
        subprocess.run(["xdotool", "key", name], check=True)

    # What a reader hears without moving: news said as an announcement (Qt
    # 6.8 on) or as a notification that shows; and where the focus goes.
    heard, focused = [], []

    def listen(event):
        with contextlib.suppress(Exception):  # an object that goes as it is read
            if event.type == "object:announcement":
                heard.append(str(event.any_data))
            elif event.type.startswith("object:state-changed:showing") and event.detail1 and (
                    event.source.getRoleName() == "notification"):
                heard.append(event.source.name)
            elif event.type.startswith("object:state-changed:focused") and event.detail1:
                focused.append(event.source.name)
    atspi.Registry.registerEventListener(listen, "object:announcement",
                                         "object:state-changed:showing",
                                         "object:state-changed:focused")
    # The reader listens before the game starts, as Orca does on a desktop:
    # Qt asks for the listeners as it starts and hears of new ones after,
    # and one that comes in between, on a busy machine, goes unheard.
    start_game()

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
    # A reader says the unrelated labels of three words and more as a
    # dialog opens; the title and the version must be among them. The
    # picture is no Tab stop.
    said = [o.name for o in walk(about) if o.getRoleName() == "label" and not o.getRelationSet()
            and len(o.name.split()) >= 3 and o.name not in about.name]
    if not any(re.fullmatch(r"Squibbo, version \d+\.\d+\.\d+", n) for n in said) or has(
            named(about, "A cream pie"), atspi.STATE_FOCUSABLE):
        fail(f"the About window opens saying {said}, its picture a Tab stop or not")
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

    numbers = r"Score (-?\d+), hits (\d+), misses (\d+), speed (\d+)\.(?: (\d) miss(?:es)? left\.)?"
    news = re.compile(r"(?:Hit, (\d+) points|Miss, 100 points off)\. " + numbers)

    def panel_reads(score, hits, misses):
        left = 10 - misses if misses >= 8 else None
        return [int(label.name) for label in panel[:3]] == [score, hits, misses] and (
            panel[2].description == (f"{left} miss{'es' if left > 1 else ''} left" if left else ""))

    def away_and_back(expected):
        # Tab to "About" and back: Throw It! reads what it holds now, and
        # nothing is said meanwhile.
        del heard[:]
        key("Tab")
        wait_for("About", lambda: has(named(main, "About"), atspi.STATE_FOCUSED))
        key("shift+Tab")
        wait_for("Throw It!", lambda: has(throw, atspi.STATE_FOCUSED))
        if not re.fullmatch(expected, throw.description) or heard:
            fail(f"back on Throw It! it reads {throw.description!r}, and {heard} was said")

    def play_to_the_end():
        score = hits = misses = throws = 0
        while True:
            throws += 1
            wait_for("Throw It! ready", lambda: has(throw, atspi.STATE_FOCUSED, atspi.STATE_ENABLED))
            del heard[:], focused[:]
            press(throw)

            # The throw is over when its news is out and the button is
            # back, the game when a dialog opens.
            def over():
                dialogs = [w for w in children(app()) if w.getRoleName() in ("dialog", "alert")
                           and w.getState().contains(atspi.STATE_SHOWING)]
                return dialogs or (heard and has(throw, atspi.STATE_FOCUSED, atspi.STATE_ENABLED))

            done = wait_for("the end of the throw", over)
            pump()
            if done is not True:
                return done[0], score - 100
            said = news.fullmatch(heard[0])
            if not said:
                fail(f"a throw was heard as {heard}")
            points = int(said[1]) if said[1] else -100
            score, hits, misses = score + points, hits + (points >= 0), misses + (points < 0)
            # Heard once, while the focus stayed on the button, which tells
            # nothing old meanwhile.
            if len(heard) != 1 or set(focused) - {"Throw It!"} or [
                    int(n) for n in said.groups()[1:4]] != [score, hits, misses] or (
                    said[5] != panel[3].name.strip()) or not panel_reads(score, hits, misses) or (
                    (said[6] and int(said[6])) != (10 - misses if misses >= 8 else None)) or (
                    throw.description not in ("", heard[0][heard[0].index("Score"):])):
                fail(f"a throw was heard as {heard} with the focus on {focused}, the panel "
                     f"{[(label.name, label.description) for label in panel]}, the button "
                     f"{throw.description!r}; the score was {score}")
            if throws == 1:
                away_and_back(numbers)

    # A table that no game beats ends in "Game Over!" with the final score,
    # said once; the box reads as its message and OK, nothing more.
    table("Ace", 32767)
    dialog, final = play_to_the_end()
    wait_for("the focus on OK", lambda: has(named(dialog, "OK"), atspi.STATE_FOCUSED))
    looks_right(dialog, "alert")
    texts = [t for o in walk(dialog) for t in (o.name, o.description)]
    if named(dialog, f"Game Over! Final score: {final}.") is None or sum(
            t.count("Game Over!") for t in texts) != 1 or [
            o.name for o in walk(dialog) if has(o, atspi.STATE_FOCUSED)] != ["OK"] or [
            r for o in walk(dialog) for r in o.getRelationSet()
            if not all(r.getTarget(i).name.strip() for i in range(r.getNTargets()))]:
        fail(f"the game ends in {texts}, the focus on "
             f"{[o.name for o in walk(dialog) if has(o, atspi.STATE_FOCUSED)]}, relations to "
             f"{[[r.getTarget(i).name for i in range(r.getNTargets())] for o in walk(dialog) for r in o.getRelationSet()]}")
    del heard[:]
    press(named(dialog, "OK"))
    high_scores([f"{k}, Ace {k}, 32767" for k in range(1, 11)])
    # Back on Throw It!, the end of the game is said once, and no more.
    wait_for("the end of the game", lambda: heard and has(throw, atspi.STATE_FOCUSED))
    pump()
    if heard != [f"Game over with a score of {final}. New game. Score 0, hits 0, misses 0, "
                 "speed 100."] or throw.description != "Score 0, hits 0, misses 0, speed 100.":
        fail(f"after the game {heard} was said, and Throw It! reads {throw.description!r}")
    away_and_back(r"Score 0, hits 0, misses 0, speed 100\.")

    # One that every game beats asks for the name, with the score said once.
    table("Novice", -32768)
    dialog, final = play_to_the_end()
    field = next(o for o in walk(dialog) if o.getRoleName() == "text")
    question = f"Final score: {final}. Enter your name:"
    # The field reads as its label, once.
    texts = [t for o in walk(dialog) for t in (o.name, o.description) if o != field] + [
        field.description]
    if dialog.name != "You got a high score!" or sum(t.count("Final score") for t in texts) != 1 or (
            labelled_by(dialog, question) != field or field.name not in ("", question)):
        fail(f"the name prompt {dialog.name!r} reads {texts}, its field {field.name!r}")
    field.queryEditableText().setTextContents("Tester")
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
    s.end()
