#!/usr/bin/env python3
"""First start on an empty settings store: the password warning comes first, then the main window
with the simulated meter linked; File > Exit by keyboard writes the settings with every preference.
Exit while a slow link handshake still runs ends the program at once, cleanly; SIGTERM saves the
settings as Exit does."""
import os
import signal
import stat
import sys

import e2elib
from e2elib import Failure, log


def check_saved(d, what):
    settings = e2elib.read_settings(d.settings)
    missing = [k for k in e2elib.PREFERENCE_KEYS if k not in settings.get("Preferences", {})]
    missing += [s for s in ("HeaderFont", "DataFont", "Tabs") if s not in settings]
    if missing:
        raise Failure("%s: the settings lack %s" % (what, missing))


def set_handshake(d, ms):
    """The simulated meter's handshake length, in its own store (kept as the meter wrote it)."""
    lines = open(d.meter_store).read().splitlines() if os.path.exists(d.meter_store) else []
    lines = [l for l in lines if not l.startswith("HandshakeMs=")]
    if "[Instrument]" not in lines:
        lines += ["[Instrument]"]
    lines.insert(lines.index("[Instrument]") + 1, "HandshakeMs=%d" % ms)
    with open(d.meter_store, "w") as f:
        f.write("\n".join(lines) + "\n")


def journey(d):
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    panel = d.panel_window()
    mx, my, mw, mh = d.geometry(main)
    px, py, pw, ph = d.geometry(panel)
    if mw < 600 or mh < 300:
        raise Failure("main window too small: %dx%d" % (mw, mh))
    if px < mx + mw:
        raise Failure("the front panel covers the main window (%d < %d)" % (px, mx + mw))
    # The measure button lights up once the meter is linked and idle.
    d.find_panel_button("green")
    d.screenshot("startup.png")
    if os.path.exists(d.settings):
        raise Failure("the settings store was written before shutdown")

    d.exit_by_menu()
    if d.windows("."):
        raise Failure("windows left after exit: %s" % d.titles())
    settings = e2elib.read_settings(d.settings)
    if "Preferences" not in settings:
        raise Failure("no [Preferences] in %s" % d.settings)
    keys = list(settings["Preferences"].keys())
    missing = [k for k in e2elib.PREFERENCE_KEYS if k not in keys]
    if missing:
        raise Failure("[Preferences] lacks %s (has %s)" % (missing, keys))
    prefs = settings["Preferences"]
    expected = {"CalIndex": "0", "NoFile": "True", "SoundOn": "True", "Digits": "2", "EnableButton": "True",
                "CalConst": "False", "PixelAvg": "True", "Password": ""}
    wrong = {k: prefs[k] for k, v in expected.items() if prefs[k] != v}
    if wrong:
        raise Failure("first-run preferences saved wrongly: %s" % wrong)
    if prefs["KeepAlive"] not in ("True", "False"):
        raise Failure("KeepAlive saved as %r" % prefs["KeepAlive"])
    for section in ("HeaderFont", "DataFont", "Tabs"):
        if section not in settings:
            raise Failure("no [%s] in the settings" % section)
    mode = stat.S_IMODE(os.stat(d.settings).st_mode)
    if mode & 0o077:
        raise Failure("settings file readable by others: %o" % mode)
    log("settings: %s" % {k: prefs[k] for k in keys})

    # The second start finds the settings and still warns (no password yet), and comes up again
    # with the meter's front panel beside it as before.
    d.start()
    d.answer_password_warning()
    d.main_window()
    if d.geometry(d.panel_window()) != (px, py, pw, ph):
        raise Failure("the front panel moved or changed size between runs")
    d.exit_by_menu()

    # A link handshake of a minute: the window is up meanwhile, its meter commands off, and
    # Exit ends the program well before the handshake would (exit_by_menu allows 30 s).
    set_handshake(d, 60000)
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    if d.commands_ready(main):
        raise Failure("meter commands offered before the link was made")
    d.exit_by_menu()
    check_saved(d, "Exit during the handshake")

    # SIGTERM (a logout, kill) on a store that the run has to write afresh: it is saved whole
    # and the program ends normally.
    set_handshake(d, 600)
    os.remove(d.settings)
    d.start()
    d.answer_password_warning()
    d.wait_ready(d.main_window())
    os.kill(d.app.pid, signal.SIGTERM)
    code = d.wait_exit()
    if code != 0:
        raise Failure("glimora ended with %s on SIGTERM" % code)
    check_saved(d, "SIGTERM")
    log("SIGTERM: settings saved, exit 0")


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
