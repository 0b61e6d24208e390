#!/usr/bin/env python3
"""Checks the program against the table of ARCHITECTURE.md ("## Who may use whom").

The table names each library folder and the libraries it may use. A row may name a single file
instead of a folder (the composition root); its own row then replaces its folder's. Three things
are checked:

- includes: every include of a library's header, in any form ("x/y.h", <x/y.h>, "../x/y.h", or a
  path relative to the including file's folder), names a library of the file's row or its own;
- folders: every top-level folder holding C++ sources has a row, unless the section's line
  "Folders outside the program: ..." names it (tests, benchmarks, tools);
- links: every glimora target that a library's CMakeLists.txt links (target_link_libraries)
  belongs to a library of its row, and a link is PUBLIC (or INTERFACE) exactly when the linking
  target's own headers include the linked library (PRIVATE otherwise).

  python3 scripts/check_layers.py [--root DIR] [--plant FILE:INCLUDED [--form quoted|angle|relative]]
                                  [--plant-folder NAME] [--plant-link TARGET:LINKED]

The --plant options add, in memory only, one include line to a file, one folder with a source
file, or one PRIVATE link to a target, to show that the check catches them.
Exits 1 and lists every break of the table; 0 when all keep it.
"""
import argparse
import os
import pathlib
import posixpath
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = ('.cpp', '.h', '.hpp', '.cc')
HEADERS = ('.h', '.hpp')
OUTSIDE = 'Folders outside the program'
SCOPES = ('PUBLIC', 'PRIVATE', 'INTERFACE')


def read_table(architecture):
    rows, outside = {}, set()
    in_section = False
    for line in architecture.read_text(encoding='utf-8').splitlines():
        if line.startswith('## '):
            in_section = line.strip() == '## Who may use whom'
            continue
        if not in_section:
            continue
        if line.startswith(OUTSIDE):
            outside |= {name.rstrip('/') for name in re.findall(r'`([^`]+)`', line)}
            continue
        if not line.startswith('|'):
            continue
        cells = [c.strip().strip('`') for c in line.strip().strip('|').split('|')]
        if len(cells) < 2 or set(cells[0]) <= set('-: ') or cells[0].lower() == 'library':
            continue
        name = cells[0].rstrip('/')
        allowed = {a.strip().strip('`').rstrip('/') for a in cells[-1].split(',')}
        rows[name] = {a for a in allowed if a and a not in ('-', '—', 'nothing')}
    if not rows:
        raise SystemExit(f'{architecture}: no table under "## Who may use whom"')
    return rows, outside


def tree_files(root):
    """The files of the tree relative to root: git's view (tracked and new, not ignored) when
    root is a checkout, otherwise a walk that skips hidden and build folders."""
    try:
        out = subprocess.run(['git', '-C', str(root), 'ls-files', '-co', '--exclude-standard'],
                             capture_output=True, text=True, check=True).stdout
        return sorted({f for f in out.splitlines() if (root / f).is_file()})
    except (OSError, subprocess.CalledProcessError):
        files = []
        for folder, dirs, names in os.walk(root):
            dirs[:] = [d for d in dirs if not d.startswith(('.', 'build'))]
            files += [pathlib.Path(folder, n).relative_to(root).as_posix() for n in names]
        return sorted(files)


def resolve(included, bracket, including, exists):
    """The tree path an include names: a quoted path is looked up beside the including file
    first, a path starting with ./ or ../ is always taken from there, anything else from the root."""
    folder = posixpath.dirname(including)
    beside = posixpath.normpath(posixpath.join(folder, included))
    if included.startswith(('./', '../')) or (bracket == '"' and exists(beside)):
        return beside
    return posixpath.normpath(included)


def cmake_commands(text):
    """(command, arguments) of a CMakeLists.txt, outside function bodies, comments removed."""
    text = re.sub(r'#[^\n]*', '', text)
    text = re.sub(r'\bfunction\s*\(.*?\bendfunction\s*\(\s*\)', '', text, flags=re.S | re.I)
    for match in re.finditer(r'\b(\w+)\s*\(([^()]*)\)', text):
        yield match.group(1).lower(), match.group(2).split()


