#!/usr/bin/python3
"""The game on a Wayland desktop, played with a real seat: a compositor of
the test's own nested in an Xvfb of its own (weston's X11 backend, GNOME's
mutter --nested, KDE's kwin_wayland --x11-display), xdotool's pointer and
keys on it. The game runs as an X11 program of the compositor's XWayland,
then natively; each time About, High Scores and a whole game to
"Game Over!" are played from the keyboard.

Every window is put through what the desktop offers to make it larger: the
maximize button of the title bar that Qt draws itself, the compositor's own
shortcuts, a double click on the title, a drag at the edge. Meanwhile the
screen is read over and over: in every picture the window's content must be
whole (somewhere: a larger window shows it in its middle), and in the end the
window must be back at its place and size, the game running.

Windows are found by their content. Under XWayland the X server says where
each window is and shows what it holds; the parts of it that do not move are
then looked for, and natively the same parts find the same windows wherever
the desktop puts them, over each other or not.

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
REST = (995, 695)  # where the pointer waits: a corner of the desktop


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
    """A piece of a window's content, found again on the screen (a few of
    its pixels unlike its commonest one narrow the search). A window's look
    changes a little with its activation (a button's focus frame comes and
    goes, its shades move by a step or two): pixels may differ slightly, and
    a few of them wholly."""
    SLIGHT, SPARE = 8, 0.08

    def __init__(self, pixels):
        self.pixels = pixels.astype(np.int16)
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

    def find(self, picture, first=None):
        """Where it is, looked for at `first` first."""
        if first and self.there(picture, first):
            return first
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


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, env=s.env)


def point(x, y):
    # weston's X11 backend may leave the last event from the X server unread
    # until the next one comes: a step beside the place, then the place.
    xdo("mousemove", x + 1, y, "mousemove", x, y)


def rest():
    point(*REST)


class Desktop:
    """The compositor on the Xvfb, its XWayland display, and what it offers
    to make a window larger, natively and under XWayland."""

    def __init__(self):
        socket = os.path.join(s.env["XDG_RUNTIME_DIR"], "squibbo")
        self.xwayland = None
        getattr(self, desktop)()
        deadline = time.monotonic() + BOUND
        while not os.path.exists(socket) or self.xwayland is None:
            if self.compositor.poll() is not None or time.monotonic() > deadline:
                raise Failed(f"{desktop} did not start:\n" + open(s.path("compositor.log"), errors="replace").read())
            self.xwayland = self.find_xwayland()
            time.sleep(0.1)
        s.env["WAYLAND_DISPLAY"] = "squibbo"
        if desktop == "weston":  # its outputs side by side on the X screen as in its own space
            second = wait("weston's second output", lambda p: re.findall(
                r'^\s*(0x[0-9a-f]+) "Weston Compositor - screen1"',
                subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True, env=s.env).stdout,
                re.M))
            xdo("windowmove", "--sync", second[0], 500, 0)

    def tell_xwayland(self):
        """A program for the compositor to start, which says where its
        XWayland is and how to be let in, as the compositor tells the
        programs it starts (kwin splits what it is given at blanks: a
        script of its own)."""
        told = s.path("xwayland")

        def read():
            if not os.path.exists(told):
                return None
            display, authority = open(told).read().split("\n")[:2]
            if authority:
                s.env["XAUTHORITY"] = authority
            return display

        self.find_xwayland = read
        with open(s.path("tell"), "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n%s\\n" "$DISPLAY" "$XAUTHORITY" >{told}.part\n'
                    f'mv {told}.part {told}\nexec sleep infinity\n')
        os.chmod(s.path("tell"), 0o755)
        return [s.path("tell")]

    def weston(self):
        # Two outputs of 500 x 700: its X11 backend follows the pointer
        # across one output of 1000 x 700 only part of the way.
        with open(s.path("weston.ini"), "w") as f:
            f.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff204060\npanel-position=none\n")
        self.compositor = s.start(
            ["weston", "--xwayland", "--config=" + s.path("weston.ini"), "--backend=x11-backend.so",
             "--use-pixman", "--width=500", "--height=700", "--output-count=2", "--socket=squibbo"],
            "compositor.log")
        self.find_xwayland = lambda: (re.findall(r"xserver listening on display (:\d+)",
                                                 open(s.path("compositor.log"), errors="replace").read())
                                      or [None])[0]
        # Natively a press on the title bar that Qt draws starts a move, and
        # weston gives a double click no meaning of its own.
        self.actions = {"xcb": ["double click", "edge"], "native": ["maximize", "edge"]}
        self.platform = "wayland-egl"

    def mutter(self):
        s.start_bus(services=False)
        self.compositor = s.start(["mutter", "--nested", "--wayland", "--wayland-display=squibbo", "--",
                                   *self.tell_xwayland()],
                                  "compositor.log", MUTTER_DEBUG_DUMMY_MODE_SPECS="1000x700")
        self.actions = {"xcb": ["super+Up", "alt+F10", "double click", "edge"],
                        "native": ["maximize", "super+Up", "alt+F10", "double click", "edge"]}
        self.platform = "wayland"

    def kwin(self):
        s.start_bus(services=False)
        # Meta+F makes a window full screen, as a user may set it up.
        os.makedirs(s.path("config"))
        with open(s.path("config/kglobalshortcutsrc"), "w") as f:
            f.write("[kwin]\nWindow Fullscreen=Meta+F,none,Make Window Fullscreen\n")
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
        # kwin draws the title bars natively too, without a maximize button.
        self.actions = {"xcb": ["super+Page_Up", "super+f", "double click", "edge"],
                        "native": ["super+Page_Up", "super+f", "double click", "edge"]}
        self.platform = "wayland"


def x_window(title):
    """Under XWayland: the id and size of the shown window named `title`."""
    def xwininfo(*args):
        return subprocess.run(["xwininfo", *args], capture_output=True, text=True,
                              env=dict(s.env, DISPLAY=desk.xwayland)).stdout

    # The game's own (a window manager may give its frame the same name).
    for window in re.findall(rf'^\s*(0x[0-9a-f]+) "{re.escape(title)}": \("squibbo"', xwininfo("-root", "-tree"),
                             re.M):
        got = dict(re.findall(r"(Width|Height|Map State): (\S+)", xwininfo("-id", window)))
        if got.get("Map State") == "IsViewable":
            return window, int(got["Width"]), int(got["Height"])
    return None


def x_picture(window):
    """What the X server holds of a window's content (xwd's dump, 32 bits a
    pixel), as the screen's pictures are."""
    dump = subprocess.run(["xwd", "-silent", "-id", window], capture_output=True, check=True,
                          env=dict(s.env, DISPLAY=desk.xwayland)).stdout
    header = np.frombuffer(dump[:100], ">u4")
    size, width, height, line, colours = header[0], header[4], header[5], header[12], header[19]
    pixels = np.frombuffer(dump[size + 12 * colours:], np.uint8)[:height * line].reshape(height, line)
    return pixels[:, :width * 4].reshape(height, width, 4)[:, :, :3]


