#!/usr/bin/env python3
"""Checks that every library includes only the libraries ARCHITECTURE.md allows it to use.

The table under "## Who may use whom" in ARCHITECTURE.md names each folder and the folders its
sources may include ("#include \"datafile/DataFile.h\"" is a use of datafile/). A row may name a
single file instead of a folder (the composition root); its own row then replaces its folder's.

  python3 scripts/check_layers.py [--root DIR] [--plant FILE:LINE]

--plant adds one include line to a file, in memory only, to show that the check catches it.
Exits 1 and lists every include that breaks the table; 0 when all keep it.
"""
import argparse
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z_][A-Za-z0-9_]*)/')
SOURCES = ('.cpp', '.h')


def read_table(architecture):
    rows = {}
    in_section = False
    for line in architecture.read_text(encoding='utf-8').splitlines():
        if line.startswith('## '):
            in_section = line.strip() == '## Who may use whom'
            continue
        if not in_section or not line.startswith('|'):
            continue
        cells = [c.strip().strip('`') for c in line.strip().strip('|').split('|')]
        if len(cells) < 2 or set(cells[0]) <= set('-: ') or cells[0].lower() == 'library':
            continue
        name = cells[0].rstrip('/')
        allowed = {a.strip().strip('`').rstrip('/') for a in cells[-1].split(',')}
        rows[name] = {a for a in allowed if a and a not in ('-', '—', 'nothing')}
    if not rows:
        raise SystemExit(f'{architecture}: no table under "## Who may use whom"')
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--root', default=pathlib.Path(__file__).resolve().parent.parent, type=pathlib.Path)
    parser.add_argument('--plant', help='FILE:INCLUDED, e.g. vantrel/ScanData.h:app/GlimoraApp.h')
    args = parser.parse_args()
    root = args.root
    table = read_table(root / 'ARCHITECTURE.md')
    libraries = {name for name in table if '.' not in name}

    planted = {}
    if args.plant:
        file, included = args.plant.split(':', 1)
        planted[file] = f'#include "{included}"'

    faults = []
    checked = 0
    for library in sorted(libraries):
        folder = root / library
        if not folder.is_dir():
            faults.append(f'{library}/: named in ARCHITECTURE.md but not in the tree')
            continue
        for path in sorted(p for p in folder.rglob('*') if p.suffix in SOURCES):
            relative = path.relative_to(root).as_posix()
            allowed = table.get(relative, table[library]) | {library}
            lines = path.read_text(encoding='utf-8', errors='replace').splitlines()
            if relative in planted:
                lines.append(planted[relative])
            checked += 1
            for number, line in enumerate(lines, 1):
                match = INCLUDE.match(line)
                if match and match.group(1) in libraries and match.group(1) not in allowed:
                    faults.append(f'{relative}:{number}: includes {match.group(1)}/, '
                                  f'which {library}/ may not use (ARCHITECTURE.md)')
    for fault in faults:
        print(fault)
    print(f'layers: {checked} files of {len(libraries)} libraries checked, {len(faults)} breaking the table')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
