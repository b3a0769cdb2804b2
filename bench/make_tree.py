#!/usr/bin/env python3
"""Builds a benchmark tree of empty folders.

    make_tree.py [--deep | --chain] DIR [FOLDERS] [SEED]

Creates FOLDERS folders (default 100,000) below DIR, DIR included, of which about
5% hold a content file. The same seed gives the same tree.

broad (the default): breadth first, each folder with 1 to 12 subfolders; about six
levels at 100,000 folders.
--deep: each new folder's parent is drawn from the 2,000 folders made last; about
130 levels and paths of about 900 characters at 100,000 folders.
--chain: one folder below the other, each named "d", FOLDERS levels below DIR (no
content file); its log is the square of its depth (about 400 MB at 20,000 levels).
"""
import argparse
import os
import random

RECENT = 2000


def add_content(rng, paths):
    for path in paths:
        if rng.random() < 0.05:
            with open(os.path.join(path, "content.txt"), "w") as f:
                f.write("keep\n")


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
    add_content(rng, queue)
    return made


def build_deep(root, folders, seed):
    rng = random.Random(seed)
    os.makedirs(root)
    paths = [root]
    for i in range(1, folders):
        parent = paths[rng.randrange(max(0, len(paths) - RECENT), len(paths))]
        path = os.path.join(parent, "n%05d" % i)
        os.mkdir(path)
        paths.append(path)
    add_content(rng, paths)
    return len(paths)


def build_chain(root, levels):
    """Each level is made relative to the one above: the paths run far past PATH_MAX."""
    os.makedirs(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir("d", dir_fd=fd)
        below = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = below
    os.close(fd)
    return levels + 1


def depth(root):
    """The deepest level below root, root being level 0."""
    base = root.rstrip("/").count("/")
    return max(path.count("/") - base for path, _, _ in os.walk(root))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--deep", action="store_true")
    ap.add_argument("--chain", action="store_true")
    ap.add_argument("dir")
    ap.add_argument("folders", nargs="?", type=int, default=100000)
    ap.add_argument("seed", nargs="?", type=int, default=1)
    args = ap.parse_args()
    if args.chain:
        made = build_chain(args.dir, args.folders)
        print("made %d folders, %d levels deep" % (made, made - 1))
        return
    made = (build_deep if args.deep else build)(args.dir, args.folders, args.seed)
    print("made %d folders, %d levels deep" % (made, depth(args.dir)))


if __name__ == "__main__":
    main()
