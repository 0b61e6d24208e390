#!/usr/bin/env python3
"""Plants faults in the program one at a time and reports which tests catch each.

Two kinds of fault:
- the hand list below: small, realistic slips (a lost sync, an off-by-one, a wrong rounding mode,
  a misspelt word), each with the tests that catch it; a fault that nothing catches fails the run;
- a sweep of mechanical mutants (--sweep N): a comparison flipped or loosened, a whole-number
  constant moved by one, a call statement removed, a condition inverted. The sites are found in
  every program library, a sample of N per library is drawn from the seed, and each mutant is
  run against its library's own suites, then, if they miss it, against every suite but the
  journeys. It reports the share caught per library and lists the survivors to look at; the
  survivors reviewed as changing nothing (tools/equivalent_mutants.txt) are counted apart.

Everything happens in a git worktree of the given revision (default HEAD) beside a build of its
own under --work, never in the checkout: the checkout can be edited, built and committed while a
sweep runs. Before any fault is planted the suites run twice on the untouched tree; a red or
flaky suite stops the run, since its failures would be taken for catches.

    tools/plant_faults.py [--only NAME ...] [--e2e] [--list]
    tools/plant_faults.py --sweep 8 [--seed 1] [--library datafile ...] [--goal 0.9]

Without --e2e the end-to-end journeys are left out (they take a minute); a hand-list fault that
nothing else catches is then tried against the journeys as well.
"""
import argparse
import os
import random
import re
import shutil
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

# The program's libraries: every top folder with C++ sources outside these.
NOT_PROGRAM = {"tests", "fuzz", "bench", "tools", "examples", "docs", "scripts", "resources", "cmake"}


def run(cmd, cwd, timeout, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           errors="replace", timeout=timeout, env=env)
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


class Tree:
    """A worktree of one revision with a build of its own; the checkout is never touched."""

    def __init__(self, repo, ref, work, jobs):
        self.repo, self.jobs = repo, jobs
        self.src = os.path.join(work, "src")
        self.build = os.path.join(work, "build")
        self.env = dict(os.environ, CCACHE_BASEDIR=self.src, CCACHE_NOHASHDIR="true")
        subprocess.run(["git", "-C", repo, "worktree", "prune"], check=True)
        # Resolved in the checkout: a name such as HEAD would mean the worktree's own revision.
        ref = subprocess.run(["git", "-C", repo, "rev-parse", "--verify", ref + "^{commit}"], stdout=subprocess.PIPE,
                             text=True, check=True).stdout.strip()
        if os.path.isdir(os.path.join(self.src, ".git")) or os.path.isfile(os.path.join(self.src, ".git")):
            # Kept from an earlier run: moved to the revision, files it does not change keep their
            # times, so the build stays incremental.
            subprocess.run(["git", "-C", self.src, "checkout", "--detach", "--force", ref], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["git", "-C", self.src, "clean", "-fdq"], check=True)
        else:
            os.makedirs(work, exist_ok=True)
            subprocess.run(["git", "-C", repo, "worktree", "add", "--detach", "--force", self.src, ref], check=True,
                           stdout=subprocess.DEVNULL)
        cache = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
        rc, out = run(["cmake", "-S", self.src, "-B", self.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                       "-DGLIMORA_BENCH=OFF"] + cache, self.src, 600, self.env)
        if rc != 0:
            raise SystemExit(out[-3000:])

    def compile(self, targets=()):
        cmd = ["cmake", "--build", self.build, f"-j{self.jobs}"] + [a for t in targets for a in ("--target", t)]
        return run(cmd, self.src, 3600, self.env)

    def ctest(self, *args):
        return run(["ctest", f"-j{self.jobs}", "--output-on-failure", "--timeout", "180", *args],
                   self.build, 3600, self.env)

    def suites(self):
        """Each test folder's ctest names, from its CMakeLists.txt."""
        found = {}
        tests = os.path.join(self.src, "tests")
        for d in sorted(os.listdir(tests)):
            path = os.path.join(tests, d, "CMakeLists.txt")
            if os.path.isfile(path):
                text = open(path, encoding="utf-8").read()
                found[d] = re.findall(r"glimora_add_test\((\w+)", text)
        return found


