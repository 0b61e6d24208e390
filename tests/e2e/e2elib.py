"""Drives the real glimora binary on a private X display, the way an operator would: keys and
mouse clicks through xdotool, screenshots through ImageMagick, results read from the files the
program writes.

Every wait polls with a timeout; nothing relies on a fixed sleep being long enough.
"""
import configparser
import csv
import fcntl
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import time
import urllib.parse

SKIP = 77
SCREEN = (1600, 1000)
MAIN_TITLE = r"^DOI/Haze Meter( - .*)?$"
PANEL_TITLE = r"^Haze Meter \(simulated\)$"
FIXED_HEADER = "DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum".split(",")
# The toolbar's "Open" button within the main window (x, y, width, height): the second button.
OPEN_BUTTON = (45, 20, 60, 40)
PREFERENCE_KEYS = ["CalIndex", "KeepAlive", "NoFile", "SoundOn", "Digits", "EnableButton", "CalConst", "PixelAvg", "Password"]


class Failure(Exception):
    pass


def require_tools():
    """Exits with the skip code when a tool the journeys need is missing."""
    missing = [t for t in ("Xvfb", "xdotool", "import") if shutil.which(t) is None]
    if missing:
        print("SKIP: missing " + ", ".join(missing) + " (packages xvfb, xdotool, imagemagick)")
        sys.exit(SKIP)


def wait_for(condition, timeout, what, interval=0.05):
    """Polls condition() until it gives a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %ss waiting for %s" % (timeout, what))
        time.sleep(interval)


def log(message):
    print("[%7.2f] %s" % (time.monotonic() - _START, message), flush=True)


_START = time.monotonic()


# ---------------------------------------------------------------------------------------------
# Files the program writes

def file_title(path):
    """The main window's title while path is the open data file, as a pattern."""
    return r"^DOI/Haze Meter - " + re.escape(path) + "$"


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def count_lines(path):
    return read_bytes(path).count(b"\n")


def read_data_file(path):
    """The rows of a comma-separated data file, checked for whole CR LF lines."""
    raw = read_bytes(path)
    if raw and not raw.endswith(b"\r\n"):
        raise Failure("%s ends in a partial line: %r" % (path, raw[-80:]))
    if raw.replace(b"\r\n", b"").count(b"\n") or raw.replace(b"\r\n", b"").count(b"\r"):
        raise Failure("%s has a line not ended by CR LF" % path)
    with open(path, newline="") as f:
        return list(csv.reader(f))


def read_settings(path):
    """The settings file as {section: {key: text}}: a strict INI parse, with the names decoded
    (%20 for a blank) and quoted texts unquoted. A half-written file fails the parse."""
    parser = configparser.RawConfigParser(strict=True, interpolation=None)
    parser.optionxform = str
    with open(path, encoding="utf-8") as f:
        parser.read_file(f)
    return {urllib.parse.unquote(section): {urllib.parse.unquote(k): ini_text(v) for k, v in parser.items(section)}
            for section in parser.sections()}


