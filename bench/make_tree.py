#!/usr/bin/env python3
"""Builds a benchmark tree of empty folders.

    make_tree.py DIR [FOLDERS] [SEED]

Creates FOLDERS folders (default 100,000) below DIR, DIR included, with a random
fan-out, of which about 5% hold a content file. The same seed gives the same tree.
"""
import os
import random
import sys


def build(root, folders, seed):
    rng = random.Random(seed)
    os.makedirs(root)
    queue = [root]
    made = 1
    head = 0
    while made < folders:
        parent = queue[head]
        head += 1
        for i in range(min(rng.randint(1, 12), folders - made)):
            path = os.path.join(parent, "d%02d" % i)
            os.mkdir(path)
            queue.append(path)
            made += 1
    for path in queue:
        if rng.random() < 0.05:
            with open(os.path.join(path, "content.txt"), "w") as f:
                f.write("keep\n")
    return made


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    print("made %d folders" % build(sys.argv[1], count, seed))
