#!/usr/bin/python3
"""How often the game draws against how often the screen shows, what that
costs, and how soon its window first shows: a benchmark run by hand.

Usage: bench/frames.py BUILD [weston] [start] [--seconds N] [--runs N] [--game PROGRAM]
(--game: another build of the game, an older one for one, to hold against
this build's bare program)

weston: the reference compositor with its X11 backend on an Xvfb of its own.
The game idles for N seconds (20), only Wendo moving, then throws pies for
N seconds (Enter every 150 ms, which also closes "Game Over!" and the high
scores), once natively and once
under XWayland. Counted from the Wayland protocol (WAYLAND_DEBUG=client: of
the game natively, of XWayland under it): the buffers the main window's
surface commits and the frame callbacks the compositor sends it, a second.
The game's CPU comes from /proc/PID/stat, in runs of their own without the
protocol log, whose writing would cost the game itself natively.

start: on a bare Xvfb, from the start of the process to the first frame of
its main window (the first drawing on it that the X server's DAMAGE
extension reports) and the peak memory (VmHWM, 2 s after that frame), for
the game and bench/bare.cpp taken in turn, N runs each (15), with a private
PulseAudio and without any sound server. Medians, and each run. The bare
program also runs with --text, showing the main window's captions: what
text alone costs.

Give the machine's load with every figure: uptime is printed first.
"""
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import time

from Xlib import X, display as xlib
from Xlib.ext import damage  # noqa: F401 (adds the DAMAGE requests)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from session import Session  # noqa: E402

MAIN_SIZE = (445, 435)  # the main window's content, in pixels at scale 1
TICK = os.sysconf("SC_CLK_TCK")


def option(name, default):
    if name in sys.argv:
        return type(default)(sys.argv[sys.argv.index(name) + 1])
    return default


build = os.path.abspath(sys.argv[1])
parts = [p for p in ("weston", "start") if p in sys.argv] or ["weston", "start"]
SECONDS = option("--seconds", 20)
RUNS = option("--runs", 15)
GAME = os.path.abspath(option("--game", os.path.join(build, "squibbo")))
BARE = os.path.join(build, "bench", "squibbo_bare")
delivered = re.findall(r"'([^']+)'", re.search(r"squibbo_delivered=\((.*)\)",
                                               open(os.path.join(build, "release.sh")).read()).group(1))


def cpu_ticks(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime and stime


def peak_kb(pid):
    return int(re.search(r"VmHWM:\s+(\d+)", open(f"/proc/{pid}/status").read()).group(1))


def wait_for(what, condition, bound=60):
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.05)
    raise SystemExit(f"frames: no {what} within {bound} s")


class Protocol:
    """A WAYLAND_DEBUG=client log, read between two of its sizes: per
    surface the buffers committed and the frame callbacks received."""
    # libwayland 1.22: "[ 12.345]  -> wl_surface@3.commit()"; from 1.23 on
    # with the queue's name, if it has one, and "#" for "@":
    # "[ 12.345] {Default Queue}  -> wl_surface#3.commit()".
    LINE = re.compile(r"^\[\s*\d+\.\d+\]\s+(?:\{[^}]*\}\s+)?(-> )?(\w+)[@#](\d+)\.(\w+)\((.*)\)\s*$")

    def __init__(self, path):
        self.path = path

    def size(self):
        return os.path.getsize(self.path) if os.path.exists(self.path) else 0

    def count(self, start, end):
        """Per surface: [buffers committed, frame callbacks, title], counted
        from `start` on; what the lines before tell of the surfaces holds."""
        surfaces = {}
        xdg, toplevel, callbacks, attached = {}, {}, {}, set()
        with open(self.path, "rb") as f:
            lines = f.read(end).splitlines(keepends=True)
        at = 0
        for raw in lines:
            counting, at = at >= start, at + len(raw)
            m = self.LINE.match(raw.decode(errors="replace"))
            if not m:
                continue
            request, kind, oid, name, args = m.groups()
            ids = re.findall(r"[@#](\d+)", args)
            if request and kind == "wl_surface":
                s = surfaces.setdefault(oid, [0, 0, ""])
                if name == "attach" and "nil" not in args:
                    attached.add(oid)
                elif name == "commit" and oid in attached:
                    attached.discard(oid)
                    s[0] += counting
                elif name == "frame":
                    callbacks[ids[0]] = oid
            elif request and kind == "xdg_wm_base" and name == "get_xdg_surface":
                xdg[ids[0]] = ids[1]
            elif request and kind == "xdg_surface" and name == "get_toplevel":
                toplevel[ids[0]] = xdg.get(oid)
            elif request and kind == "xdg_toplevel" and name == "set_title" and toplevel.get(oid):
                surfaces.setdefault(toplevel[oid], [0, 0, ""])[2] = args.strip('"')
            elif not request and kind == "wl_callback" and name == "done" and oid in callbacks:
                surfaces.setdefault(callbacks.pop(oid), [0, 0, ""])[1] += counting
        return surfaces