def baseline(tree, with_e2e):
    """The untouched tree, twice: a failure either time stops everything."""
    rc, out = tree.compile()
    if rc != 0:
        raise SystemExit("The untouched tree does not build:\n" + out[-3000:])
    for attempt in (1, 2):
        rc, out = tree.ctest(*([] if with_e2e else ["-E", "e2e_"]))
        tests, _ = caught_by(out)
        if rc != 0 or tests:
            kind = "red" if attempt == 1 else "flaky (green once, red the second time)"
            raise SystemExit(f"The suite is {kind} before any fault: {', '.join(tests) or out[-2000:]}")
    print("Baseline: every suite green twice.", flush=True)


def patched(tree, path, edit):
    """Runs the body with `edit(text) -> text` applied to one file, putting it back whatever happens."""
    full = os.path.join(tree.src, path)
    original = open(full, encoding="utf-8").read()

    class Patch:
        def __enter__(self):
            with open(full, "w", encoding="utf-8") as f:
                f.write(edit(original))

        def __exit__(self, *exc):
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)
            # The file's time moves on, so the next build sees it changed back.
            os.utime(full)

    return Patch()


def plant(tree, fault, with_e2e):
    name, path, what, edits = fault
    text = open(os.path.join(tree.src, path), encoding="utf-8").read()
    for old, _ in edits:
        if text.count(old) != 1:
            return f"SITE MOVED ({old[:40]!r} found {text.count(old)} times)"

    def edit(t):
        for old, new in edits:
            t = t.replace(old, new)
        return t

    with patched(tree, path, edit):
        rc, out = tree.compile()
        if rc != 0:
            return "BUILD FAILED: " + " | ".join(l for l in out.splitlines() if "error" in l)[:300]
        rc, out = tree.ctest(*([] if with_e2e else ["-E", "e2e_"]))
        tests, detail = caught_by(out)
        if not tests and not with_e2e:
            rc, out = tree.ctest("-R", "e2e_")
            tests, detail = caught_by(out)
        if not tests:
            return "NOT CAUGHT"
        return ", ".join(tests) + (f"  [{detail}]" if detail else "")


# Mechanical mutants. Each operator takes a line of code and yields (kind, new line) variants;
# comparisons are matched only between spaces, so templates, arrows and shifts are left alone.
FLIP = {"<": ">=", ">": "<=", "<=": ">", ">=": "<", "==": "!=", "!=": "=="}
LOOSEN = {"<": "<=", ">": ">="}
COMPARISON = re.compile(r"(?<=\s)(<=|>=|==|!=|<|>)(?=\s)")
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
CALL_STATEMENT = re.compile(r"^(\s*)(?!return\b|delete\b|throw\b|case\b|else\b)[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\(.*\);\s*$")
IF_CONDITION = re.compile(r"^(\s*(?:\}\s*else\s+)?if \()(.*)(\)\s*\{?\s*)$")
SKIP_LINE = re.compile(r'^\s*(#|//|/\*|\*)|"|static_assert|Q_OBJECT|Q_PROPERTY|\btemplate\b')
# Lines that only place widgets (margins, spacing, grid cells, sizes) are left out: the sweep is
# after the program's logic, and a layout moved by a pixel or a cell is seen on a screenshot.
LAYOUT_LINE = re.compile(r"\b(add(Widget|Layout|Spacing|Stretch|Row)|set(ContentsMargins|Spacing|Fixed\w*|Minimum\w*|"
                         r"Maximum\w*|ColumnWidth|ColumnStretch|RowStretch|Geometry)|resize|move|QSize|QRect|QMargins)\(")
# Files that only draw pictures (the toolbar's icons) are left out for the same reason: a stroke
# moved is seen on a screenshot, and no test asserts a pixel.
DRAWING_ONLY = {"app/ToolbarIcons.cpp"}


def balanced(text):
    depth = 0
    for c in text:
        depth += {"(": 1, ")": -1}.get(c, 0)
        if depth < 0:
            return False
    return depth == 0