def ini_text(value):
    """A string value as the settings file holds it: quoted when it holds separators, with
    backslash escapes inside the quotes."""
    if len(value) < 2 or value[0] != '"' or value[-1] != '"':
        return value
    inner, out, i = value[1:-1], [], 0
    simple = {"\\": "\\", '"': '"', "n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a", "b": "\b", "f": "\f", "v": "\v"}
    while i < len(inner):
        c = inner[i]
        if c == "\\" and i + 1 < len(inner):
            nxt = inner[i + 1]
            if nxt == "x":
                j = i + 2
                while j < len(inner) and j < i + 6 and inner[j] in "0123456789abcdefABCDEF":
                    j += 1
                out.append(chr(int(inner[i + 2:j], 16)))
                i = j
                continue
            out.append(simple.get(nxt, nxt))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def check_reading_row(row, header, comment_count, where):
    """A reading line: eight fixed fields, then as many comment fields as the texts in force."""
    if len(row) != len(FIXED_HEADER) + comment_count:
        raise Failure("%s: %d fields, expected %d: %r" % (where, len(row), len(FIXED_HEADER) + comment_count, row))
    if not re.fullmatch(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d", row[0]):
        raise Failure("%s: bad DateTime %r" % (where, row[0]))
    for value in row[1:5]:
        if not re.fullmatch(r"-?\d+\.\d\d", value):
            raise Failure("%s: bad value %r in %r" % (where, value, row))
    if not re.fullmatch(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d", row[6]):
        raise Failure("%s: bad CalDtTm %r" % (where, row[6]))
    if not row[7]:
        raise Failure("%s: empty serial number" % where)
    if len(header) < len(FIXED_HEADER) or header[: len(FIXED_HEADER)] != FIXED_HEADER:
        raise Failure("%s: header %r" % (where, header))


# ---------------------------------------------------------------------------------------------
# Pixels

class Image:
    """An RGB picture read from ImageMagick's PPM output."""

    def __init__(self, data):
        parts = []
        pos = 0
        while len(parts) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            parts.append(data[pos:end])
            pos = end
        if parts[0] != b"P6" or int(parts[3]) != 255:
            raise Failure("unexpected picture format %r" % parts[:4])
        self.width, self.height = int(parts[1]), int(parts[2])
        self.pixels = data[pos + 1: pos + 1 + self.width * self.height * 3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.pixels[i], self.pixels[i + 1], self.pixels[i + 2]

    def find(self, predicate, box=None, step=2):
        """Centre and count of the pixels that match predicate(r, g, b) within box (x, y, w, h)."""
        x0, y0, w, h = box or (0, 0, self.width, self.height)
        xs = ys = n = 0
        for y in range(max(0, y0), min(self.height, y0 + h), step):
            for x in range(max(0, x0), min(self.width, x0 + w), step):
                if predicate(*self.pixel(x, y)):
                    xs += x
                    ys += y
                    n += 1
        if n == 0:
            return None
        return xs // n, ys // n, n


# ---------------------------------------------------------------------------------------------
# The desktop and the program

class Desktop:
    """A private Xvfb display with a work folder, a settings folder and the program's process."""

    def __init__(self, binary, work):
        self.binary = binary
        self.work = work
        if os.path.isdir(work):
            shutil.rmtree(work)
        os.makedirs(work)
        self.config = os.path.join(work, "config")
        self.home = os.path.join(work, "home")
        runtime = os.path.join(work, "runtime")
        for d in (self.config, self.home, runtime):
            os.makedirs(d)
        os.chmod(runtime, 0o700)
        self.settings = os.path.join(self.config, "Glimora", "Glimora.ini")
        self.meter_store = os.path.join(self.config, "Glimora", "SimulatedMeter.ini")
        self.app = None
        self.runs = 0
        self._xvfb_log = open(os.path.join(work, "xvfb.log"), "wb")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self._xvfb_log, stderr=subprocess.STDOUT,
            start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                raise Failure("Xvfb did not start")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise Failure("Xvfb ended at start-up")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        self.env = {k: v for k, v in os.environ.items() if not k.startswith(("QT_", "WAYLAND", "XDG_", "DBUS_"))}
        self.env.update(DISPLAY=self.display, XDG_CONFIG_HOME=self.config, HOME=self.home, XDG_RUNTIME_DIR=runtime,
                        QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8", LANG="C.UTF-8", TMPDIR=work)
        log("Xvfb on %s, work folder %s" % (self.display, work))

    # --- program ---

    def start(self):
        self.runs += 1
        self.app_log = os.path.join(self.work, "glimora-run%d.log" % self.runs)
        with open(self.app_log, "wb") as out:
            self.app = subprocess.Popen([self.binary], env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        log("glimora started (run %d, pid %d)" % (self.runs, self.app.pid))
        return self.app

    def running(self):
        return self.app is not None and self.app.poll() is None

    def expect_running(self):
        if not self.running():
            raise Failure("glimora ended unexpectedly (exit %s); see %s" % (self.app.returncode, self.app_log))

    def wait_exit(self, timeout=30):
        try:
            return self.app.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("glimora did not end within %ss" % timeout)

    def kill(self):
        """SIGKILL, as a crash or a power cut would end the program."""
        os.kill(self.app.pid, signal.SIGKILL)
        self.app.wait(30)
        log("glimora killed")

    def close(self):
        if self.running():
            self.app.kill()
            self.app.wait(30)
        if self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait(10)
        self._xvfb_log.close()

    # --- X ---

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, capture_output=True, text=True, timeout=30)
        if check and result.returncode != 0:
            raise Failure("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr.strip()))
        return result.stdout

    def windows(self, pattern):
        out = self.xdotool("search", "--onlyvisible", "--name", pattern, check=False)
        return [w for w in out.split() if w.isdigit()]

    def title(self, wid):
        return self.xdotool("getwindowname", wid, check=False).rstrip("\n")

    def titles(self):
        return sorted(self.title(w) for w in self.windows("."))

    def wait_window(self, pattern, timeout=30):
        def found():
            self.expect_running()
            ids = self.windows(pattern)
            return ids[-1] if ids else None
        wid = wait_for(found, timeout, "a window titled %s (open: %s)" % (pattern, self.titles() if self.running() else "-"))
        # A window that is mapped but not yet drawn takes no input; its geometry settles first.
        self.geometry(wid)
        return wid

    def wait_no_window(self, pattern, timeout=30):
        wait_for(lambda: not self.windows(pattern), timeout, "the window %s to close" % pattern)

    def geometry(self, wid):
        out = self.xdotool("getwindowgeometry", "--shell", wid)
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def focus(self, wid):
        self.xdotool("windowfocus", "--sync", wid)

    def key(self, wid, *keys):
        """Keys typed into the window wid (given focus first), as xdotool key names."""
        self.expect_running()
        self.focus(wid)
        self.xdotool("key", "--clearmodifiers", "--delay", "60", *keys)

    def type(self, wid, text):
        self.expect_running()
        self.focus(wid)
        self.xdotool("type", "--clearmodifiers", "--delay", "25", text)

    def click(self, x, y):
        self.expect_running()
        where = dict(line.split("=", 1) for line in self.xdotool("getmouselocation", "--shell").split())
        # --sync waits for the pointer to arrive, which never happens when it is there already.
        if (int(where["X"]), int(where["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", "1")

    def click_in(self, wid, dx, dy):
        """A click at (dx, dy) inside the window; negative offsets count from the right or bottom."""
        x, y, w, h = self.geometry(wid)
        self.click(x + (dx if dx >= 0 else w + dx), y + (dy if dy >= 0 else h + dy))

    def screenshot(self, name):
        path = os.path.join(self.work, name)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        log("screenshot %s" % path)
        return path

    def capture(self, wid):
        """The window's own pixels."""
        data = subprocess.run(["import", "-window", wid, "-depth", "8", "ppm:-"], env=self.env, check=True, timeout=60,
                              capture_output=True).stdout
        return Image(data)

    # --- common steps ---

    def answer_password_warning(self):
        """The no-password warning comes first, before the main window shows."""
        box = self.wait_window(r"^Password Protection Warning$")
        if self.windows(MAIN_TITLE):
            raise Failure("the main window showed before the password warning was answered")
        self.key(box, "Return")
        self.wait_no_window(r"^Password Protection Warning$")

    def main_window(self, timeout=60):
        return self.wait_window(MAIN_TITLE, timeout)

    def commands_ready(self, main):
        """True when the toolbar's "Open" button is drawn in colour: enabled, so the meter is linked,
        switched on and idle. Disabled buttons are drawn in grey."""
        picture = self.capture(main)
        hit = picture.find(lambda r, g, b: max(r, g, b) - min(r, g, b) > 60, OPEN_BUTTON, 1)
        return bool(hit and hit[2] > 60)

    def wait_ready(self, main, timeout=30):
        """Waits until the meter commands are enabled, seen twice in a row."""
        def ready():
            self.expect_running()
            if not self.commands_ready(main):
                return False
            time.sleep(0.15)
            return self.commands_ready(main)
        wait_for(ready, timeout, "the meter commands to become enabled")

    def panel_window(self):
        return self.wait_window(PANEL_TITLE)

    def all_windows(self):
        return set(self.xdotool("search", "--onlyvisible", "--name", "", check=False).split())

    def open_menu(self, main, keys):
        """Opens a menu from the menu bar by keyboard (alt+f) and waits for it to pop up."""
        before = self.all_windows()
        self.key(main, keys)
        wait_for(lambda: self.all_windows() - before, 10, "the menu of %s to pop up" % keys)

    def exit_by_menu(self, timeout=30):
        main = self.main_window()
        self.open_menu(main, "alt+f")
        self.key(main, "x")
        code = self.wait_exit(timeout)
        log("glimora exited with %s" % code)
        if code != 0:
            raise Failure("glimora exited with code %s" % code)

    def choose_file(self, main, keys, title, path):
        """A file command (keys) whose file dialog (title) is answered by typing path and Return."""
        self.key(main, keys)
        dialog = self.wait_window(title)
        self.type(dialog, path)
        self.key(dialog, "Return")
        self.wait_no_window(title)

    def new_file(self, main, path):
        """File > New by Ctrl+N; the window's title then names the file."""
        self.wait_ready(main)
        self.choose_file(main, "ctrl+n", r"^New$", path)
        self.wait_window(file_title(path), 10)

    def wait_lines(self, path, count, timeout=20, what=None):
        wait_for(lambda: self.expect_running() or count_lines(path) >= count, timeout,
                 what or "%s to hold %d lines (holds %d)" % (path, count, count_lines(path)))
        return count_lines(path)

    def take_reading(self, main, path, attempts=5):
        """Ctrl+R until the reading's line reaches the data file. The meter now and then reports
        an unstable signal (an invalid reading, rightly not written); the operator then repeats."""
        return self._reading(path, attempts, lambda: self.key(main, "ctrl+r"), main)

    def press_measure(self, path, attempts=5, main=None):
        """The meter's own measure button, until the reading's line reaches the data file."""
        return self._reading(path, attempts, lambda: self.click(*self.find_panel_button("green")), main)

    def _reading(self, path, attempts, press, main):
        before = count_lines(path)
        for attempt in range(attempts):
            if attempt and main is not None:
                self.wait_ready(main)
            press()
            # A measurement takes one to two seconds.
            try:
                return self.wait_lines(path, before + 1, 4.5)
            except Failure:
                log("no line after attempt %d (an invalid reading?)" % (attempt + 1))
        raise Failure("no reading reached %s in %d attempts (file holds %d lines)" % (path, attempts, before))

    def meter_value(self, key):
        return read_settings(self.meter_store).get("Instrument", {}).get(key)

    def find_panel_button(self, colour):
        """Screen position of the front panel's round button of the given colour ("green" measure, "red" power)."""
        panel = self.panel_window()
        x, y, w, h = self.geometry(panel)
        picture = self.capture(panel)
        if colour == "green":
            hit = picture.find(lambda r, g, b: g > 110 and g > r + 50 and g > b + 20)
        else:
            hit = picture.find(lambda r, g, b: r > 130 and r > g + 60 and r > b + 50)
        if not hit or hit[2] < 50:
            raise Failure("no %s button on the front panel" % colour)
        return x + hit[0], y + hit[1]


class CupsQueue:
    """The private cups-pdf queue "PDF" of tests/printing/cups_pdf_queue.sh, held under the same lock
    file as the printing tests (a QLockFile: an exclusive file holding pid, program and host)."""

    LOCK = os.path.join(os.environ.get("TMPDIR", "/tmp"), "glimora-cups-pdf-queue.lock")

    def __init__(self, script, outdir):
        self.script = script
        self.outdir = outdir
        self.started = False
        self.lock_fd = None
        self.reason = None

    def start(self, timeout=60):
        if os.geteuid() != 0:
            self.reason = "not root"
            return False
        for tool in ("cupsd", "lpadmin", "lpstat", "pdftotext"):
            if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool):
                self.reason = tool + " missing"
                return False
        self._lock(timeout)
        result = subprocess.run([self.script, "start", self.outdir], capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            self.reason = "queue not started (%d): %s" % (result.returncode, result.stderr.strip())
            self._unlock()
            return False
        self.started = True
        return True

    def stop(self):
        if self.started:
            subprocess.run([self.script, "stop"], capture_output=True, timeout=120)
            self.started = False
        self._unlock()

    def pdfs(self):
        if not os.path.isdir(self.outdir):
            return []
        return sorted(os.path.join(self.outdir, f) for f in os.listdir(self.outdir) if f.endswith(".pdf"))

    def jobs_pending(self):
        out = subprocess.run(["lpstat", "-W", "not-completed", "-o", "PDF"], capture_output=True, text=True, timeout=30)
        return bool(out.stdout.strip())

    def _lock(self, timeout):
        deadline = time.monotonic() + timeout
        program = os.path.basename(os.readlink("/proc/self/exe"))
        while True:
            try:
                fd = os.open(self.LOCK, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
            except FileExistsError:
                # A holder keeps an flock on the file; one that no longer does has gone away.
                try:
                    probe = os.open(self.LOCK, os.O_WRONLY)
                    try:
                        fcntl.flock(probe, fcntl.LOCK_EX | fcntl.LOCK_NB)
                        os.unlink(self.LOCK)
                        continue
                    except OSError:
                        pass
                    finally:
                        os.close(probe)
                except FileNotFoundError:
                    continue
                if time.monotonic() > deadline:
                    raise Failure("another test holds the print queue lock %s" % self.LOCK)
                time.sleep(0.2)
                continue
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
            os.write(fd, ("%d\n%s\n%s\n" % (os.getpid(), program, socket.gethostname())).encode())
            self.lock_fd = fd
            return

    def _unlock(self):
        if self.lock_fd is not None:
            try:
                os.unlink(self.LOCK)
            except FileNotFoundError:
                pass
            os.close(self.lock_fd)
            self.lock_fd = None


def run(journey):
    """Runs journey(desktop) with the arguments <glimora binary> <work folder>; exit 0 on success,
    1 on failure (with a screenshot of the moment), 77 when tools are missing."""
    require_tools()
    if len(sys.argv) != 3:
        print("usage: %s <glimora> <work folder>" % sys.argv[0])
        return 2
    binary, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    desktop = Desktop(binary, work)
    try:
        journey(desktop)
        log("PASS")
        return 0
    except Exception as failure:
        log("FAIL: %s: %s" % (type(failure).__name__, failure))
        try:
            log("windows open: %s" % desktop.titles())
            desktop.screenshot("failure.png")
        except Exception as e:  # the display itself may be gone
            log("no failure screenshot: %s" % e)
        return 1
    finally:
        desktop.close()
