#!/usr/bin/env python3
"""First start on an empty settings store: the password warning comes first, then the main window
with the simulated meter linked; File > Exit by keyboard writes the settings with every preference."""
import os
import stat
import sys

import e2elib
from e2elib import Failure, log


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


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