def mutants_of(line):
    if SKIP_LINE.search(line) or LAYOUT_LINE.search(line) or not line.strip():
        return
    for m in COMPARISON.finditer(line):
        op = m.group(1)
        yield "comparison flipped", line[:m.start()] + FLIP[op] + line[m.end():]
        if op in LOOSEN:
            yield "comparison loosened", line[:m.start()] + LOOSEN[op] + line[m.end():]
    for m in NUMBER.finditer(line):
        value = int(m.group(1))
        for moved in (value + 1, value - 1) if value > 0 else (1,):
            yield "constant moved by one", line[:m.start()] + str(moved) + line[m.end():]
    if CALL_STATEMENT.match(line) and balanced(line):
        yield "call removed", CALL_STATEMENT.match(line).group(1) + ";\n"
    m = IF_CONDITION.match(line)
    if m and balanced(m.group(2)):
        yield "condition inverted", f"{m.group(1)}!({m.group(2)}){m.group(3)}\n"


def library_of(path):
    top = path.split("/", 1)[0]
    return None if "/" not in path or top in NOT_PROGRAM else top


def sites(tree, libraries):
    """Every mutant of every program library's .cpp files, grouped by library."""
    out = subprocess.run(["git", "-C", tree.src, "ls-files", "*.cpp"], stdout=subprocess.PIPE, text=True,
                         check=True).stdout.split()
    found = {}
    for path in out:
        lib = library_of(path)
        if not lib or (libraries and lib not in libraries) or path.endswith("main.cpp") or path in DRAWING_ONLY:
            continue
        lines = open(os.path.join(tree.src, path), encoding="utf-8").read().splitlines(keepends=True)
        for number, line in enumerate(lines, 1):
            for kind, new in mutants_of(line):
                found.setdefault(lib, []).append((path, number, kind, line, new))
    return found


def draw(found, count, rng):
    """A sample without repeats in which every kind of mutant is as likely as any other, so that
    the many whole-number constants do not crowd out the comparisons and conditions."""
    by_kind = {}
    for mutant in found:
        by_kind.setdefault(mutant[2], []).append(mutant)
    sample = []
    while len(sample) < count and by_kind:
        kind = rng.choice(sorted(by_kind))
        sample.append(by_kind[kind].pop(rng.randrange(len(by_kind[kind]))))
        if not by_kind[kind]:
            del by_kind[kind]
    return sample


def try_mutant(tree, suites, lib, mutant):
    path, number, kind, old, new = mutant

    def edit(text):
        lines = text.splitlines(keepends=True)
        lines[number - 1] = new
        return "".join(lines)

    own = suites.get(lib, [])
    with patched(tree, path, edit):
        rc, out = tree.compile(own or ["glimora"])
        if rc != 0:
            return "does not build"
        if own:
            rc, out = tree.ctest("-R", "^(" + "|".join(own) + ")$")
            tests, _ = caught_by(out)
            if tests or rc != 0:
                return "caught by " + ", ".join(tests or ["its suite"])
        rc, out = tree.compile()
        if rc != 0:
            return "does not build"
        rc, out = tree.ctest("-E", "e2e_")
        tests, _ = caught_by(out)
        return "caught by " + ", ".join(tests) if tests or rc != 0 else "SURVIVED"


def reviewed_equivalents(path):
    """The survivors reviewed as changing nothing (tools/equivalent_mutants.txt): a set of
    (file, line, mutant line), each line stripped."""
    found, entry = set(), {}
    if not os.path.exists(path):
        return found
    for raw in open(path, encoding="utf-8").read().splitlines() + [""]:
        if raw.startswith("#"):
            continue
        key, _, value = raw.partition(": ")
        if key in ("file", "line"):
            entry[key] = value.strip()
        elif key == "mutant" and {"file", "line"} <= entry.keys():
            found.add((entry["file"], entry["line"], value.strip()))
        elif not raw.strip():
            entry = {}
    return found


