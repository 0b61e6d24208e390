#!/usr/bin/env python3
"""Starts of the real program: the password warning comes before the main window, and nothing is
written before File > Exit writes the settings; SIGTERM saves them whole as Exit does."""
import os
import signal
import sys

import e2elib
from e2elib import MAIN, Failure, log


def check_saved(d, what):
    """The settings file parses whole, from the preferences to the print tabs written last."""
    settings = e2elib.read_settings(d.settings)
    if "Password" not in settings.get("Preferences", {}) or "Tabs" not in settings:
        raise Failure("%s: the settings hold only %s" % (what, settings))


def start(d):
    d.start()
    d.answer_password_warning()
    return d.window(MAIN)


def journey(d):
    d.wait_ready(start(d))
    if os.path.exists(d.settings):
        raise Failure("the settings store was written before shutdown")
    d.exit_by_menu()
    check_saved(d, "Exit")

    # SIGTERM (a logout, kill) on a store that the run has to write afresh: it is saved whole
    # and the program ends normally.
    os.remove(d.settings)
    d.wait_ready(start(d))
    os.kill(d.app.pid, signal.SIGTERM)
    d.wait_exit()
    check_saved(d, "SIGTERM")
    log("SIGTERM: settings saved, exit 0")


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
