#!/usr/bin/env python3
"""Summarises a gcovr JSON report (gcovr --json) as the game's reach.

    reach_report.py REPORT.json

Prints, for each of the game's folders, the functions defined, those that
ran and the share that ran, as a table; then every function that never ran,
grouped by file (paths as the report gives them, relative to the source
tree). Folders outside the game's (the framework, the platform, tools,
tests) are left out. Compiler-made functions (names starting with "__",
static initialisers) are not the game's own and are not counted.

A file that is not such a report ends the run with a message naming the
file and what is wrong, and exit status 1.
"""
import json
import sys

FOLDERS = ["ai", "view", "ui", "screens", "script", "world", "game", "system"]


class ReportError(Exception):
    pass


def is_compiler_made(name):
    return name.startswith("__") or name.startswith("_GLOBAL__")


def read_functions(report):
    """(file, line, name, count) for every function of the game's folders."""
    if not isinstance(report, dict) or not isinstance(report.get("files"), list):
        raise ReportError('no "files" list')
    functions = []
    for entry in report["files"]:
        if not isinstance(entry, dict) or not isinstance(entry.get("file"), str):
            raise ReportError('a file entry without its "file" name')
        path = entry["file"]
        if not isinstance(entry.get("functions", []), list):
            raise ReportError(f'{path}: "functions" is not a list')
        if path.split("/", 1)[0] not in FOLDERS:
            continue
        for function in entry.get("functions", []):
            if not isinstance(function, dict):
                raise ReportError(f"{path}: a function that is not an object")
            name, line, count = function.get("name"), function.get("lineno"), function.get("execution_count")
            if not isinstance(name, str) or type(line) is not int or type(count) is not int or count < 0:
                raise ReportError(f'{path}: a function without a name, "lineno" or "execution_count"')
            if not is_compiler_made(name):
                functions.append((path, line, name, count))
    return functions


def percent(ran, defined):
    return f"{100.0 * ran / defined:.1f}" if defined else "-"


def summary(functions):
    """The report's text: the table, then the functions that never ran."""
    defined = {folder: 0 for folder in FOLDERS}
    ran = {folder: 0 for folder in FOLDERS}
    for path, _, _, count in functions:
        folder = path.split("/", 1)[0]
        defined[folder] += 1
        ran[folder] += count > 0
    rows = [(folder, defined[folder], ran[folder]) for folder in FOLDERS]
    rows.append(("total", sum(defined.values()), sum(ran.values())))

    lines = [f"{'folder':<8} {'functions':>9} {'ran':>6} {'%':>6}"]
    for folder, d, r in rows:
        lines.append(f"{folder:<8} {d:>9} {r:>6} {percent(r, d):>6}")

    never = sorted((path, line, name) for path, line, name, count in functions if count == 0)
    lines.append("")
    lines.append(f"never ran: {len(never)} functions")
    current = None
    for path, line, name in never:
        if path != current:
            lines.append(f"{path}:")
            current = path
        lines.append(f"  {line}: {name}")
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: reach_report.py REPORT.json\n")
        return 2
    try:
        with open(argv[1], encoding="utf-8") as f:
            report = json.load(f)
        functions = read_functions(report)
    except (OSError, UnicodeDecodeError) as e:
        sys.stderr.write(f"reach_report: {argv[1]}: cannot be read: {e}\n")
        return 1
    except json.JSONDecodeError as e:
        sys.stderr.write(f"reach_report: {argv[1]}: not JSON: {e}\n")
        return 1
    except RecursionError:
        sys.stderr.write(f"reach_report: {argv[1]}: not a gcovr report: nested too deeply\n")
        return 1
    except ReportError as e:
        sys.stderr.write(f"reach_report: {argv[1]}: not a gcovr report: {e}\n")
        return 1
    sys.stdout.write(summary(functions))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
