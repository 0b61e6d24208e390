#!/usr/bin/env python3
"""The program on a meter at the end of a serial line: glimora-meter-emulator on a pseudo-terminal,
chosen in the settings file ([MeterControl] Name=Serial, Port=the terminal). It links, takes a
reading into the list and an open data file, saves a scan and calibrates; when the emulator stops
while linked, the meter commands go and the program keeps running."""
import configparser
import os
import subprocess
import sys
import time

import e2elib
from e2elib import Failure, log

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
        main = d.main_window()
        d.new_file(main, path)
        d.screenshot("linked.png")
        d.take_reading(main, path)
        rows = e2elib.read_data_file(path)
        e2elib.check_reading_row(rows[1], rows[0], 0, "the reading over the serial line")
        if SERIAL not in rows[1]:
            raise Failure("the reading does not carry the emulator's serial number: %r" % rows[1])

        d.wait_ready(main)
        d.key(main, "ctrl+s")
        dialog = d.wait_window(r"^Save As$", 30)
        d.type(dialog, scan)
        d.key(dialog, "Return")
        e2elib.wait_for(lambda: e2elib.count_lines(scan) >= 302, 10, "the scan file")

        d.wait_ready(main)
        before = calibrated(store)
        d.key(main, "ctrl+t")
        e2elib.wait_for(lambda: calibrated(store) != before, 20, "the emulator to store a new calibration")
        d.wait_ready(main)

        # The emulator stops while linked: the commands go, nothing hangs, nothing more is written.
        emulator.kill()
        emulator.wait(10)
        e2elib.wait_for(lambda: d.expect_running() or not d.commands_ready(main), 15, "the meter commands to be disabled")
        d.screenshot("emulator-stopped.png")
        lines = e2elib.count_lines(path)
        d.key(main, "ctrl+r")
        time.sleep(2)
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
