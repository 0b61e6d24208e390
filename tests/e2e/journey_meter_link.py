#!/usr/bin/env python3
"""The meter's cable is pulled and plugged back during a session, then the meter is switched off
from the program (Ctrl+Q) and woken with its own power button. The program keeps running, takes
nothing while the meter is away, and takes readings again once it is back."""
import os
import sys
import time

import e2elib
from e2elib import Failure, log

# The "Cable plugged in" check box on the front panel, from the panel's left and bottom edges.
CABLE_BOX = (158, -35)


def expect_no_new_line(d, path, lines, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        d.expect_running()
        if e2elib.count_lines(path) != lines:
            raise Failure("a line reached the file %s" % what)
        time.sleep(0.1)


def wait_meter_store(d, key, value):
    e2elib.wait_for(lambda: d.meter_value(key) == value, 10, "the meter to store %s=%s" % (key, value))


def wait_not_ready(d, main):
    e2elib.wait_for(lambda: d.expect_running() or not d.commands_ready(main), 10, "the meter commands to be disabled")


def journey(d):
    path = os.path.join(d.work, "link.csv")
    d.start()
    d.answer_password_warning()
    main = d.main_window()
    panel = d.panel_window()
    d.new_file(main, path)
    lines = d.take_reading(main, path)

    # Cable out: the link is lost, the commands go, and neither Ctrl+R nor the meter's own
    # button brings a line.
    d.click_in(panel, *CABLE_BOX)
    wait_meter_store(d, "Plugged", "false")
    wait_not_ready(d, main)
    d.screenshot("unplugged.png")
    d.key(main, "ctrl+r")
    d.click(*d.find_panel_button("green"))
    expect_no_new_line(d, path, lines, 3.5, "while the cable was out")

    # Cable back in: the link comes back by itself.
    d.click_in(panel, *CABLE_BOX)
    wait_meter_store(d, "Plugged", "true")
    d.wait_ready(main)
    lines = d.take_reading(main, path)

    # Switched off from the program, woken on the meter.
    d.key(main, "ctrl+q")
    wait_meter_store(d, "PoweredOn", "false")
    wait_not_ready(d, main)
    d.screenshot("meter-off.png")
    d.key(main, "ctrl+r")
    expect_no_new_line(d, path, lines, 2, "while the meter was off")
    d.click(*d.find_panel_button("red"))
    wait_meter_store(d, "PoweredOn", "true")
    d.wait_ready(main)
    lines = d.take_reading(main, path)
    # The meter's own button delivers too.
    lines = d.press_measure(path, main=main)
    d.screenshot("meter-back.png")

    d.exit_by_menu()
    rows = e2elib.read_data_file(path)
    if len(rows) != 5:
        raise Failure("%d reading lines, expected 4" % (len(rows) - 1))
    for i, row in enumerate(rows[1:], 2):
        e2elib.check_reading_row(row, rows[0], 0, "line %d" % i)
    log("4 readings around an unplugged and a switched-off meter")


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
