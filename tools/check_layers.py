#!/usr/bin/env python3
"""Includes only point down: check_layers.py [ROOT]

Reads the order of the source folders, lowest first, from the line of README.md that starts with
"Layers, lowest first:" (the folder names in backquotes, up to the first full stop), then reads every
#include "folder/..." of the .h and .cpp files in src/: a file may include headers of its own folder and of
the folders before it, never of one after it. A folder of src/ that the order leaves out is a fault as well,
so that a new folder cannot slip past the check. Prints one line a fault and exits 1; exits 0 when every
include points down. ROOT is the clone (by default the one this file is in)."""
import re
import sys
from pathlib import Path

ORDER_MARKER = "Layers, lowest first:"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".cpp"}


def layer_order(readme):
    """The folder names of the README's order line, lowest first; empty when the README has none."""
    text = readme.read_text(encoding="utf-8")
    start = text.find(ORDER_MARKER)
    if start < 0:
        return []
    stated = text[start + len(ORDER_MARKER):].split(".", 1)[0]
    return re.findall(r"`([A-Za-z0-9_]+)/?`", stated)


def wrong_includes(root, order):
    """One line for each include of a folder above the including file's, and for each unplaced folder."""
    rank = {folder: index for index, folder in enumerate(order)}
    source = root / "src"
    folders = {path.name for path in source.iterdir() if path.is_dir()}
    faults = [f"src/{folder}/ has no place in the layer order of README.md"
              for folder in sorted(folders - rank.keys())]
    for path in sorted(source.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or len(path.relative_to(source).parts) < 2:
            continue
        own = path.relative_to(source).parts[0]
        if own not in rank:
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, start=1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue  # a header beside the file, or one from outside src/
            included = match.group(1).split("/", 1)[0]
            if included not in folders:
                continue
            if included not in rank or rank[included] > rank[own]:
                faults.append(f"{path.relative_to(root)}:{number}: {own}/ includes {match.group(1)}, "
                              f"from {included}/, which is above it")
    return faults


def main(arguments):
    root = Path(arguments[1]) if len(arguments) > 1 else Path(__file__).resolve().parent.parent
    order = layer_order(root / "README.md")
    if not order:
        print(f"README.md states no layer order (a line starting with \"{ORDER_MARKER}\")")
        return 1
    faults = wrong_includes(root, order)
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f"layers: every include of src/ points down ({' < '.join(order)})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