class Window:
    """A window of the game, known by the parts of its content that do not
    move (each with its place in the content), and where it rests."""

    def __init__(self, name, title, size, parts):
        self.name, self.title, self.size, self.parts = name, title, size, parts
        self.at = None  # the content's corner at rest

    def where(self, picture, first=None):
        """The content's corner if all of its parts are seen together."""
        corners = []
        for patch, (px, py) in self.parts:
            hint = first and (first[0] + px, first[1] + py)
            found = patch.find(picture, hint)
            if not found:
                return None
            corners.append((found[0] - px, found[1] - py))
        return corners[0] if len(set(corners)) == 1 else None

    def whole(self, picture):
        """Every part seen, wherever (a larger window may lay out anew)."""
        return all(patch.find(picture, (self.at[0] + px, self.at[1] + py)) for patch, (px, py) in self.parts)

    def at_rest(self, picture):
        found = self.where(picture, self.at)
        if not xserver:
            return found == self.at
        # An X11 window manager may leave it elsewhere, at its own size.
        shown = found and x_window(self.title)
        if shown and shown[1:] == self.size:
            self.at = found
            return True
        return False

    def gone(self, picture):
        return not any(patch.find(picture) for patch, _ in self.parts)


def resolve(boxes, w, h, inset=4):
    """Boxes in a content of `w` x `h`: from its far side where negative,
    fractions of its size where floats, each taken a little inside, so that
    no frame is in it. No boxes stand for the whole content."""
    def at(value, size):
        value = round(value * size) if isinstance(value, float) else value
        return value + size if value < 0 else value

    return [(at(px, w) + inset, at(py, h) + inset, at(pw, w) - 2 * inset, at(ph, h) - 2 * inset)
            for px, py, pw, ph in boxes or [(0, 0, 1.0, 1.0)]]


