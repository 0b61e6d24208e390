#!/usr/bin/env python3
"""A working day at the meter, by keyboard and mouse.

Morning: a password is set, comment columns are named and filled, a new data file takes twenty
readings from the program and three from the meter's own button, a scan is saved, a row is
deleted from the list, the list is printed (when a private CUPS PDF queue can be started) and
copied into a second file, and the program is closed.
Afternoon: the program starts without the no-password warning, a guarded command refuses a wrong
password and accepts the right one, the morning's file is reopened from the recent-files list and
takes more readings, appended after the morning's lines.
"""
import os
import re
import subprocess
import sys
import time

import e2elib
from e2elib import Failure, log

PASSWORD = "Gl1mora"
HEADERS = ["Comment", "Batch", "Operator"]
MORNING_COMMENTS = ["first shift, panel A", "B-17, line 2", "Ann Lee"]
AFTERNOON_COMMENT = "after lunch"
DATE = r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d"

# Places inside windows whose controls have no keyboard route of their own, as (x, y) from the
# window's left and top edges (negative: from the right or bottom edge).
PASSWORD_NEW1, PASSWORD_NEW2, PASSWORD_OK = (123, 122), (123, 171), (196, 217)
COMMENT_BUTTON, COMMENT_BOX = (50, -40), (400, -40)
FIRST_LIST_ROW = (150, 109)
YES_BUTTON = (88, -24)

PRINT_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "printing", "cups_pdf_queue.sh")


def set_password(d, main):
    d.key(main, "ctrl+w")
    setup = d.wait_window(r"^Password Setup$")
    d.click_in(setup, *PASSWORD_NEW1)
    d.type(setup, PASSWORD)
    d.click_in(setup, *PASSWORD_NEW2)
    d.type(setup, PASSWORD)
    d.click_in(setup, *PASSWORD_OK)
    d.wait_no_window(r"^Password Setup$")


def name_and_fill_comment_columns(d, main):
    d.click_in(main, *COMMENT_BUTTON)
    comments = d.wait_window(r"^Additional Comment Fields$")
    # Column 2's text box has the focus; six tabs reach "Change Headers".
    d.key(comments, *["Tab"] * 6, "space")
    question = d.wait_window(r"^Change Column Header Text$")
    d.screenshot("header-question.png")
    d.click_in(question, *YES_BUTTON)
    headers = d.wait_window(r"^Data Header Text$")
    # Column 1 keeps "Comment"; columns 2 and 3 are named.
    d.key(headers, "Tab")
    d.type(headers, HEADERS[1])
    d.key(headers, "Tab")
    d.type(headers, HEADERS[2])
    d.key(headers, "Return")
    d.wait_no_window(r"^Data Header Text$")
    comments = d.wait_window(r"^Additional Comment Fields$")
    d.key(comments, *["shift+Tab"] * 6)
    d.type(comments, MORNING_COMMENTS[1])
    d.key(comments, "Tab")
    d.type(comments, MORNING_COMMENTS[2])
    d.screenshot("comment-columns.png")
    d.key(comments, "Return")
    d.wait_no_window(r"^Additional Comment Fields$")


def menu_keys_in_the_comment_box(d, main):
    """With the cursor in the comment box, the menu's keys run their commands: Ctrl+U asks for the
    password of Update Information (Esc does not close that prompt), Del is Delete Selection (with
    an empty list it does nothing). The comment stays as typed: every line of the day shows it."""
    d.key(main, "ctrl+u")
    ask = d.wait_window(r"^Enter Password$")
    d.key(ask, "Escape")
    d.type(ask, PASSWORD)
    d.key(ask, "Return")
    d.wait_no_window(r"^Enter Password$")
    if d.windows(r"^Password Failure$"):
        raise Failure("Esc closed the password prompt")
    d.key(main, "Home", "Delete")


