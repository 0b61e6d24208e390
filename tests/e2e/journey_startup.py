#!/usr/bin/env python3
"""First start on an empty settings store: the password warning comes first, then the main window
with the simulated meter's front panel beside it and the meter linked; File > Exit writes the
settings with every preference, readable by the owner only. The second start puts the front panel
where it was. Exit while a slow link handshake still runs ends the program at once, cleanly;
SIGTERM saves the settings as Exit does."""
import os
import signal
import stat
import sys

import e2elib
from e2elib import MAIN, PANEL, Failure, log

FIRST_RUN = {"CalIndex": "0", "NoFile": "True", "SoundOn": "True", "Digits": "2", "EnableButton": "True",
             "CalConst": "False", "PixelAvg": "True", "Password": ""}


def check_saved(d, what):
    settings = e2elib.read_settings(d.settings)
    missing = [k for k in e2elib.PREFERENCE_KEYS if k not in settings.get("Preferences", {})]
    missing += [s for s in ("HeaderFont", "DataFont", "Tabs") if s not in settings]
    if missing:
        raise Failure("%s: the settings lack %s" % (what, missing))
    return settings["Preferences"]


def start(d):
    """Starts the program, answers the warning and gives the main window and the front panel's place."""
    d.start()
    d.answer_password_warning()
    main = d.window(MAIN)
    return main, extents(d.window(PANEL))


def extents(window):
    r = window.queryComponent().getExtents(e2elib.pyatspi.DESKTOP_COORDS)
    return r.x, r.y, r.width, r.height


def journey(d):
    main, panel = start(d)
    mx, my, mw, mh = extents(main)
    if mw < 600 or mh < 300 or panel[0] < mx + mw:
        raise Failure("main window %dx%d at %d; the front panel at %d covers it" % (mw, mh, mx, panel[0]))
    d.wait_ready(main)
    serial, version, battery = d.status(main)[:3]
    if len(serial) <= len("S/N: ") or not version.startswith("Version: ") or battery != "Battery: Ok":
        raise Failure("status panels %r" % d.status(main))
    d.screenshot("startup.png")
    if os.path.exists(d.settings):
        raise Failure("the settings store was written before shutdown")
    d.exit_by_menu()

    prefs = check_saved(d, "Exit")
    wrong = {k: prefs[k] for k, v in FIRST_RUN.items() if prefs[k] != v}
    if wrong or prefs["KeepAlive"] not in ("True", "False"):
        raise Failure("first-run preferences saved wrongly: %s" % dict(wrong, KeepAlive=prefs["KeepAlive"]))
    mode = stat.S_IMODE(os.stat(d.settings).st_mode)
    if mode & 0o077:
        raise Failure("settings file readable by others: %o" % mode)

    # The second start finds the settings and still warns (no password yet); the front panel
    # comes up where it was.
    if start(d)[1] != panel:
        raise Failure("the front panel moved or changed size between runs")
    d.exit_by_menu()

    # A link handshake of a minute: the window is up meanwhile with its meter commands off, and
    # Exit ends the program well before the handshake would.
    d.set_instrument(HandshakeMs=60000)
    main = start(d)[0]
    if d.ready(main) or d.enabled(main, "push button", "Read"):
        raise Failure("meter commands offered before the link was made")
    d.exit_by_menu(timeout=20)
    check_saved(d, "Exit during the handshake")

    # SIGTERM (a logout, kill) on a store that the run has to write afresh: it is saved whole
    # and the program ends normally.
    d.set_instrument(HandshakeMs=600)
    os.remove(d.settings)
    d.wait_ready(start(d)[0])
    os.kill(d.app.pid, signal.SIGTERM)
    d.wait_exit()
    check_saved(d, "SIGTERM")
    log("SIGTERM: settings saved, exit 0")


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
