#!/usr/bin/env python3
"""A working morning at the meter, by keyboard where an operator would use it: a password is set;
with the cursor in the comment box the menu's keys run their commands and the comment stays as
typed; a new data file takes readings by Ctrl+R; the list is copied into a second file as old data
by Enter on the focused "Save Old To File"; the program is closed.
"""
import os
import re
import sys

import e2elib
from e2elib import MAIN, Failure, log

PASSWORD = "Gl1mora"
MORNING_COMMENT = "first shift, panel A"
READINGS = 3


def fill(d, title, name, text, role="text"):
    d.focus(title, role, name)
    d.type(text)


def set_password(d, main):
    d.menu(main, "File", "Password")
    for name in ("Enter New Password", "Re-Enter New Password"):
        fill(d, "Password Setup", name, PASSWORD, "password text")
    d.press(d.window("Password Setup"), "push button", "Ok")
    d.gone("Password Setup")


def menu_keys_in_the_comment_box(d):
    """With the cursor in the comment box, the menu's keys run their commands: Ctrl+U asks for the
    password of Update Information (Esc does not close that prompt); Del, with Delete Selection
    disabled (the list is empty), edits the text. Every line of the morning shows the comment."""
    fill(d, MAIN, "User Comments", "x" + MORNING_COMMENT)
    d.keys(MAIN, "ctrl+u")
    d.window("Enter Password")
    d.keys("Enter Password", "Escape")
    d.type(PASSWORD)
    d.keys("Enter Password", "Return")
    d.gone("Enter Password")
    if "Password Failure" in d.windows():
        raise Failure("Esc closed the password prompt")
    d.keys(MAIN, "Home", "Delete")


def reading_by_keys(d, path):
    """A reading by Ctrl+R; its line reaches the data file."""
    d.wait_ready(d.window(MAIN))
    before = e2elib.read_bytes(path).count(b"\n")
    d.keys(MAIN, "ctrl+r")
    e2elib.wait_for(lambda: d.expect_running() or e2elib.read_bytes(path).count(b"\n") > before, "a reading's line in %s" % path)


def lines_of(path):
    return e2elib.read_bytes(path).decode().split("\r\n")[:-1]


def journey(d):
    day, copy = (os.path.join(d.work, f) for f in ("day.csv", "copy.csv"))
    d.start()
    d.answer_password_warning()
    main = d.window(MAIN)
    d.wait_ready(main)
    set_password(d, main)
    menu_keys_in_the_comment_box(d)

    d.menu(main, "File", "New")
    d.choose_file("New", day)
    main = d.window(MAIN + " - " + re.escape(day))
    for _ in range(READINGS):
        reading_by_keys(d, day)
    if not all(line.endswith(',"%s"' % MORNING_COMMENT) for line in lines_of(day)[1:]):
        raise Failure("the comment changed: %r" % lines_of(day))
    d.wait_ready(main)

    # The list copied into a second file as old data: Enter presses the focused "Save Old To File".
    d.menu(main, "File", "New")
    d.choose_file("New", copy)
    d.focus("Save Old Data To New File", "push button", "Save Old To File")
    d.keys("Save Old Data To New File", "Return")
    d.window(MAIN + " - " + re.escape(copy))
    # Old-data lines carry the list's texts, the comment unquoted.
    copied = lines_of(copy)
    if len(copied) != READINGS + 1 or not all(line.endswith("," + MORNING_COMMENT) for line in copied[1:]):
        raise Failure("the copy holds %r, expected the header and %d old-data lines" % (copied, READINGS))
    d.exit_by_menu()
    log("a working morning: %d readings copied as old data" % READINGS)


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