def weston():
    s = Session(os.path.join(os.path.dirname(__file__), "..", "tests", "support", "xvfb.sh"), 480, 499, delivered)
    try:
        # A table no game can enter: every game ends with "Game Over!", which
        # the next Enter closes, and so the high scores after it.
        with open(os.path.join(s.folder, "squibbo.hi"), "w", newline="") as f:
            f.write('"Best",32767\r\n' * 10)
        with open(s.path("weston.ini"), "w") as f:
            f.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff204060\npanel-position=none\n")
        # XWayland inherits the protocol log, and writes it to the compositor's.
        compositor = s.start(["weston", "--xwayland", "--config=" + s.path("weston.ini"),
                              "--backend=x11-backend.so", "--use-pixman", "--width=600", "--height=600",
                              "--socket=bench"], "compositor.log", WAYLAND_DEBUG="client")
        log = s.path("compositor.log")
        xwayland = wait_for("XWayland", lambda: (re.findall(r"xserver listening on display (:\d+)",
                                                            open(log, errors="replace").read()) or [None])[0])
        wait_for("weston's socket", lambda: os.path.exists(os.path.join(s.env["XDG_RUNTIME_DIR"], "bench")))
        xdo_env = dict(s.env)
        subprocess.run(["xdotool", "mousemove", "300", "300"], env=xdo_env, check=True)
        results = {}
        for how, env in (("natively", dict(QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY="bench", DISPLAY="")),
                         ("under XWayland", dict(QT_QPA_PLATFORM="xcb", DISPLAY=xwayland))):
            for counted in (True, False):
                game_env = dict(s.env, **env)
                if counted and how == "natively":
                    game_env["WAYLAND_DEBUG"] = "client"
                protocol = Protocol(s.path("game.log") if how == "natively" else log)
                game = subprocess.Popen([GAME], cwd=s.folder, env=game_env, stdout=subprocess.DEVNULL,
                                        stderr=open(s.path("game.log"), "w"))
                time.sleep(3)  # the window up, and its start settled
                marks = [(protocol.size(), cpu_ticks(game.pid))]
                time.sleep(SECONDS)
                marks.append((protocol.size(), cpu_ticks(game.pid)))
                keys = subprocess.Popen(["xdotool", "key", "--delay", "150", "--repeat",
                                         str(SECONDS * 1000 // 150), "Return"], env=xdo_env)
                time.sleep(SECONDS)
                marks.append((protocol.size(), cpu_ticks(game.pid)))
                keys.wait()
                game.terminate()
                game.wait()
                for phase, (a, b) in zip(("idle", "throwing"), zip(marks, marks[1:])):
                    row = results.setdefault((how, phase), {})
                    row["cpu"] = (b[1] - a[1]) / TICK / SECONDS * 100
                    if counted:
                        surfaces = protocol.count(a[0], b[0])
                        if how == "natively":
                            main = [v for v in surfaces.values() if v[2] == "Squibbo!"]
                        else:  # XWayland's busiest surface: the game's main window
                            main = sorted(surfaces.values(), key=lambda v: -v[0])[:1]
                        if not main:
                            raise SystemExit(f"frames: {how}, the protocol log shows no window of the game"
                                             " (a log format this script does not read?)")
                        commits, frames = main[0][0], main[0][1]
                        row["commits"] = commits / SECONDS
                        row["frames"] = frames / SECONDS
        print(f"\nweston {subprocess.run(['weston', '--version'], capture_output=True, text=True).stdout.split()[-1]}"
              f", {SECONDS} s a phase: per second, the main window's buffer commits and frame callbacks;"
              " the game's CPU (% of one core, in runs without the protocol log)")
        print(f"{'':28}{'commits/s':>10}{'frames/s':>10}{'CPU %':>8}")
        for (how, phase), row in results.items():
            print(f"{how + ', ' + phase:28}{row['commits']:10.1f}{row['frames']:10.1f}{row['cpu']:8.2f}")
        compositor.terminate()
    finally:
        s.end()


def first_frames():
    s = Session(os.path.join(os.path.dirname(__file__), "..", "tests", "support", "xvfb.sh"), 480, 499, delivered)
    try:
        d = xlib.Display(s.env["DISPLAY"])
        d.damage_query_version()
        damaged = d.extension_event.DamageNotify
        d.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        d.sync()

        def one(command, env):
            start = time.monotonic()
            program = subprocess.Popen(command, cwd=s.folder, env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            watched, frame = set(), None
            while frame is None and time.monotonic() - start < 30:
                select.select([d.fileno()], [], [], 1)
                while d.pending_events():
                    e = d.next_event()
                    # Watched from its creation on, long before it can draw.
                    if e.type == X.CreateNotify and (e.width, e.height) == MAIN_SIZE:
                        watched.add(e.window.id)
                        e.window.damage_create(damage.DamageReportNonEmpty)
                        d.flush()
                    elif e.type == damaged and e.drawable.id in watched and frame is None:
                        frame = time.monotonic() - start
            time.sleep(2)
            peak = peak_kb(program.pid)
            program.terminate()
            program.wait()
            if frame is None:
                raise SystemExit(f"frames: {command[0]} drew no window of {MAIN_SIZE}")
            return frame * 1000, peak

        servers = [("without a sound server", None)]
        if shutil.which("pulseaudio"):
            socket = s.path("pulse")
            s.start(["pulseaudio", "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
                     "--exit-idle-time=-1", "--realtime=no", "--high-priority=no",
                     "--load=module-null-sink rate=48000 channels=2",
                     f"--load=module-native-protocol-unix auth-anonymous=1 socket={socket}"],
                    "pulse.log", HOME=s.tmp, DBUS_SESSION_BUS_ADDRESS="disabled:")
            wait_for("PulseAudio", lambda: os.path.exists(socket))
            servers.insert(0, ("with a private PulseAudio", "unix:" + socket))
        programs = [("game", [GAME]), ("bare", [BARE]), ("bare --audio-after", [BARE, "--audio-after"]),
                    ("bare --text", [BARE, "--text"])]
        for name, server in servers:
            env = dict(s.env, PULSE_SERVER=server) if server else dict(s.env)
            got = {p: [] for p, _ in programs}
            for _ in range(RUNS):
                for p, command in programs:
                    got[p].append(one(command, env))
            print(f"\nFrom the start to the first frame, {name}: median of {RUNS}, ms; peak memory, kB")
            for p, _ in programs:
                frames = [f for f, _ in got[p]]
                peaks = [k for _, k in got[p]]
                print(f"{p:20} first frame {statistics.median(frames):6.1f} ms   peak {statistics.median(peaks):7.0f} kB"
                      f"   (each: {' '.join(f'{f:.0f}' for f in frames)})")
            game = statistics.median(f for f, _ in got["game"]), statistics.median(k for _, k in got["game"])
            for p, _ in programs[1:]:
                bare = statistics.median(f for f, _ in got[p]), statistics.median(k for _, k in got[p])
                print(f"game / {p}: first frame {game[0] / bare[0]:.2f}x, peak memory {game[1] / bare[1]:.2f}x")
    finally:
        s.end()


print("load:", open("/proc/loadavg").read().strip())
for part in parts:
    {"weston": weston, "start": first_frames}[part]()
print("load:", open("/proc/loadavg").read().strip())