def check_scan_file(path):
    raw = e2elib.read_bytes(path)
    lines = raw.split(b"\r\n")
    if lines[-1] != b"" or len(lines) != 303:
        raise Failure("scan file has %d lines, expected 302 ended by CR LF" % (len(lines) - 1))
    text = [line.decode() for line in lines[:-1]]
    if not re.fullmatch(DATE, text[0]):
        raise Failure("scan file line 1: %r" % text[0])
    for i, line in enumerate(text[1:]):
        m = re.fullmatch(r"(\d{3}),( -?|-)(\d[\d.e+-]*) ", line)
        if not m or int(m.group(1)) != i:
            raise Failure("scan file line %d: %r" % (i + 2, line))
        float(m.group(3))


def print_list(d, main, queue, rows_expected):
    """Ctrl+P to the PDF queue; the printed report lists every row of the list."""
    d.key(main, "ctrl+p")
    dialog = d.wait_window(r"^Print$")
    d.screenshot("print-dialog.png")
    d.key(dialog, "Return")
    d.wait_no_window(r"^Print$")
    pdfs = e2elib.wait_for(lambda: not queue.jobs_pending() and queue.pdfs(), 60, "the printed PDF")
    text = subprocess.run(["pdftotext", "-layout", pdfs[0], "-"], capture_output=True, text=True, timeout=60).stdout
    printed_rows = [line for line in text.splitlines() if re.match(DATE + r"\s+\d", line)]
    if "DOI/Haze Measurements" not in text or len(printed_rows) != rows_expected:
        raise Failure("the printed report lists %d rows, expected %d:\n%s" % (len(printed_rows), rows_expected, text))
    log("printed %d rows to %s" % (len(printed_rows), pdfs[0]))


def morning(d, day, scan, copy, queue):
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    d.wait_ready(main)
    set_password(d, main)
    name_and_fill_comment_columns(d, main)
    d.click_in(main, *COMMENT_BOX)
    d.type(main, MORNING_COMMENTS[0])
    menu_keys_in_the_comment_box(d, main)

    d.new_file(main, day)
    header = e2elib.read_data_file(day)[0]
    if header != e2elib.FIXED_HEADER + HEADERS:
        raise Failure("new file header %r" % header)

    log("new file %s" % day)
    for _ in range(20):
        d.take_reading(main, day)
    log("20 readings by Ctrl+R")
    for _ in range(3):
        d.press_measure(day, main=main)
    d.wait_ready(main)
    d.screenshot("twenty-three-readings.png")

    # A scan: the save dialog comes up when the meter has finished.
    d.key(main, "ctrl+s")
    dialog = d.wait_window(r"^Save As$", 30)
    d.type(dialog, scan)
    d.key(dialog, "Return")
    e2elib.wait_for(lambda: e2elib.count_lines(scan) >= 302, 10, "the scan file")
    check_scan_file(scan)
    d.wait_ready(main)

    # The newest row goes from the list; the file keeps it.
    d.click_in(main, *FIRST_LIST_ROW)
    d.key(main, "Delete")
    d.screenshot("after-delete.png")
    if queue.start():
        try:
            print_list(d, main, queue, 22)
        finally:
            queue.stop()
    else:
        log("printing skipped: %s" % queue.reason)

    # The list (22 rows after the delete) copied into a second file as old data.
    d.choose_file(main, "ctrl+n", r"^New$", copy)
    old_data = d.wait_window(r"^Save Old Data To New File$")
    d.key(old_data, "Tab", "Return")  # Enter presses the focused "Save Old To File"
    d.wait_window(e2elib.file_title(copy), 10)
    # Old-data lines carry the list's texts: cal standard and comment unquoted, no cal date.
    copied = e2elib.read_bytes(copy).decode().split("\r\n")
    if len(copied) != 24 or copied[-1] != "" or copied[0] != ",".join(e2elib.FIXED_HEADER + HEADERS):
        raise Failure("the copy holds %d lines (expected header and 22 rows): %r" % (len(copied) - 1, copied[:2]))
    old_line = re.compile(DATE + r"(,\d+\.\d\d){4},[^,\"]+,,\"[^\"]+\"," + re.escape(MORNING_COMMENTS[0]))
    for line in copied[1:-1]:
        if not old_line.fullmatch(line):
            raise Failure("old-data line %r" % line)
    d.exit_by_menu()


