#!/usr/bin/env python3
"""New file, three readings, then the process is killed (SIGKILL): every accepted reading is in
the file, whole. After a restart the same file opens again and takes the next reading."""
import os
import sys

import e2elib
from e2elib import Failure, log


def journey(d):
    path = os.path.join(d.work, "killed.csv")
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    d.new_file(main, path)
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
    # The recent-files list was written when the file was created, and is whole.
    recent = e2elib.read_settings(d.settings).get("Recent Files", {})
    if recent.get("RecentFile1") != path:
        raise Failure("recent files after the kill: %r" % recent)

    # The killed run never saved its preferences; the next start still warns about the password.
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    d.wait_ready(main)
    d.choose_file(main, "ctrl+o", r"^Open$", path)
    d.wait_window(e2elib.file_title(path), 10)
    d.take_reading(main, path)
    rows = e2elib.read_data_file(path)
    if len(rows) != 5 or rows[0] != e2elib.FIXED_HEADER + ["Comment"]:
        raise Failure("after reopening: %d lines, header %r" % (len(rows), rows[0]))
    e2elib.check_reading_row(rows[4], rows[0], 0, "line 5")
    d.exit_by_menu()


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
