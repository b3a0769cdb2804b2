#!/usr/bin/env python3
"""Fails when a source file includes against the layer order.

The layers, lowest first: platform, core, registers, engine, ui, app. A file of
one layer includes headers of its own layer and of the layers below it only.
Nothing outside tests/ and bench/ includes anything from tests/.
"""
import pathlib
import re
import sys

LAYERS = ["platform", "core", "registers", "engine", "ui", "app"]
FREE = {"tests", "bench"}  # may include every layer
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]*"', re.MULTILINE)
SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".cxx"}


def violations(root):
    for path in sorted(root.rglob("*")):
        if path.suffix not in SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(root)
        top = relative.parts[0]
        if len(relative.parts) < 2 or (top not in LAYERS and top not in FREE):
            continue  # build folders and the like
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            line = text.count("\n", 0, match.start()) + 1
            where = "%s:%d" % (relative, line)
            if target == "tests" and top not in FREE:
                yield "%s includes tests/ (%s)" % (where, match.group(0).strip())
            elif top in LAYERS and target in LAYERS and LAYERS.index(target) > LAYERS.index(top):
                yield "%s: %s/ must not include %s/ (%s)" % (where, top, target, match.group(0).strip())


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    found = list(violations(root))
    for line in found:
        print(line)
    checked = [layer for layer in LAYERS if (root / layer).is_dir()]
    if len(checked) != len(LAYERS):
        print("missing layer folders under %s" % root)
        return 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
