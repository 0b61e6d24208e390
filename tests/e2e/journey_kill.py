#!/usr/bin/env python3
"""New file, three readings, then the process is killed (SIGKILL): every accepted reading is in
the file, whole. After a restart the same file opens again and takes the next reading."""
import os
import sys

import e2elib
from e2elib import Failure, log


def new_file(d, main, path):
    d.wait_ready(main)
    d.key(main, "ctrl+n")
    dialog = d.wait_window(r"^New$")
    d.type(dialog, path)
    d.key(dialog, "Return")
    d.wait_no_window(r"^New$")
    d.wait_window(r"^DOI/Haze Meter - " + path.replace(".", r"\.") + "$", 10)


def journey(d):
    path = os.path.join(d.work, "killed.csv")
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    new_file(d, main, path)
    for _ in range(3):
        d.take_reading(main, path)
    d.screenshot("before-kill.png")
    d.kill()

    rows = e2elib.read_data_file(path)
    if rows[0] != e2elib.FIXED_HEADER + ["Comment"]:
        raise Failure("header %r" % rows[0])
    if len(rows) != 4:
        raise Failure("%d reading lines after the kill, expected 3" % (len(rows) - 1))
    for i, row in enumerate(rows[1:], 2):
        e2elib.check_reading_row(row, rows[0], 0, "line %d" % i)
    log("all three readings survived the kill")

    # The killed run saved no settings; the next start still has no password and warns again.
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    d.wait_ready(main)
    d.key(main, "ctrl+o")
    dialog = d.wait_window(r"^Open$")
    d.type(dialog, path)
    d.key(dialog, "Return")
    d.wait_window(r"^DOI/Haze Meter - " + path.replace(".", r"\.") + "$", 10)
    d.take_reading(main, path)
    rows = e2elib.read_data_file(path)
    if len(rows) != 5 or rows[0] != e2elib.FIXED_HEADER + ["Comment"]:
        raise Failure("after reopening: %d lines, header %r" % (len(rows), rows[0]))
    e2elib.check_reading_row(rows[4], rows[0], 0, "line 5")
    d.exit_by_menu()


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
