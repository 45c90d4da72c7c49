#!/usr/bin/python3
"""The game on a Wayland desktop, played with a real seat: a compositor of
the test's own nested in an Xvfb of its own (weston's X11 backend, GNOME's
mutter --nested, KDE's kwin_wayland --x11-display), xdotool's pointer and
keys on it. The game runs natively, then as an X11 program of the
compositor's XWayland; each time About, High Scores and a whole game to
"Game Over!" are played from the keyboard.

Every window is put through what the desktop offers to make it larger: the
maximize button of the title bar that Qt draws itself, the compositor's own
shortcuts, a double click on the title, a drag at the edge. Meanwhile the
screen is read over and over: in every picture the window's content must be
whole (somewhere: a larger window shows it in its middle), and in the end the
window must be back at its place and size, the game running.

Natively the windows are found on the screen (the desktop places them side
by side); under XWayland, where the game places some of them itself, the X
server says where they are.

Usage: desktops.py weston|mutter|kwin XVFB_HELPER GAME DELIVERED_FILE...
The picture of a failure is kept where SQUIBBO_KEEP names. Exits with 77
(skipped) where the compositor is missing or cannot run nested."""
import os
import re
import shutil
import subprocess
import sys
import time

import numpy as np
from Xlib import X, display as xlib

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "support"))
from session import Session  # noqa: E402

desktop, xvfb_helper, game, delivered = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
BOUND = 60  # seconds for anything to happen; a busy machine takes a few


class Failed(Exception):
    pass


class Screen:
    """The Xvfb's picture; reading it fails once `process` has ended."""

    def __init__(self, name, process):
        self.root = xlib.Display(name).screen().root
        self.process = process
        self.picture = None

    def grab(self):
        if self.process.poll() is not None:
            raise Failed(f"{self.process.args[0]} ended with status {self.process.returncode}")
        g = self.root.get_geometry()
        image = self.root.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF)
        self.picture = np.frombuffer(image.data, np.uint8).reshape(g.height, g.width, 4)[:, :, :3]
        return self.picture

    def keep(self):
        if os.environ.get("SQUIBBO_KEEP") and self.picture is not None:
            h, w = self.picture.shape[:2]
            with open(s.path("shot.ppm"), "wb") as f:
                f.write(b"P6 %d %d 255\n" % (w, h) + self.picture[:, :, ::-1].tobytes())
            subprocess.run(["convert", s.path("shot.ppm"), os.environ["SQUIBBO_KEEP"]], check=False)


def crop(picture, box):
    x, y, w, h = box
    return picture[y:y + h, x:x + w]


class Patch:
    """A piece of a window's picture, and where it was, found again: first
    there, else anywhere (a few of its pixels unlike its commonest one
    narrow that search). A window's look changes a little with its
    activation (a button's focus frame comes and goes, its shades move by a
    step or two): pixels may differ slightly, and a few of them wholly."""
    SLIGHT, SPARE = 8, 0.08

    def __init__(self, pixels, home):
        self.pixels, self.home = pixels.astype(np.int16), home
        flat = pixels.reshape(-1, 3)
        colours, counts = np.unique(flat, axis=0, return_counts=True)
        if len(colours) < 3:
            raise Failed("a part of a window that shows nothing would prove nothing")
        rare = np.nonzero(np.any(flat != colours[counts.argmax()], axis=1))[0]
        self.probes = [divmod(int(i), pixels.shape[1])
                       for i in rare[np.linspace(0, len(rare) - 1, min(10, len(rare))).astype(int)]]

    def there(self, picture, at):
        seen = crop(picture, at + self.pixels.shape[1::-1])
        if seen.shape != self.pixels.shape:
            return False
        far = np.count_nonzero(np.any(np.abs(seen - self.pixels) > self.SLIGHT, axis=2))
        return far <= self.SPARE * seen.size / 3

    def find(self, picture):
        if self.there(picture, self.home):
            return self.home
        ph, pw = self.pixels.shape[:2]
        h, w = picture.shape[0] - ph + 1, picture.shape[1] - pw + 1
        votes = np.zeros((max(h, 0), max(w, 0)), np.uint8)
        wide = picture.astype(np.int16)
        for y, x in self.probes:
            votes += np.all(np.abs(wide[y:y + h, x:x + w] - self.pixels[y, x]) <= self.SLIGHT, axis=2)
        ys, xs = np.nonzero(votes >= len(self.probes) - 2)
        for i in np.argsort(-votes[ys, xs])[:50]:
            if self.there(picture, (int(xs[i]), int(ys[i]))):
                return int(xs[i]), int(ys[i])
        return None


