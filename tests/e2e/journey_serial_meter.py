#!/usr/bin/env python3
"""The program on a meter at the end of a serial line: glimora-meter-emulator on a pseudo-terminal,
chosen in the settings file ([MeterControl] Name=Serial, Port=the terminal). It links, takes a
reading into the list and an open data file, saves a scan and calibrates; when the emulator stops
while linked, the meter commands go and the program keeps running."""
import configparser
import os
import re
import subprocess
import sys

import e2elib
from e2elib import MAIN, Failure, log

SERIAL = "EMU00042"


def start_emulator(d):
    store = os.path.join(d.work, "emulator.ini")
    with open(store, "w") as f:
        f.write("[Instrument]\nOccasionalInvalidReadings=false\n")
    emulator = os.path.join(os.path.dirname(d.binary), "glimora-meter-emulator")
    process = subprocess.Popen([emulator, "--seed", "12345", "--serial", SERIAL, "--store", store],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               start_new_session=True)
    port = process.stdout.readline().decode().strip()
    if not port.startswith("/dev/"):
        raise Failure("the emulator printed %r instead of its terminal" % port)
    log("emulator on %s" % port)
    return process, store, port


def calibrated(store):
    parser = configparser.ConfigParser(interpolation=None)
    parser.optionxform = str
    parser.read(store)
    return parser.get("Standard0", "Calibrated", fallback="")


def journey(d):
    emulator, store, port = start_emulator(d)
    try:
        os.makedirs(os.path.dirname(d.settings), exist_ok=True)
        with open(d.settings, "w") as f:
            f.write("[MeterControl]\nName=Serial\nPort=%s\n" % port)
        path = os.path.join(d.work, "serial.csv")
        scan = os.path.join(d.work, "scan.csv")
        d.start()
        d.answer_password_warning()
        main = d.window(MAIN)
        d.wait_ready(main)
        if "S/N: " + SERIAL not in d.status(main):
            raise Failure("the S/N panel does not show the emulator's serial number: %r" % d.status(main))
        d.menu(main, "File", "New")
        d.choose_file("New", path)
        main = d.window(MAIN + " - " + re.escape(path))
        d.screenshot("linked.png")
        d.take_reading(lambda: d.keys(MAIN, "ctrl+r"), path)
        rows = e2elib.read_data_file(path)
        e2elib.check_reading_row(rows[1], [], "the reading over the serial line")
        if rows[1][7] != SERIAL:
            raise Failure("the reading does not carry the emulator's serial number: %r" % rows[1])

        d.wait_ready(main)
        d.keys(MAIN, "ctrl+s")
        d.choose_file("Save As", scan, 30)
        e2elib.wait_for(lambda: e2elib.count_lines(scan) >= 302, "the scan file")

        d.wait_ready(main)
        before = calibrated(store)
        d.keys(MAIN, "ctrl+t")
        e2elib.wait_for(lambda: calibrated(store) != before, "the emulator to store a new calibration")
        d.wait_ready(main)

        # The emulator stops while linked: the meter commands go, nothing hangs, nothing more is written.
        lines = e2elib.count_lines(path)
        emulator.kill()
        emulator.wait(10)
        e2elib.wait_for(lambda: not d.enabled(main, "menu item", "Take Reading"), "the meter commands to be disabled", 15)
        d.screenshot("emulator-stopped.png")
        d.keys(MAIN, "ctrl+r")
        d.expect_running()
        if e2elib.count_lines(path) != lines:
            raise Failure("a line reached the file with the emulator stopped")
        d.exit_by_menu()
        log("linked over the serial line, read, scanned, calibrated, and survived the emulator's end")
    finally:
        if emulator.poll() is None:
            emulator.kill()
            emulator.wait(10)


if __name__ == "__main__":
    sys.exit(e2elib.run(journey))