looks = {}  # each window's parts, as XWayland showed them


def appears(name, title, size=None, parts=None):
    """Waits for the window `name`, whose content is `size` (width, height,
    or None where it is not known), and returns it as it rests. Under
    XWayland it is titled `title`, and its parts (see resolve) are taken
    from what the X server holds of it; natively those parts find it."""
    if xserver:
        seen = "the X server shows no such window"

        def held(picture):
            nonlocal seen
            found = x_window(title)
            if not found or (size and found[1:] != size):
                seen = f"the X server shows {found}" if found else seen
                return None
            try:
                content = x_picture(found[0])
                kept = [(Patch(crop(content, box)), box[:2]) for box in resolve(parts, *found[1:])]
            except (Failed, subprocess.CalledProcessError) as problem:  # not drawn yet
                seen = f"its content could not be read: {problem}"
                return None
            window = Window(name, title, found[1:], kept)
            seen = "its content is not on the screen"
            return window if window.where(picture) else None

        try:
            looks[name] = wait(f"the window {name}", held)
        except Failed as failure:
            raise Failed(f"{failure} ({seen})") from None
    window = Window(name, title, looks[name].size, looks[name].parts)
    # At rest once the pointer is away from it and it holds still.
    rest()
    last, since = None, time.monotonic()

    def still(picture):
        nonlocal last, since
        now = window.where(picture, last)
        if now != last:
            last, since = now, time.monotonic()
        return now and time.monotonic() - since > 0.25 and now

    window.at = wait(f"the window {name}", still)
    if xserver and x_window(title)[1:] != window.size:
        raise Failed(f"{name} is not of its own size")
    return window


def settle(window, action):
    """Reads the screen until the window is back at rest and the guard of
    fixed windows is done (each window it let grow is normal again), and
    stays so through half a second of pictures: a desktop that ignores an
    action brings no event to wait for. In every picture the window's content
    must be whole."""
    broken, since, seen = 0, None, ""

    def done(picture):
        nonlocal broken, since, seen
        broken = 0 if window.whole(picture) else broken + 1
        if broken >= 3:  # not one picture caught mid-way
            raise Failed(f"{window.name} after {action}: its content is not seen whole")
        log = open(s.path("game.log"), errors="replace").read()
        lifted, normal = log.count("limit lifted"), log.count("is normal again")
        if not (window.at_rest(picture) and lifted == normal):
            seen = (f"its content last seen at {window.where(picture)}, at rest at {window.at};"
                    f" limits lifted {lifted} times, normal again {normal} times")
            since = None
            return False
        since = since or time.monotonic()
        return time.monotonic() - since > 0.5

    try:
        wait(f"{window.name} back at rest after {action}", done)
    except Failed as failure:
        raise Failed(f"{failure} ({seen})") from None


def act(window, actions):
    for action in actions:
        x, y = window.at
        w, h = window.size
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