def afternoon(d, day, copy):
    d.start()
    main = d.main_window()
    if d.windows(r"^Password Protection Warning$"):
        raise Failure("the no-password warning came although a password is set")
    d.wait_ready(main)

    # A guarded command asks for the password: a wrong one is refused, the right one calibrates.
    d.key(main, "ctrl+t")
    ask = d.wait_window(r"^Enter Password$")
    d.type(ask, "wrong1")
    d.key(ask, "Return")
    refused = d.wait_window(r"^Password Failure$")
    d.screenshot("password-failure.png")
    d.key(refused, "Return")
    d.wait_no_window(r"^Password Failure$")
    d.key(main, "ctrl+t")
    ask = d.wait_window(r"^Enter Password$")
    d.type(ask, PASSWORD)
    d.key(ask, "Return")
    d.wait_no_window(r"^Enter Password$")
    if d.windows(r"^Password Failure$"):
        raise Failure("the right password was refused")
    # Calibrating keeps the meter busy for a while.
    e2elib.wait_for(lambda: not d.commands_ready(main), 10, "the meter to start calibrating")
    d.wait_ready(main)
    calibrated_at = time.time()

    # The morning's file is the last entry of the File menu (the copy was opened after it).
    d.open_menu(main, "alt+f")
    d.key(main, "Up", "Return")
    d.wait_window(e2elib.file_title(day), 10)
    d.click_in(main, *COMMENT_BOX)
    d.type(main, AFTERNOON_COMMENT)
    for _ in range(3):
        d.take_reading(main, day)
    d.screenshot("afternoon.png")
    d.exit_by_menu()
    return calibrated_at


def check_day_file(day, morning_bytes, calibrated_at):
    raw = e2elib.read_bytes(day)
    if not raw.startswith(morning_bytes):
        raise Failure("the morning's lines changed after the reopen")
    rows = e2elib.read_data_file(day)
    header = rows[0]
    if header != e2elib.FIXED_HEADER + HEADERS:
        raise Failure("header %r" % header)
    if len(rows) != 1 + 23 + 3:
        raise Failure("%d reading lines, expected 26" % (len(rows) - 1))
    today = {time.strftime("%m/%d/%Y", time.localtime(t)) for t in (calibrated_at, time.time())}
    for i, row in enumerate(rows[1:24], 2):
        e2elib.check_reading_row(row, header, 3, "line %d" % i)
        if row[8:] != MORNING_COMMENTS:
            raise Failure("line %d comments %r" % (i, row[8:]))
        if row[6][:10] in today:
            raise Failure("line %d: morning reading with cal date %r" % (i, row[6]))
    for i, row in enumerate(rows[24:], 25):
        e2elib.check_reading_row(row, header, 1, "line %d" % i)
        if row[8:] != [AFTERNOON_COMMENT]:
            raise Failure("line %d comments %r" % (i, row[8:]))
        # Taken after the calibration of the afternoon.
        if row[6][:10] not in today:
            raise Failure("line %d: cal date %r, expected today's calibration" % (i, row[6]))


def check_settings(d, day, copy):
    settings = e2elib.read_settings(d.settings)
    stored = settings["Preferences"].get("Password")
    if not stored or stored == PASSWORD or len(stored) != len(PASSWORD):
        raise Failure("password stored as %r" % stored)
    comments = settings["UserComments"]
    if [comments.get("UserComment%d" % i) for i in (1, 2, 3)] != HEADERS:
        raise Failure("comment headers stored as %r" % comments)
    recent = settings["Recent Files"]
    if [recent.get("RecentFile%d" % i) for i in (1, 2)] != [day, copy]:
        raise Failure("recent files %r" % recent)


def journey(d):
    day = os.path.join(d.work, "day.csv")
    scan = os.path.join(d.work, "profile.csv")
    copy = os.path.join(d.work, "copy.csv")
    queue = e2elib.CupsQueue(os.path.normpath(PRINT_SCRIPT), os.path.join(d.work, "pdf"))
    morning(d, day, scan, copy, queue)
    morning_bytes = e2elib.read_bytes(day)
    calibrated_at = afternoon(d, day, copy)
    check_day_file(day, morning_bytes, calibrated_at)
    check_settings(d, day, copy)
    log("a working day: 26 readings in %s" % day)


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
