"""Drives the real glimora binary on a private X display as an operator would: controls are found by
role and accessible name over AT-SPI and activated through their actions, text and keys are typed
by xdotool into the focused window, and results are read from the files the program writes. The
journey runs on its own D-Bus session bus (dbus-run-session), which starts the accessibility bus on
demand; every wait polls one condition with a timeout.
"""
import configparser
import os
import re
import shutil
import subprocess
import sys
import time
import traceback

SKIP = 77
try:
    import pyatspi
    from gi.repository import Atspi, GLib
    Atspi.set_timeout(1000, 1000)  # calls answer at once, but for commands that open a modal dialog
except ImportError:
    pyatspi = None

MAIN = r"DOI/Haze Meter( - .*)?"
_START = time.monotonic()


class Failure(Exception):
    pass


def log(message):
    print("[%7.2f] %s" % (time.monotonic() - _START, message), flush=True)


def wait_for(condition, what, timeout=20):
    """Polls condition() until it gives a true value, which is returned. An accessible object that
    goes away while it is looked at counts as not there yet."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except GLib.Error:  # a stale accessible, or a window busy for longer than a call waits
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %ss waiting for %s" % (timeout, what))
        time.sleep(0.05)


# --- Files the program writes ---

def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def read_settings(path):
    """The settings file as {section: {key: text}}; a half-written file fails the strict parse."""
    parser = configparser.RawConfigParser(strict=True, interpolation=None)
    parser.optionxform = str
    with open(path, encoding="utf-8") as f:
        parser.read_file(f)
    return {s: dict(parser.items(s)) for s in parser.sections()}


# --- The desktop, the program and its controls ---

class Desktop:
    """A private Xvfb display with a work folder, a settings folder and the program's process."""

    def __init__(self, binary, work):
        self.binary, self.work = binary, work
        shutil.rmtree(work, ignore_errors=True)
        self.config, self.home, runtime = (os.path.join(work, d) for d in ("config", "home", "runtime"))
        for d in (self.config, self.home, runtime):
            os.makedirs(d, mode=0o700)
        self.settings = os.path.join(self.config, "Glimora", "Glimora.ini")
        self.app, self.runs = None, 0
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-noreset"],
                                     pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=open(os.path.join(work, "xvfb.log"), "wb"), start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:  # the display's number and a newline once it is up
            display = ":" + numbers.readline().strip()
        if display == ":":
            raise Failure("Xvfb did not start")
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "WAYLAND", "XDG_"))}
        self.env.update(DISPLAY=display, XDG_CONFIG_HOME=self.config, HOME=self.home, XDG_RUNTIME_DIR=runtime, TMPDIR=work,
                        QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                        LC_ALL="C.UTF-8", LANG="C.UTF-8")
        # The simulated meter draws from a fixed seed and fails no reading by chance: every reading
        # arrives, the same each run.
        os.makedirs(os.path.join(self.config, "Glimora"))
        with open(os.path.join(self.config, "Glimora", "SimulatedMeter.ini"), "w") as f:
            f.write("[Instrument]\nSeed=12345\nOccasionalInvalidReadings=false\n")
        log("Xvfb on %s, work folder %s" % (display, work))

    def start(self):
        self.runs += 1
        self.app_log = os.path.join(self.work, "glimora-run%d.log" % self.runs)
        with open(self.app_log, "wb") as out:
            self.app = subprocess.Popen([self.binary], env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        log("glimora started (run %d)" % self.runs)

    def expect_running(self):
        if self.app.poll() is not None:
            raise Failure("glimora ended unexpectedly (exit %s); see %s" % (self.app.returncode, self.app_log))

    def wait_exit(self, timeout=30):
        try:
            code = self.app.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("glimora did not end within %ss" % timeout)
        if code != 0:
            raise Failure("glimora ended with %s" % code)

    def close(self):
        for p in (self.app, self.xvfb):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait(30)

    # Windows and controls over AT-SPI.

    def windows(self):
        """The program's showing top-level windows as {title: accessible}."""
        self.expect_running()
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == self.app.pid:
                return {w.name: w for w in app if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)}
        return {}

    def window(self, title, timeout=20):
        """The showing window whose whole title matches the pattern title."""
        return wait_for(lambda: next((w for t, w in self.windows().items() if re.fullmatch(title, t)), None),
                        "a window titled %s" % title, timeout)

    def gone(self, title, timeout=20):
        wait_for(lambda: not any(re.fullmatch(title, t) for t in self.windows()), "the window %s to close" % title, timeout)

    def control(self, root, role, name):
        """The descendant of root with the role (as AT-SPI names it) and the accessible name."""
        return wait_for(lambda: pyatspi.findDescendant(root, lambda a: a.getRoleName() == role and a.name == name),
                        "a %s named %r" % (role, name), 5)

    def press(self, root, role, name):
        """Runs the control's own action (a button's press, a menu item's trigger) once it is enabled."""
        self.activate(self.control(root, role, name), name)

    def activate(self, control, name):
        wait_for(lambda: control.getState().contains(pyatspi.STATE_ENABLED), "%r to be enabled" % name, 10)
        try:
            control.queryAction().doAction(0)
        except GLib.Error as e:
            # A command that opens a modal dialog answers only when the dialog closes.
            if "Did not receive a reply" not in str(e):
                raise

    def menu(self, main, *captions):
        """A menu command by its captions, e.g. menu(main, "File", "Exit")."""
        item = main
        for caption in captions:
            item = self.control(item, "menu item", caption)
        self.activate(item, " > ".join(captions))

    def focus(self, title, role, name):
        """Gives the keyboard focus to the control in the window titled title (given the X input focus)."""
        control = self.control(self.window(title), role, name)
        self.keys(title)
        control.queryComponent().grabFocus()
        wait_for(lambda: control.getState().contains(pyatspi.STATE_FOCUSED), "%r to take the focus" % name, 10)

    def status(self, main):
        """The texts of the status bar's panels (each panel is named by its text)."""
        bar = self.control(main, "status bar", "")
        return [c.name for c in bar if c is not None and c.getRoleName() == "label"]

    def ready(self, main):
        return ("Waiting for commands" in self.status(main)
                and self.control(main, "menu item", "Take Reading").getState().contains(pyatspi.STATE_ENABLED))

    def wait_ready(self, main, timeout=30):
        wait_for(lambda: self.ready(main), "the meter to wait for commands", timeout)

    # Keys through xdotool, into the active window (or the window titled title, activated first).

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise Failure("xdotool %s: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    def keys(self, title, *keys):
        self.expect_running()
        if title is not None:
            wid = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % title).split()[-1]
            self.xdotool("windowfocus", "--sync", wid)
        if keys:
            self.xdotool("key", "--clearmodifiers", "--delay", "40", *keys)

    def type(self, text):
        self.expect_running()
        self.xdotool("type", "--clearmodifiers", "--delay", "20", text)

    def screenshot(self, name):
        if shutil.which("import"):
            subprocess.run(["import", "-window", "root", os.path.join(self.work, name)], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # Steps every journey takes.

    def answer_password_warning(self):
        """The no-password warning comes before the main window shows."""
        box = self.window("Password Protection Warning")
        if any(re.fullmatch(MAIN, t) for t in self.windows()):
            raise Failure("the main window showed before the password warning was answered")
        self.press(box, "push button", "OK")
        self.gone("Password Protection Warning")

    def exit_by_menu(self, timeout=30):
        self.menu(self.window(MAIN), "File", "Exit")
        self.wait_exit(timeout)
        log("glimora exited")

    def choose_file(self, title, path, timeout=20):
        """Answers the file dialog titled title by typing the path and Enter."""
        self.window(title, timeout)
        self.keys(title)
        self.type(path)
        self.keys(title, "Return")
        self.gone(title)


def run(journey):
    """Runs journey(desktop) with the arguments <glimora binary> <work folder>: exit 0 on success,
    1 on failure (with a screenshot of the moment), 77 when a tool is missing."""
    missing = [t for t in ("Xvfb", "xdotool") if shutil.which(t) is None] + ([] if pyatspi else ["pyatspi"])
    if missing or not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        print("SKIP: missing %s (packages xvfb, xdotool, python3-pyatspi; run under dbus-run-session)" % missing)
        return SKIP
    desktop = Desktop(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    try:
        journey(desktop)
        log("PASS")
        return 0
    except Exception as failure:
        log("FAIL: %s: %s\n%s" % (type(failure).__name__, failure, "".join(traceback.format_tb(failure.__traceback__))))
        desktop.screenshot("failure.png")
        return 1
    finally:
        desktop.close()