def sweep(tree, per_library, seed, libraries, goal, equivalents):
    suites = tree.suites()
    rng = random.Random(seed)
    everything = sites(tree, libraries)
    print(f"Sweep: seed {seed}, {per_library} mutants per library from "
          f"{sum(len(v) for v in everything.values())} sites in {len(everything)} libraries.", flush=True)
    shares, survivors = {}, []
    for lib in sorted(everything):
        sample = draw(everything[lib], per_library, rng)
        caught = built = same = 0
        for mutant in sample:
            start = time.monotonic()
            result = try_mutant(tree, suites, lib, mutant)
            path, number, kind, old, new = mutant
            if result == "SURVIVED" and (path, old.strip(), new.strip()) in equivalents:
                result = "survived, changes nothing (reviewed)"
            print(f"  {lib:14} {path}:{number:<5} {kind:22} {int(time.monotonic() - start):4}s  {result}", flush=True)
            if result == "does not build":
                continue
            built += 1
            caught += result.startswith("caught")
            same += result.startswith("survived")
            if result == "SURVIVED":
                survivors.append((path, number, kind, old.strip(), new.strip()))
        shares[lib] = (caught, built, same)
    tree.compile()
    # Mutants reviewed as changing nothing are not faults the tests could catch: the share is
    # taken over the others.
    print("\nShare caught per library (of the mutants that change the program; plainly):")
    below = 0
    for lib, (caught, built, same) in shares.items():
        share = caught / (built - same) if built > same else 1.0
        below += share < goal
        plain = caught / built if built else 1.0
        print(f"  {lib:14} {caught:3} of {built - same:3}  {100 * share:5.1f} %   "
              f"({caught} of {built}, {100 * plain:5.1f} %, {same} changing nothing)")
    total_caught = sum(c for c, _, _ in shares.values())
    total = sum(b for _, b, _ in shares.values())
    total_same = sum(s for _, _, s in shares.values())
    print(f"  {'all':14} {total_caught:3} of {total - total_same:3}  "
          f"{100 * total_caught / max(total - total_same, 1):5.1f} %   "
          f"({total_caught} of {total}, {100 * total_caught / max(total, 1):5.1f} %, {total_same} changing nothing)")
    if survivors:
        print("\nSurvivors:")
        for path, number, kind, old, new in survivors:
            print(f"  {path}:{number} ({kind}): {old}  ->  {new}")
    return 1 if below else 0


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--repo", default=here, help="the checkout whose history is used (never changed)")
    ap.add_argument("--ref", default="HEAD", help="the revision to plant faults in")
    ap.add_argument("--work", default=os.path.join("/tmp", "glimora-plant-faults"),
                    help="where the worktree and its build live (kept between runs: the worktree is moved to the revision, the build stays incremental)")
    ap.add_argument("--only", nargs="*", help="hand-list faults by name")
    ap.add_argument("--e2e", action="store_true", help="run the journeys for every hand-list fault")
    ap.add_argument("--list", action="store_true", help="list the hand-list faults")
    ap.add_argument("--sweep", type=int, metavar="N", help="N mechanical mutants per library instead of the hand list")
    ap.add_argument("--seed", type=int, default=1, help="the sweep's sample")
    ap.add_argument("--library", nargs="*", help="sweep only these libraries")
    ap.add_argument("--goal", type=float, default=0.9,
                    help="the share each library must catch (mutants reviewed as changing nothing left out)")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    a = ap.parse_args()
    if a.list:
        for name, path, what, _ in FAULTS:
            if not a.only or name in a.only:
                print(f"{name:30} {path:42} {what}")
        return 0
    # A stop by SIGTERM or SIGHUP unwinds like Ctrl+C, so the planted file is put back.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit(130))
    tree = Tree(os.path.abspath(a.repo), a.ref, os.path.abspath(a.work), a.jobs)
    baseline(tree, a.e2e)
    if a.sweep:
        return sweep(tree, a.sweep, a.seed, set(a.library or []), a.goal,
                     reviewed_equivalents(os.path.join(here, "tools", "equivalent_mutants.txt")))
    missed = 0
    for fault in [f for f in FAULTS if not a.only or f[0] in a.only]:
        start = time.monotonic()
        result = plant(tree, fault, a.e2e)
        missed += result.startswith(("NOT CAUGHT", "SITE MOVED", "BUILD FAILED"))
        print(f"{fault[0]:30} {fault[1]:42} {int(time.monotonic() - start):4}s  {result}", flush=True)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
