#!/usr/bin/env python3
"""A working day at the meter.

Morning: a password is set, comment columns are named and filled, the menu's keys run their commands
while the cursor is in the comment box, a new data file takes readings from the program and from the
meter's own button, a scan is saved, the newest row is deleted from the list, the list is copied into
a second file as old data, and the program is closed.
Afternoon: the program starts without the no-password warning, a guarded command refuses a wrong
password and accepts the right one, the morning's file is reopened from the recent-files list and
takes more readings, appended after the morning's lines.
"""
import os
import re
import sys
import time

import e2elib
from e2elib import DATE, FIXED_HEADER, MAIN, PANEL, Failure, log

PASSWORD = "Gl1mora"
HEADERS = ["Comment", "Batch", "Operator"]
MORNING_COMMENTS = ["first shift, panel A", "B-17, line 2", "Ann Lee"]
AFTERNOON_COMMENT = "after lunch"
APP_READINGS, PANEL_READINGS, AFTERNOON_READINGS = 10, 3, 3


def fill(d, title, name, text, role="text"):
    d.focus(title, role, name)
    d.type(text)


def set_password(d, main):
    d.menu(main, "File", "Password")
    for name in ("Enter New Password", "Re-Enter New Password"):
        fill(d, "Password Setup", name, PASSWORD, "password text")
    d.press(d.window("Password Setup"), "push button", "Ok")
    d.gone("Password Setup")


def name_and_fill_comment_columns(d, main):
    d.press(main, "push button", "User Comments:")
    d.press(d.window("Additional Comment Fields"), "push button", "Change Headers")
    d.press(d.window("Change Column Header Text"), "push button", "Yes")
    # Column 1 keeps "Comment"; columns 2 and 3 are named.
    for k in (2, 3):
        fill(d, "Data Header Text", "Comment column %d header text" % k, HEADERS[k - 1])
    d.press(d.window("Data Header Text"), "push button", "OK")
    d.gone("Data Header Text")
    for k in (2, 3):
        fill(d, "Additional Comment Fields", "Column %d comment text" % k, MORNING_COMMENTS[k - 1])
    d.screenshot("comment-columns.png")
    d.press(d.window("Additional Comment Fields"), "push button", "OK")
    d.gone("Additional Comment Fields")


def menu_keys_in_the_comment_box(d):
    """With the cursor in the comment box, the menu's keys run their commands: Ctrl+U asks for the
    password of Update Information (Esc does not close that prompt), Del is Delete Selection (with
    an empty list it does nothing). The comment stays as typed: every line of the day shows it."""
    fill(d, MAIN, "User Comments", MORNING_COMMENTS[0])
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
    d.wait_ready(d.window(MAIN))
    d.take_reading(lambda: d.keys(MAIN, "ctrl+r"), path)


def check_scan_file(path):
    lines = e2elib.read_bytes(path).decode().split("\r\n")
    if lines[-1] != "" or len(lines) != 303 or not re.fullmatch(DATE, lines[0]):
        raise Failure("scan file: %d lines, expected a date and 301 points ended by CR LF" % (len(lines) - 1))
    for i, line in enumerate(lines[1:-1]):
        m = re.fullmatch(r"(\d{3}),( -?|-)(\d[\d.e+-]*) ", line)
        if not m or int(m.group(1)) != i:
            raise Failure("scan file line %d: %r" % (i + 2, line))
        float(m.group(3))


def morning(d, day, scan, copy):
    d.start()
    d.answer_password_warning()
    main = d.window(MAIN)
    d.wait_ready(main)
    set_password(d, main)
    name_and_fill_comment_columns(d, main)
    menu_keys_in_the_comment_box(d)

    d.menu(main, "File", "New")
    d.choose_file("New", day)
    main = d.window(MAIN + " - " + re.escape(day))
    if e2elib.read_data_file(day)[0] != FIXED_HEADER + HEADERS:
        raise Failure("new file header %r" % e2elib.read_data_file(day)[0])
    for _ in range(APP_READINGS):
        reading_by_keys(d, day)
    panel = d.window(PANEL)
    for _ in range(PANEL_READINGS):
        d.wait_ready(main)
        d.take_reading(lambda: d.press(panel, "push button", "Measure"), day)
    d.wait_ready(main)
    readings = d.control(main, "table", "Readings").queryTable()
    e2elib.wait_for(lambda: readings.nRows == APP_READINGS + PANEL_READINGS, "every reading in the list")

    # A scan: the save dialog comes up when the meter has finished.
    d.keys(MAIN, "ctrl+s")
    d.choose_file("Save As", scan, 30)
    e2elib.wait_for(lambda: e2elib.count_lines(scan) >= 302, "the scan file")
    check_scan_file(scan)
    d.wait_ready(main)

    # The newest row (the list's first) goes from the list; the file keeps it.
    readings.addRowSelection(0)
    d.menu(main, "Data", "Delete Selection")
    kept = APP_READINGS + PANEL_READINGS - 1
    e2elib.wait_for(lambda: readings.nRows == kept, "the selected row to leave the list")

    # The list copied into a second file as old data: Enter presses the focused "Save Old To File".
    d.menu(main, "File", "New")
    d.choose_file("New", copy)
    d.focus("Save Old Data To New File", "push button", "Save Old To File")
    d.keys("Save Old Data To New File", "Return")
    d.window(MAIN + " - " + re.escape(copy))
    # Old-data lines carry the list's texts: cal standard and comment unquoted, no cal date.
    copied = e2elib.read_bytes(copy).decode().split("\r\n")
    old_line = re.compile(DATE + r"(,\d+\.\d\d){4},[^,\"]+,,\"[^\"]+\"," + re.escape(MORNING_COMMENTS[0]))
    if (len(copied) != kept + 2 or copied[-1] != "" or copied[0] != ",".join(FIXED_HEADER + HEADERS)
            or not all(old_line.fullmatch(line) for line in copied[1:-1])):
        raise Failure("the copy holds %r, expected the header and %d old-data lines" % (copied, kept))
    d.exit_by_menu()