def wait(what, condition, bound=BOUND):
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        found = condition(screen.grab())
        if found is not None and found is not False:
            return found
    raise Failed(f"timed out after {bound} s waiting for {what}")


def steady(what, part, still=0.25):
    """`part` of the screen once it has not changed for `still` seconds."""
    seen, since = None, None

    def condition(picture):
        nonlocal seen, since
        now = part(picture)
        if seen is None or not np.array_equal(now, seen):
            seen, since = now.copy(), time.monotonic()
        return time.monotonic() - since > still

    wait(what, condition)
    return seen


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, env=s.env)


def rest():
    xdo("mousemove", *desk.rest)


class Desktop:
    """The compositor on the Xvfb, its XWayland display, where the pointer
    rests (on the output where the game's other windows then open), and
    what it offers to make a window larger, natively and under XWayland."""

    def __init__(self):
        self.rest = (995, 695)
        self.xwayland = None
        socket = os.path.join(s.env["XDG_RUNTIME_DIR"], "squibbo")
        getattr(self, desktop)()
        deadline = time.monotonic() + BOUND
        while not os.path.exists(socket) or self.xwayland is None:
            if self.compositor.poll() is not None or time.monotonic() > deadline:
                raise Failed(f"{desktop} did not start:\n" + self.log())
            self.xwayland = self.find_xwayland()
            time.sleep(0.1)
        s.env["WAYLAND_DISPLAY"] = "squibbo"
        self.start_at = self.rest
        if desktop == "weston":
            self.weston_outputs()

    def log(self):
        return open(s.path("compositor.log"), errors="replace").read()

    def matched(self, pattern):
        found = re.search(pattern, self.log())
        return found.group(1) if found else None

    def tell_xwayland(self):
        """A program for the compositor to start, which says where its
        XWayland is and how to be let in, as the compositor tells the
        programs it starts."""
        told = s.path("xwayland")

        def read():
            if not os.path.exists(told):
                return None
            display, authority = open(told).read().split("\n")[:2]
            if authority:
                s.env["XAUTHORITY"] = authority
            return display

        self.find_xwayland = read
        # A script of its own: kwin splits what it is given at blanks.
        with open(s.path("tell"), "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n%s\\n" "$DISPLAY" "$XAUTHORITY" >{told}.part\n'
                    f'mv {told}.part {told}\nexec sleep infinity\n')
        os.chmod(s.path("tell"), 0o755)
        return [s.path("tell")]

    def weston(self):
        # Two outputs of 500 x 700 on a plain background: the main window
        # opens on the first, every other window on the second, where the
        # pointer rests.
        with open(s.path("weston.ini"), "w") as f:
            f.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff204060\npanel-position=none\n")
        self.compositor = s.start(
            ["weston", "--xwayland", "--config=" + s.path("weston.ini"), "--backend=x11-backend.so",
             "--use-pixman", "--width=500", "--height=700", "--output-count=2", "--socket=squibbo"],
            "compositor.log")
        self.find_xwayland = lambda: self.matched(r"xserver listening on display (:\d+)")
        self.actions = (["maximize", "double click", "edge"], ["double click", "edge"])
        self.platform = "wayland-egl"

    def weston_outputs(self):
        # Side by side on the X screen as they are in weston's space, so that
        # a window across both is seen whole.
        def second():
            tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                                  env=s.env).stdout
            found = re.search(r'^\s*(0x[0-9a-f]+) "Weston Compositor - screen1"', tree, re.M)
            return found and found.group(1)

        deadline = time.monotonic() + BOUND
        while not second():
            if time.monotonic() > deadline:
                raise Failed("weston showed no second output")
            time.sleep(0.1)
        xdo("windowmove", "--sync", second(), 500, 0)
        self.start_at = (250, 350)

    def mutter(self):
        s.start_bus()
        self.compositor = s.start(["mutter", "--nested", "--wayland", "--wayland-display=squibbo", "--",
                                   *self.tell_xwayland()],
                                  "compositor.log", MUTTER_DEBUG_DUMMY_MODE_SPECS="1000x700")
        self.actions = (["maximize", "super+Up", "alt+F10", "double click", "edge"],
                        ["super+Up", "alt+F10", "double click", "edge"])
        self.platform = "wayland"

    def kwin(self):
        s.start_bus()
        # Meta+F makes a window full screen, and windows open side by side,
        # as a user may set it up.
        os.makedirs(s.path("config"))
        with open(s.path("config/kglobalshortcutsrc"), "w") as f:
            f.write("[kwin]\nWindow Fullscreen=Meta+F,none,Make Window Fullscreen\n")
        with open(s.path("config/kwinrc"), "w") as f:
            f.write("[Windows]\nPlacement=Smart\n")
        # kwin puts a dialog over its window: this one beside it.
        with open(s.path("config/kwinrulesrc"), "w") as f:
            f.write("[1]\nDescription=Beside\ntitle=Squibbo\ntitlematch=1\nposition=560,60\npositionrule=2\n"
                    "[General]\ncount=1\nrules=1\n")
        kwin = shutil.which("kwin_wayland")
        # Debian 12's kwin_wayland carries a file capability that a container
        # may not grant; a copy runs without it, under the same name, which
        # its own platform plugin asks for.
        try:
            subprocess.run([kwin, "--version"], capture_output=True, check=True)
        except (PermissionError, subprocess.CalledProcessError):
            os.makedirs(s.path("kwin"))
            kwin = shutil.copy(kwin, s.path("kwin/kwin_wayland"))
        self.compositor = s.start(
            [kwin, "--x11-display", s.env["DISPLAY"], "--socket", "squibbo", "--xwayland",
             "--width", "1000", "--height", "700", "--no-lockscreen", "--", *self.tell_xwayland()],
            "compositor.log", XDG_CONFIG_HOME=s.path("config"))
        self.actions = (["super+Page_Up", "super+f", "double click", "edge"],) * 2
        self.platform = "wayland"