def play(platform, how):
    """One run of the game: every window through the actions, a whole game."""
    global xserver
    xserver = desk.xwayland if platform == "xcb" else None
    # No graphics card here: Mesa draws in software, without looking for one.
    env = dict(QT_QPA_PLATFORM=platform, QT_LOGGING_RULES="squibbo.fixedwindows.debug=true",
               DISPLAY=xserver or "", LIBGL_ALWAYS_SOFTWARE="1")
    screen.process = player = subprocess.Popen([game], cwd=s.folder, env=dict(s.env, **env),
                                               stdout=open(s.path("game.log"), "w"), stderr=subprocess.STDOUT)
    actions = desk.actions["xcb" if xserver else "native"]
    # Wendo moves, the score panel changes and the pie rests a little lower
    # after its first throw: what stays is the right-hand side from the
    # title down.
    main = appears("the main window", "Squibbo!", (445, 435), [(290, 160, 155, 275)])
    act(main, actions)
    # About (Tab from "Throw It!") and High Scores (Tab once more).
    for name, title, size, close in (("About", "About Squibbo", (381, 210), "Escape"),
                                     ("High Scores", " ", (312, 273), "Return")):
        xdo("key", "Tab", "space")
        window = appears(name, title, size)
        act(window, actions)
        xdo("key", close)
        wait(f"{name} to close", window.gone)
        # The desktop may leave the focus nowhere: a click where nothing
        # takes it gives it back to the main window.
        main.at = wait("the main window", main.where)
        xdo("mousemove", main.at[0] + 60, main.at[1] + 150, "click", 1)
        rest()
    # A whole game with Space on "Throw It!", which is locked while a pie
    # flies, until the message box "Game Over!", known by its text side: a
    # message box lays out anew when larger, and its button may come back
    # a pixel off.
    xdo("key", "shift+Tab", "shift+Tab")
    throw = (main.at[0] + 55, main.at[1] + 375, 60, 20)
    unlocked = crop(screen.grab(), throw).copy()
    box = looks.get('"Game Over!"')

    def over(picture):
        return x_window("Squibbo") if xserver else box.where(picture)

    for _ in range(300):
        if wait("Throw It! to unlock", lambda p: "over" if over(p) else np.array_equal(crop(p, throw), unlocked)) \
                == "over":
            break
        xdo("key", "space")
        try:
            wait("the throw", lambda p: over(p) or not np.array_equal(crop(p, throw), unlocked), 5)
        except Failed:  # the key went astray: once more
            pass
    box = appears('"Game Over!"', "Squibbo", None, [(0, 0, 0.5, 1.0)])
    act(box, actions)
    xdo("key", "Return")
    wait("the message box to close", box.gone)
    scores = appears("High Scores", " ")
    xdo("key", "Return")
    wait("High Scores to close", scores.gone)
    wait("the game to go on", main.at_rest)
    player.terminate()
    player.wait()
    # The compositor may show a window a little while after its program
    # ended: the next run must not take it for its own.
    screen.process = desk.compositor
    wait("the main window to go", main.gone)
    # Beside the note that there is no sound server and the guard's own
    # account, Qt 6.8 may say that a text input left a window already gone.
    def expected(line):
        return line.startswith(("Squibbo: no sound server", "squibbo.fixedwindows:")) or (
            line.startswith("qt.qpa.wayland.textinput: ") and "zwp_text_input_v3_leave" in line)

    said = [line for line in open(s.path("game.log"), errors="replace").read().splitlines() if not expected(line)]
    if said:
        raise Failed("the game printed:\n" + "\n".join(said))
    print(f"{desktop}: {how}, every window stayed whole and came back to its size")


s = Session(xvfb_helper, 400, 449, delivered)
screen = xserver = None
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
    screen = Screen(s.env["DISPLAY"], subprocess.Popen(["sleep", "infinity"]))
    desk = Desktop()
    screen.process = desk.compositor
    play("xcb", "under XWayland")
    play(desk.platform, f"natively ({desk.platform})")
except Failed as failure:
    screen and screen.keep()
    print(f"FAIL ({desktop}): {failure}", file=sys.stderr)
    if os.path.exists(s.path("game.log")):
        print("--- the game printed:\n" + open(s.path("game.log"), errors="replace").read(), file=sys.stderr)
    sys.exit(1)
finally:
    s.end()