def read_targets(root, files, folders):
    """The glimora targets: name -> (library folder, sources), and their links:
    (target, scope, linked, CMakeLists.txt)."""
    targets, links = {}, []
    for cmake in (f for f in files if f.endswith('CMakeLists.txt') and f.split('/')[0] in folders):
        folder = posixpath.dirname(cmake)
        for command, args in cmake_commands((root / cmake).read_text(encoding='utf-8')):
            if not args or args[0].startswith('$'):
                continue
            if command.endswith('library') or command in ('add_executable', 'glimora_add_metercontrol'):
                sources = [posixpath.normpath(posixpath.join(folder, a)) for a in args[1:] if a.endswith(SOURCES)]
                targets[args[0]] = (folder.split('/')[0], sources)
                if command == 'glimora_add_metercontrol':
                    links += [(args[0], 'PRIVATE', lib, cmake) for lib in ['metercontrolloader'] + args[3:]]
            elif command == 'target_link_libraries':
                scope = 'PRIVATE'
                for arg in args[1:]:
                    if arg in SCOPES:
                        scope = arg
                    else:
                        links.append((args[0], scope, arg, cmake))
    return targets, links


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--root', default=pathlib.Path(__file__).resolve().parent.parent, type=pathlib.Path)
    parser.add_argument('--plant', help='FILE:INCLUDED, e.g. support/Numbers.h:app/GlimoraApp.h')
    parser.add_argument('--form', choices=('quoted', 'angle', 'relative'), default='quoted',
                        help='how the planted include is written: "x/y.h", <x/y.h> or relative to the file')
    parser.add_argument('--plant-folder', help='a folder of the program with one source file')
    parser.add_argument('--plant-link', help='TARGET:LINKED, a PRIVATE link added to TARGET')
    args = parser.parse_args()
    root = args.root
    table, outside = read_table(root / 'ARCHITECTURE.md')
    libraries = {name for name in table if '.' not in name}
    files = tree_files(root)
    planted_lines = {}
    if args.plant:
        file, included = args.plant.split(':', 1)
        text = {'quoted': f'"{included}"', 'angle': f'<{included}>',
                'relative': '"' + posixpath.relpath(included, posixpath.dirname(file)) + '"'}[args.form]
        planted_lines[file] = f'#include {text}'
    if args.plant_folder:
        files.append(f'{args.plant_folder}/Planted.cpp')
    tree = set(files)

    faults = []
    folders = {f.split('/')[0] for f in files if '/' in f and f.endswith(SOURCES)}
    for folder in sorted(folders - libraries - outside):
        faults.append(f'{folder}/: a folder of the program without a row in ARCHITECTURE.md '
                      f'(add one, or name it among the "{OUTSIDE}")')
    for library in sorted(libraries - {f.split('/')[0] for f in files}):
        faults.append(f'{library}/: named in ARCHITECTURE.md but not in the tree')

    def row_of(path):
        return table.get(path, table.get(path.split('/')[0], set())) | {path.split('/')[0]}

    def used_libraries(path):
        """(line number, library) of every include of a library's header in path."""
        if not (root / path).is_file() and path not in planted_lines:
            return []
        text = (root / path).read_text(encoding='utf-8', errors='replace') if (root / path).is_file() else ''
        lines = text.splitlines() + ([planted_lines[path]] if path in planted_lines else [])
        used = []
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if match:
                target = resolve(match.group(2), match.group(1), path, lambda p: p in tree)
                if target.split('/')[0] in libraries and '/' in target:
                    used.append((number, target.split('/')[0]))
        return used

    checked = 0
    for path in (f for f in files if f.endswith(SOURCES) and f.split('/')[0] in libraries):
        checked += 1
        allowed = row_of(path)
        for number, used in used_libraries(path):
            if used not in allowed:
                faults.append(f'{path}:{number}: includes {used}/, which {path.split("/")[0]}/ may not use (ARCHITECTURE.md)')

    targets, links = read_targets(root, files, libraries)
    if args.plant_link:
        target, linked = args.plant_link.split(':', 1)
        links.append((target, 'PRIVATE', linked, f'{targets[target][0]}/CMakeLists.txt'))
    for target, scope, linked, cmake in links:
        if target not in targets or linked not in targets:
            continue  # Qt, system libraries
        library, sources = targets[target]
        used = targets[linked][0]
        if used == library:
            continue
        allowed = set().union(*(row_of(s) for s in sources)) if sources else row_of(library)
        if used not in allowed:
            faults.append(f'{cmake}: {target} links {linked} ({used}/), which {library}/ may not use (ARCHITECTURE.md)')
            continue
        folders_of = {posixpath.dirname(s) for s in sources} or {library}
        headers = [f for f in files if f.endswith(HEADERS) and posixpath.dirname(f) in folders_of]
        public = any(u == used for h in headers for _, u in used_libraries(h))
        if scope != 'PRIVATE' and not public:
            faults.append(f'{cmake}: {target} links {linked} {scope}, but no header of it includes {used}/: make it PRIVATE')
        elif scope == 'PRIVATE' and public:
            faults.append(f'{cmake}: {target} links {linked} {scope}, but its headers include {used}/: make it PUBLIC')

    for fault in faults:
        print(fault)
    print(f'layers: {checked} files of {len(libraries)} libraries and {len(links)} links checked, '
          f'{len(faults)} breaking the table')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
