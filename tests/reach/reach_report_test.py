#!/usr/bin/env python3
"""The reach summariser (tools/reach_report.py) on a small gcovr report of
our own (gcovr_report.json beside this file): the table by folder and the
functions that never ran, grouped by file; and reports that are not gcovr's
refused with a message naming the file.

    reach_report_test.py SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile

# Compiler-made functions are not counted, folders outside the game's
# ("framework", "worldly") are left out, files and their functions are
# sorted.
EXPECTED = """\
folder   functions    ran      %
ai               4      2   50.0
view             0      0      -
ui               0      0      -
screens          3      1   33.3
script           0      0      -
world            0      0      -
game             1      1  100.0
system           1      1  100.0
total            9      5   55.6

never ran: 4 functions
ai/pilot.cpp:
  30: Pilot::Evade(Ship&)
ai/pilot.h:
  9: Pilot::Pilot()
screens/bridge.cpp:
  50: Bridge::OnKey(int)
  70: Bridge::Close()
"""

# Reports the summariser refuses, and what its message says.
HOSTILE = [
    ("not JSON", "{ files", "not JSON"),
    ("no file list", '{"files": 3}', 'no "files" list'),
    ("a file without its name", '{"files": [{"functions": []}]}', 'without its "file" name'),
    ("functions not a list", '{"files": [{"file": "ai/a.cpp", "functions": {}}]}', "ai/a.cpp"),
    ("a function without its line",
     '{"files": [{"file": "ai/a.cpp", "functions": [{"name": "F()", "execution_count": 1}]}]}', "lineno"),
    ("a negative count",
     '{"files": [{"file": "ai/a.cpp", "functions": [{"name": "F()", "lineno": 1, "execution_count": -1}]}]}',
     "execution_count"),
    ("nested too deeply", "[" * 100000 + "]" * 100000, "nested too deeply"),
    ("not UTF-8", b"\xff\xfe{", "cannot be read"),
]


def run(summariser, path):
    return subprocess.run([sys.executable, summariser, path], capture_output=True, text=True, timeout=120)


def main():
    source = sys.argv[1]
    summariser = os.path.join(source, "tools", "reach_report.py")
    failures = []

    done = run(summariser, os.path.join(source, "tests", "reach", "gcovr_report.json"))
    if done.returncode != 0 or done.stdout != EXPECTED:
        failures.append(f"the fixture's summary (status {done.returncode}):\n{done.stdout}{done.stderr}")

    with tempfile.TemporaryDirectory() as folder:
        for case, text, said in HOSTILE:
            path = os.path.join(folder, "report.json")
            with open(path, "wb") as f:
                f.write(text if isinstance(text, bytes) else text.encode())
            done = run(summariser, path)
            if done.returncode != 1 or done.stdout or path not in done.stderr or said not in done.stderr:
                failures.append(f"{case}: status {done.returncode}, output {done.stdout!r}, message {done.stderr!r}")
        done = run(summariser, os.path.join(folder, "absent.json"))
        if done.returncode != 1 or "absent.json: cannot be read" not in done.stderr:
            failures.append(f"an absent report: status {done.returncode}, message {done.stderr!r}")

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
