#!/usr/bin/env python3
"""Starts of the real program: the password warning comes before the main window, and nothing is
written before File > Exit writes the settings. Exit while a slow link handshake still runs ends the
program at once, cleanly; SIGTERM saves the settings whole as Exit does."""
import os
import signal
import sys

import e2elib
from e2elib import MAIN, Failure, log


def check_saved(d, what):
    settings = e2elib.read_settings(d.settings)
    missing = [k for k in e2elib.PREFERENCE_KEYS if k not in settings.get("Preferences", {})]
    missing += [s for s in ("HeaderFont", "DataFont", "Tabs") if s not in settings]
    if missing:
        raise Failure("%s: the settings lack %s" % (what, missing))


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

    # A link handshake of a minute: the window is up meanwhile with its meter commands off, and
    # Exit ends the program well before the handshake would.
    d.set_instrument(HandshakeMs=60000)
    main = start(d)
    if d.ready(main) or d.enabled(main, "push button", "Read"):
        raise Failure("meter commands offered before the link was made")
    d.exit_by_menu(timeout=20)

    # SIGTERM (a logout, kill) on a store that the run has to write afresh: it is saved whole
    # and the program ends normally.
    d.set_instrument(HandshakeMs=600)
    os.remove(d.settings)
    d.wait_ready(start(d))
    os.kill(d.app.pid, signal.SIGTERM)
    d.wait_exit()
    check_saved(d, "SIGTERM")
    log("SIGTERM: settings saved, exit 0")


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
