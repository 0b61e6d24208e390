#!/usr/bin/env python3
"""Plants known faults in the program one at a time and reports which tests catch each.

Every fault below is a small, realistic slip (a swapped call, a lost sync, an off-by-one, a wrong
rounding mode, a misspelt word). For each one the script patches the source, rebuilds, runs the
test suite, records the tests and test functions that failed, and puts the source back, even when
interrupted. A fault no test catches is a hole in the suite.

    tools/plant_faults.py [--repo DIR] [--build DIR] [--only NAME ...] [--e2e] [--list]

Without --e2e the end-to-end journeys are left out (they take a minute); a fault that nothing else
catches is then tried against the journeys as well. Never commit while it runs.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

FAULTS = [
    ("shutdown-order", "app/GlimoraApp.cpp", "the meter link is closed before the settings are saved",
     [("    // The data file is closed before anything else is saved.\n    CloseFile();",
       "    VC->SetConnected(false);\n    CloseFile();")]),
    ("lost-fdatasync", "datafile/AppendFile.cpp", "a reading line is reported written without fdatasync",
     [("rc = ::fdatasync(m_fd);", "rc = 0;")]),
    ("rounding-half-up", "support/Numbers.cpp", "halves round away from zero instead of to even",
     [("return std::nearbyint(value);", "return std::round(value);")]),
    ("recent-files-off-by-one", "datafile/RecentFiles.cpp", "a file already in the list is found one place late",
     [("return static_cast<int16_t>(p - 1);", "return static_cast<int16_t>(p);")]),
    ("password-check-skipped", "settings/PasswordProtection.cpp", "any password unlocks the protected commands",
     [("if (!unlocked || entered != prefs.Password)", "if (!unlocked)")]),
    ("header-word-misspelt", "datafile/DataLines.cpp", "the data file header says Speculer",
     [('"Specular", "DOI"', '"Speculer", "DOI"')]),
    ("torn-line-reported-written", "datafile/AppendFile.cpp", "a short write at a full disk counts as a whole line",
     [("        left -= n;", "        left = 0;")]),
    ("report-tab-stop", "printing/TabClass.cpp", "every tab stop of the report lies 0.1 in too far right",
     [("printing::TwipsToUnits(m_tabs[i])", "printing::TwipsToUnits(m_tabs[i] + 144)")]),
    ("settings-mode-0644", "support/SettingsStore.cpp", "the settings file (with the password) is readable by all",
     [("O_CLOEXEC, 0600)", "O_CLOEXEC, 0644)"), ("constData(), 0600);", "constData(), 0644);")]),
    ("settings-save-unverified", "support/SettingsStore.cpp", "a settings file cut short replaces the good one",
     [("if (!written || !check.open(QIODevice::ReadOnly) || check.readAll() != text) {", "if (false) {")]),
    ("password-scramble-mask", "settings/Preferences.cpp", "the stored password uses the wrong mask for odd codes",
     [("kOddMask = 0x0A", "kOddMask = 0x1A")]),
    ("serial-checksum", "metercontrols/serial/SerialProtocol.cpp", "the serial line CRC starts from 0 instead of FFFF",
     [("quint16 crc = 0xFFFF;", "quint16 crc = 0x0000;")]),
    ("low-battery-threshold", "simulator/SimulatedMeter.cpp", "the simulated battery reads low only below 5 %",
     [("kLowBattery = 15", "kLowBattery = 5")]),
    ("std-dev-population", "dataviews/ReadingStatistics.cpp", "the standard deviation divides by n, not n - 1",
     [("m_m2 / static_cast<double>(m_count - 1)", "m_m2 / static_cast<double>(m_count)")]),
    ("carriage-return-kept", "comments/SingleLine.cpp", "a carriage return typed or pasted into a comment stays",
     [("if (c == QLatin1Char('\\r')) {", "if (c == QLatin1Char('\\a')) {")]),
    ("average-removes-wrong-column", "vantrel/MeterReading.cpp", "deleting a row takes its DOI off the specular sum",
     [("--m_count;\n    m_sum[0] -= specular;", "--m_count;\n    m_sum[0] -= doi;")]),
    ("meter-off-not-busy", "meter/StatusDisplay.cpp", "a meter that is off leaves the reading commands enabled",
     [('activity = QStringLiteral("Haze meter is off");\n            m_meterBusy = true;',
       'activity = QStringLiteral("Haze meter is off");\n            m_meterBusy = false;')]),
    ("scan-file-index", "meter/ScanFile.cpp", "scan points are numbered from 1",
     [("arg(i, 3, 10", "arg(i + 1, 3, 10")]),
    ("duty-cycle-zero-refused", "calibration/TypedNumber.cpp", "a duty cycle of 0 typed in Settings is ignored",
     [("inside = v >= 0 && v <= 300;", "inside = v > 0 && v <= 300;")]),
    ("center-range-closed", "calibration/TypedNumber.cpp", "a center of exactly 80 or 140 is taken",
     [("inside = v > 80 && v < 140;", "inside = v >= 80 && v <= 140;")]),
    ("old-data-last-row-lost", "datafile/DataFile.cpp", "the last row of the old data is not copied to the new file",
     [("for (int row = 0; row < rows; ++row) {", "for (int row = 0; row < rows - 1; ++row) {")]),
    ("terminate-signal-ignored", "app/ShutdownSignals.cpp", "SIGTERM kills the program without saving",
     [("constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};", "constexpr int kSignals[] = {SIGINT, SIGHUP};")]),
    ("comment-box-eats-menu-keys", "app/MenuShortcuts.cpp", "a menu key typed in the comment box goes into the comment",
     [("if (QAction* command = CommandFor(m_menus->actions(), typed)) {",
       "if (QAction* command = false ? CommandFor(m_menus->actions(), typed) : nullptr) {")]),
    ("help-title-string", "help/HelpContents.cpp", "the help window takes its title from the wrong system string",
     [("return SystemString(file, 3);", "return SystemString(file, 4);")]),
    ("simulator-seed-ignored", "simulator/SimulatedMeter.cpp", "a stored seed does not repeat the run",
     [("    if (seed != 0) {\n        m_random.seed(seed);", "    if (seed == 0xFFFFFFFFu) {\n        m_random.seed(seed);")]),
]

FAIL_LINE = re.compile(r"FAIL!\s+:\s+(\S+?)::(\w+)\(([^)]*)\)")
FAILED_TEST = re.compile(r"^\s*\d+\s+-\s+(\S+)\s+\(", re.M)


def run(cmd, cwd, timeout):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           errors="replace", timeout=timeout)
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return -1, out + "\n(timed out)"


def caught_by(output):
    """The failing tests, each with the test functions (and data rows) that failed."""
    tests = FAILED_TEST.findall(output.split("The following tests FAILED:")[-1]) if "tests FAILED" in output else []
    funcs = {}
    for cls, fn, row in FAIL_LINE.findall(output):
        funcs.setdefault(cls, []).append(fn + (f"({row})" if row else ""))
    detail = "; ".join(f"{cls}::{', '.join(dict.fromkeys(fns))}" for cls, fns in funcs.items())
    return tests, detail


def plant(repo, build, fault, with_e2e, jobs):
    name, path, what, edits = fault
    full = os.path.join(repo, path)
    with open(full, encoding="utf-8") as f:
        original = f.read()
    patched = original
    for old, new in edits:
        if patched.count(old) != 1:
            return f"SITE MOVED ({old[:40]!r} found {patched.count(old)} times)"
        patched = patched.replace(old, new)
    try:
        with open(full, "w", encoding="utf-8") as f:
            f.write(patched)
        rc, out = run(["cmake", "--build", build, f"-j{jobs}"], repo, 1800)
        if rc != 0:
            return "BUILD FAILED: " + " | ".join(l for l in out.splitlines() if "error" in l)[:300]
        ctest = ["ctest", f"-j{jobs}", "--output-on-failure", "--timeout", "180"]
        rc, out = run(ctest + ([] if with_e2e else ["-E", "e2e_"]), build, 3600)
        tests, detail = caught_by(out)
        if not tests and not with_e2e:
            rc, out = run(ctest + ["-R", "e2e_"], build, 3600)
            tests, detail = caught_by(out)
        if not tests:
            return "NOT CAUGHT"
        return ", ".join(tests) + (f"  [{detail}]" if detail else "")
    finally:
        with open(full, "w", encoding="utf-8") as f:
            f.write(original)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--repo", default=here)
    ap.add_argument("--build")
    ap.add_argument("--only", nargs="*")
    ap.add_argument("--e2e", action="store_true", help="run the journeys for every fault")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    a = ap.parse_args()
    # A stop by SIGTERM or SIGHUP unwinds like Ctrl+C, so the planted file is put back.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(130))
    repo = os.path.abspath(a.repo)
    build = os.path.abspath(a.build or os.path.join(repo, "build"))
    faults = [f for f in FAULTS if not a.only or f[0] in a.only]
    if a.list:
        for name, path, what, _ in faults:
            print(f"{name:30} {path:42} {what}")
        return 0
    rc, out = run(["cmake", "--build", build, f"-j{a.jobs}"], repo, 3600)
    if rc != 0:
        print(out[-3000:])
        return 2
    missed = 0
    for fault in faults:
        start = time.monotonic()
        result = plant(repo, build, fault, a.e2e, a.jobs)
        missed += result.startswith(("NOT CAUGHT", "SITE MOVED", "BUILD FAILED"))
        print(f"{fault[0]:30} {fault[1]:42} {int(time.monotonic() - start):4}s  {result}", flush=True)
    # Put the build back in step with the untouched sources.
    run(["cmake", "--build", build, f"-j{a.jobs}"], repo, 3600)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
