#!/usr/bin/python3
"""Compares the colour scanner's classification of each character (the htmlclasses program) with
html5lib's (html5classes.py) on HTML files, and prints every line where they differ with both
classifications under it. White space is left out of the comparison: inside a tag it has no
colour of its own. Exit status 1 when any file differs.

  compare.py HTMLCLASSES FILE..."""

import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import html5classes  # noqa: E402


def main():
    tool, files = sys.argv[1], sys.argv[2:]
    differing = 0
    for name in files:
        text = Path(name).read_text(encoding="utf-8")
        ours = subprocess.run([tool, name], check=True, capture_output=True, text=True).stdout
        theirs = html5classes.classify(text)
        if len(ours) != len(text) or len(theirs) != len(text):
            print(f"{name}: lengths differ ({len(text)}, ours {len(ours)}, html5lib {len(theirs)})")
            differing += 1
            continue
        bad = [i for i, ch in enumerate(text) if not ch.isspace() and ours[i] != theirs[i]]
        if not bad:
            continue
        differing += 1
        lines = text.split("\n")
        our_lines = ours.split("\n")
        their_lines = theirs.split("\n")
        shown = set()
        for i in bad:
            row = text.count("\n", 0, i)
            if row in shown:
                continue
            shown.add(row)
            print(f"{name}:{row + 1}")
            print(f"  page     {lines[row]}")
            print(f"  ours     {our_lines[row]}")
            print(f"  html5lib {their_lines[row]}")
        print(f"{name}: {len(bad)} of {len(text)} characters differ")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