class Window:
    """A window of the game: where its content is on the screen, and the
    parts of the content that do not move, as they look at rest. Each of
    those must be seen whole in every picture, wherever the window is and
    whatever its size; at rest each is at its place."""

    def __init__(self, name, title, client, frame, parts, button):
        self.name, self.title, self.client, self.frame = name, title, client, frame
        x, y = client[:2]
        try:
            self.parts = [Patch(crop(screen.picture, (x + px, y + py, pw, ph)).copy(), (x + px, y + py))
                          for px, py, pw, ph in parts]
        except Failed:
            raise Failed(f"nothing of {name} is seen where it should be, at {client}")
        self.button = (x + button[0], y + button[1])

    def at(self, picture):
        """Where the content's corner is now (an X11 window manager may have
        moved it)."""
        found = self.parts[0].find(picture) if xserver else self.parts[0].home
        return found and (self.client[0] + found[0] - self.parts[0].home[0],
                          self.client[1] + found[1] - self.parts[0].home[1])

    def whole(self, picture):
        return all(part.find(picture) for part in self.parts)

    def at_rest(self, picture):
        if not xserver:
            return all(part.there(picture, part.home) for part in self.parts)
        # An X11 window manager may leave the window elsewhere: at rest it has
        # its own size and its content is together.
        found = [part.find(picture) for part in self.parts]
        shifts = {(f[0] - part.home[0], f[1] - part.home[1]) if f else None
                  for f, part in zip(found, self.parts)}
        shown = x_window(self.title)
        return None not in shifts and len(shifts) == 1 and shown and shown[1:] == self.client[2:]

    def gone(self, picture):
        return not any(part.find(picture) for part in self.parts)


