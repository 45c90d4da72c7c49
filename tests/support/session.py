"""What the Python tests that run the real game on a desktop of their own
share: a temporary folder, an Xvfb (started through xvfb.sh), a session bus,
a game folder with the delivered files, and the end of everything they
started, by pid."""
import contextlib
import os
import shutil
import signal
import subprocess
import tempfile
import time


class Session:
    def __init__(self, xvfb_helper, first_display, last_display, delivered):
        self.tmp = tempfile.mkdtemp(prefix="squibbo-")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.path("run"))
        os.mkdir(self.env["XDG_RUNTIME_DIR"], 0o700)
        for name in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        shell = subprocess.Popen(
            ["bash", "-c", '. "$0"; start_xvfb "$1" "$2" "$3" || exit 1; echo "$DISPLAY"; '
             'wait "$xvfb_pid"', xvfb_helper, str(first_display), str(last_display),
             self.path("xvfb.log")], stdout=subprocess.PIPE, text=True)
        self.env["DISPLAY"] = shell.stdout.readline().strip()
        if not self.env["DISPLAY"]:
            raise AssertionError("no Xvfb came up: " + open(self.path("xvfb.log")).read())
        self.folder = self.path("game")
        os.mkdir(self.folder)
        for path in delivered:
            shutil.copy(path, self.folder)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def start(self, command, log=None, **env):
        """Starts a program of the session, its output in the file `log`."""
        out = open(self.path(log), "w") if log else subprocess.DEVNULL
        return subprocess.Popen(command, env=dict(self.env, **env), stdout=out,
                                stderr=subprocess.STDOUT if log else subprocess.DEVNULL)

    def start_bus(self, services=True):
        """A session bus; without `services` it starts none on demand (no
        accessibility bus, whose registry the game would then ask for)."""
        config = ["--session", "--address=unix:path=" + self.path("bus")]
        if not services:
            with open(self.path("bus.conf"), "w") as f:
                f.write(f'<busconfig><type>session</type><listen>unix:path={self.path("bus")}</listen>'
                        '<policy context="default"><allow send_destination="*"/><allow eavesdrop="true"/>'
                        '<allow own="*"/></policy></busconfig>\n')
            config = ["--config-file=" + self.path("bus.conf")]
        bus = subprocess.Popen(["dbus-daemon", *config, "--nofork", "--print-address"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()

    def end(self):
        """Ends all that was started here, and all that it started in turn,
        by pid, and removes the folder."""
        def descendants(pid):
            kids = []
            for entry in filter(str.isdigit, os.listdir("/proc")):
                with contextlib.suppress(OSError, IndexError):
                    with open(f"/proc/{entry}/stat") as f:
                        if int(f.read().rsplit(")", 1)[1].split()[1]) == pid:
                            kids += [int(entry)] + descendants(int(entry))
            return kids

        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in descendants(os.getpid()):
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, sig)
            deadline = time.monotonic() + 5
            with contextlib.suppress(ChildProcessError):
                while time.monotonic() < deadline:
                    if os.waitpid(-1, os.WNOHANG) == (0, 0):
                        time.sleep(0.05)
        shutil.rmtree(self.tmp, ignore_errors=True)