def afternoon(d, day):
    d.start()
    main = d.window(MAIN)
    if "Password Protection Warning" in d.windows():
        raise Failure("the no-password warning came although a password is set")
    d.wait_ready(main)

    # A guarded command asks for the password: a wrong one is refused, the right one calibrates.
    d.keys(MAIN, "ctrl+t")
    d.window("Enter Password")
    d.type("wrong1")
    d.keys("Enter Password", "Return")
    d.press(d.window("Password Failure"), "push button", "OK")
    d.gone("Password Failure")
    d.keys(MAIN, "ctrl+t")
    d.window("Enter Password")
    d.type(PASSWORD)
    d.keys("Enter Password", "Return")
    d.gone("Enter Password")
    if "Password Failure" in d.windows():
        raise Failure("the right password was refused")
    calibrated_at = time.time()

    # The morning's file from the File menu's recent-files list.
    recent = [m.name for m in d.control(main, "menu item", "File")[0] if m is not None and m.name.endswith(day)]
    if len(recent) != 1:
        raise Failure("the recent-files list lacks %s" % day)
    d.menu(main, "File", recent[0])
    main = d.window(MAIN + " - " + re.escape(day))
    fill(d, MAIN, "User Comments", AFTERNOON_COMMENT)
    for _ in range(AFTERNOON_READINGS):
        reading_by_keys(d, day)
    d.screenshot("afternoon.png")
    d.exit_by_menu()
    return calibrated_at


def check_day_file(day, morning_bytes, calibrated_at):
    if not e2elib.read_bytes(day).startswith(morning_bytes):
        raise Failure("the morning's lines changed after the reopen")
    rows = e2elib.read_data_file(day)
    morning_rows = APP_READINGS + PANEL_READINGS
    if rows[0] != FIXED_HEADER + HEADERS or len(rows) != 1 + morning_rows + AFTERNOON_READINGS:
        raise Failure("header %r and %d reading lines" % (rows[0], len(rows) - 1))
    today = {time.strftime("%m/%d/%Y", time.localtime(t)) for t in (calibrated_at, time.time())}
    for i, row in enumerate(rows[1:], 2):
        morning_row = i <= 1 + morning_rows
        e2elib.check_reading_row(row, MORNING_COMMENTS if morning_row else [AFTERNOON_COMMENT], "line %d" % i)
        # The afternoon's readings follow its calibration; the morning's carry an older one.
        if (row[6][:10] in today) == morning_row:
            raise Failure("line %d: cal date %r" % (i, row[6]))


def check_settings(d, day, copy):
    settings = e2elib.read_settings(d.settings)
    stored = settings["Preferences"].get("Password")
    if not stored or stored == PASSWORD or len(stored) != len(PASSWORD):
        raise Failure("password stored as %r" % stored)
    if [settings["UserComments"].get("UserComment%d" % i) for i in (1, 2, 3)] != HEADERS:
        raise Failure("comment headers stored as %r" % settings["UserComments"])
    if [settings["Recent Files"].get("RecentFile%d" % i) for i in (1, 2)] != [day, copy]:
        raise Failure("recent files %r" % settings["Recent Files"])


def journey(d):
    day, scan, copy = (os.path.join(d.work, f) for f in ("day.csv", "profile.csv", "copy.csv"))
    morning(d, day, scan, copy)
    morning_bytes = e2elib.read_bytes(day)
    calibrated_at = afternoon(d, day)
    check_day_file(day, morning_bytes, calibrated_at)
    check_settings(d, day, copy)
    log("a working day: %d readings in %s" % (len(e2elib.read_data_file(day)) - 1, day))


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