def new_frame(picture, known):
    """The box of what differs from the desktop outside the known windows.
    A faint shadow around a window does not count."""
    differs = np.any(np.abs(picture.astype(np.int16) - empty) > 40, axis=2)
    # Nor does the pointer at rest, which the desktop may draw anew.
    for x, y, w, h in known + [(desk.rest[0] - 32, desk.rest[1] - 32, 64, 64)]:
        differs[y:y + h, x:x + w] = False
    ys, xs = np.nonzero(differs)
    if not len(ys):
        return None
    return int(xs.min()), int(ys.min()), int(xs.max() - xs.min() + 1), int(ys.max() - ys.min() + 1)


def x_window(title):
    """Under XWayland: the id and size of the shown window named `title`."""
    def xwininfo(*args):
        return subprocess.run(["xwininfo", *args], capture_output=True, text=True,
                              env=dict(s.env, DISPLAY=xserver)).stdout

    for window in re.findall(rf'^\s*(0x[0-9a-f]+) "{re.escape(title)}"', xwininfo("-root", "-tree"), re.M):
        got = dict(re.findall(r"(Width|Height|Map State): (\S+)", xwininfo("-id", window)))
        if got.get("Map State") == "IsViewable":
            return window, int(got["Width"]), int(got["Height"])
    return None


def x_picture(window):
    """What the X server holds of a window's content (xwd's dump, 32 bits a
    pixel), as the screen's pictures are."""
    dump = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True, env=dict(s.env, DISPLAY=xserver),
                          check=True).stdout
    header = np.frombuffer(dump[:100], ">u4")
    size, width, height, line, colours = header[0], header[4], header[5], header[12], header[19]
    pixels = np.frombuffer(dump[size + 12 * colours:], np.uint8)[:height * line].reshape(height, line)
    return pixels[:, :width * 4].reshape(height, width, 4)[:, :, :3]


def resolve(parts, w, h, inset=4):
    """Boxes in a content of `w` x `h`: from its far side where negative,
    fractions of its size where floats, each taken a little inside, so that
    no frame is in it. No boxes stand for the whole content."""
    def at(value, size):
        value = round(value * size) if isinstance(value, float) else value
        return value + size if value < 0 else value

    return [(at(px, w) + inset, at(py, h) + inset, at(pw, w) - 2 * inset, at(ph, h) - 2 * inset)
            for px, py, pw, ph in parts or [(0, 0, 1.0, 1.0)]]


def appears(name, title, client, known, parts=None, button=(-40, -20)):
    """Waits for a new window titled `title` whose content is `client`
    (width and height, or None where it is not known), then takes its
    picture at rest. `parts` and `button` are in its content, from its far
    side where negative, fractions of its size where floats; the parts are
    taken a little inside, so that no frame is in them."""
    global deco
    if xserver:
        # Where the screen shows the first part of what the X server holds.
        def located(picture):
            found = x_window(title)
            if not found:
                return None
            px, py, pw, ph = resolve(parts, found[1], found[2])[0]
            try:
                at = Patch(crop(x_picture(found[0]), (px, py, pw, ph)), (0, 0)).find(picture)
            except Failed:  # not drawn yet
                return None
            return at and (at[0] - px, at[1] - py, found[1], found[2])

        x, y, w, h = box = wait(f"the window {name}", located)
        frame = (x - 8, y - 40, w + 16, h + 48)
    else:
        # Once it has faded in, and what faded out is gone.
        wait(f"the window {name}", lambda p: new_frame(p, known))
        frame = fx, fy, fw, fh = tuple(int(v) for v in steady(f"{name} to settle", lambda p: np.array(new_frame(p, known))))
        if deco is None:  # the main window's frame tells how large a frame is
            deco = ((fw - client[0]) // 2, fh - client[1] - (fw - client[0]) // 2)
        side, top = deco
        box = x, y, w, h = fx + side, fy + top, fw - 2 * side, fh - top - side
    if client and (w, h) != client:
        raise Failed(f"{name} shows content of {w} x {h}, not {client[0]} x {client[1]}")

    parts = resolve(parts, w, h)
    # Its picture once the pointer rests away from it and it holds still.
    rest()
    steady(f"{name} to hold still",
           lambda p: np.concatenate([crop(p, (x + px, y + py, pw, ph)).ravel() for px, py, pw, ph in parts]))
    return Window(name, title, box, frame, parts, resolve([button + (0, 0)], w, h, 0)[0][:2])


def settle(window, action):
    """Reads the screen until the window is back at rest, the guard of fixed
    windows is done (each window it let grow is normal again), and a pointer
    over the window's button has been seen by the game: by then the game has
    had all that the action brought about. In every picture the window's
    content must be whole."""
    broken = 0

    def whole(picture):
        nonlocal broken
        broken = 0 if window.whole(picture) else broken + 1
        if broken >= 3:  # not one picture caught mid-way
            raise Failed(f"{window.name} after {action}: its content is not seen whole")
        return True

    def done(picture):
        log = open(s.path("game.log"), errors="replace").read()
        return whole(picture) and window.at_rest(picture) and \
            log.count("limit lifted") == log.count("is normal again")

    # While the pointer is over it the button looks otherwise.
    def changed(look):
        return lambda p: not np.array_equal(crop(p, spot), look) and crop(p, spot).copy()

    wait(f"{window.name} back at rest after {action}", done)
    x, y = window.at(screen.picture)
    x, y = window.button[0] - window.client[0] + x, window.button[1] - window.client[1] + y
    spot = (x - 8, y - 4, 16, 8)
    xdo("mousemove", x, y)
    hovered = wait(f"the pointer over the button of {window.name}", changed(crop(screen.picture, spot).copy()))
    rest()
    wait(f"the pointer away from the button of {window.name}", changed(hovered))
    wait(f"{window.name} at rest after {action}", done)


def act(window, actions):
    w, h = window.client[2:]
    for action in actions:
        x, y = wait(window.name, window.at)
        if action == "maximize":  # in the title bar that Qt draws, 36 pixels left of the content's end
            xdo("mousemove", x + w - 36, y - 15, "click", 1)
        elif action == "double click":
            xdo("mousemove", x + 40, y - 12, "click", "--repeat", 2, "--delay", 60, 1)
        elif action == "edge":
            xdo("mousemove", x + w + 1, y + h // 2, "mousedown", 1,
                "mousemove", x + w + 40, y + h // 2 + 20, "mouseup", 1)
        else:
            xdo("key", action)
        rest()
        settle(window, action)


def closes(window):
    if xserver:
        wait(f"{window.name} to close", lambda p: not x_window(window.title))
    else:  # natively it may fade away
        wait(f"{window.name} to close", window.gone)
        steady(f"{window.name} to fade away", lambda p: crop(p, window.frame))


def play(platform, env):
    """One run of the game: every window through the actions, a whole game."""
    global empty, deco, xserver
    screen.process = desk.compositor
    xdo("mousemove", *desk.start_at)
    empty = steady("the empty desktop", lambda p: p)
    player = subprocess.Popen([game], cwd=s.folder, env=dict(s.env, QT_QPA_PLATFORM=platform, **env),
                              stdout=open(s.path("game.log"), "w"), stderr=subprocess.STDOUT)
    screen.process = player
    xserver = env["DISPLAY"]
    actions = desk.actions[bool(xserver)]
    # The main window. Wendo moves, the score panel changes and the pie
    # rests a little lower after its first throw: what stays is the
    # right-hand side from the title down.
    deco = None
    main = appears("Squibbo!", "Squibbo!", (445, 435), [], [(290, 160, 155, 275)], (85, 385))
    empty = screen.grab().copy()  # with the pointer at rest
    act(main, actions)
    # About (Tab from "Throw It!") and High Scores (Tab once more).
    for name, title, client, button, close in (
            ("About", "About Squibbo", (381, 210), (325, 162), "Escape"),
            ("High Scores", " ", (312, 273), (156, 252), "Return")):
        xdo("key", "Tab", "space")
        window = appears(name, title, client, [main.frame], button=button)
        act(window, actions)
        xdo("key", close)
        closes(window)
        # The desktop may leave the focus nowhere: a click where nothing
        # takes it gives it back to the main window.
        x, y = wait("the main window", main.at)
        xdo("mousemove", x + 60, y + 150, "click", 1)
        rest()
    # A whole game with Space on "Throw It!", which is locked while a pie
    # flies, until the message box "Game Over!".
    xdo("key", "shift+Tab", "shift+Tab")
    x, y = wait("the main window", main.at)
    spot = (main.button[0] - main.client[0] + x - 30, main.button[1] - main.client[1] + y - 10, 60, 20)
    unlocked = crop(screen.grab(), spot).copy()

    def over(picture):
        return x_window("Squibbo") if xserver else new_frame(picture, [main.frame])

    while wait("Throw It! to unlock", lambda p: "over" if over(p) else np.array_equal(crop(p, spot), unlocked)) \
            != "over":
        xdo("key", "space")
        wait("the throw", lambda p: over(p) or not np.array_equal(crop(p, spot), unlocked))
    # A message box lays itself out anew when larger: its text stays to the
    # left, its button to the right.
    box = appears('"Game Over!"', "Squibbo", None, [main.frame], [(0, 0, 0.5, 1.0), (0.5, 0, 0.5, 1.0)])
    act(box, actions)
    xdo("key", "Return")
    closes(box)
    scores = appears("High Scores", " ", (312, 273), [main.frame], button=(156, 252))
    xdo("key", "Return")
    closes(scores)
    wait("the game to go on", main.at_rest)
    player.terminate()
    player.wait()
    said = [line for line in open(s.path("game.log"), errors="replace").read().splitlines()
            if not line.startswith(("Squibbo: no sound server", "squibbo.fixedwindows:"))]
    if said:
        raise Failed("the game printed:\n" + "\n".join(said))


s = Session(xvfb_helper, 400, 449, delivered)
screen = deco = xserver = empty = None
try:
    command = {"weston": "weston", "mutter": "mutter", "kwin": "kwin_wayland"}[desktop]
    if not shutil.which(command):
        print(f"{desktop}: not tested, {command} is not installed")
        sys.exit(77)
    if desktop == "mutter" and "--nested" not in subprocess.run(["mutter", "--help"], capture_output=True,
                                                                text=True).stdout:
        print("mutter: not tested, this mutter has no nested mode")
        sys.exit(77)
    # A table no game can enter: every game ends "Game Over!".
    with open(os.path.join(s.folder, "squibbo.hi"), "w", newline="") as f:
        f.write('"Best",32767\r\n' * 10)
    desk = Desktop()
    screen = Screen(s.env["DISPLAY"], desk.compositor)
    debug = {"QT_LOGGING_RULES": "squibbo.fixedwindows.debug=true"}
    play(desk.platform, dict(debug, DISPLAY=""))
    print(f"{desktop}: natively ({desk.platform}), every window stayed whole and came back to its size")
    play("xcb", dict(debug, DISPLAY=desk.xwayland))
    print(f"{desktop}: under XWayland, every window stayed whole and came back to its size")
except Failed as failure:
    screen and screen.keep()
    print(f"FAIL ({desktop}): {failure}", file=sys.stderr)
    if os.path.exists(s.path("game.log")):
        print("--- the game printed:\n" + open(s.path("game.log"), errors="replace").read(), file=sys.stderr)
    sys.exit(1)
finally:
    s.end()
