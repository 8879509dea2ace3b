#!/usr/bin/env python3
"""Makes a tree of files for the copy benchmarks.

make_tree.py ROOT --files N --folders F [--big COUNT --big-mib M] [--changed-today FRACTION]

Files of 1 to 16 KiB of random bytes are spread evenly over F folders; COUNT
large files of M MiB go at the top. With --changed-today, only that fraction
of the small files keeps today's modification time; the rest are dated a
year back.
"""
import argparse
import os
import random
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--files", type=int, required=True)
    parser.add_argument("--folders", type=int, required=True)
    parser.add_argument("--big", type=int, default=0)
    parser.add_argument("--big-mib", type=int, default=64)
    parser.add_argument("--changed-today", type=float, default=1.0)
    options = parser.parse_args()

    generator = random.Random(20261211)
    pool = os.urandom(16 << 10) * 2  # sliced at random offsets: cheap, varied contents
    year_ago = time.time() - 365 * 24 * 3600
    changed_every = round(1 / options.changed_today) if options.changed_today < 1 else 1

    for folder in range(options.folders):
        os.makedirs(os.path.join(options.root, f"folder{folder:04d}"), exist_ok=True)
    for index in range(options.files):
        path = os.path.join(options.root, f"folder{index % options.folders:04d}", f"file{index:06d}.dat")
        size = generator.randint(1, 16) << 10
        offset = generator.randrange(0, 16 << 10)
        with open(path, "wb") as file:
            file.write(pool[offset:offset + size])
        if index % changed_every != 0:
            os.utime(path, (year_ago, year_ago))
    chunk = os.urandom(1 << 20)
    for index in range(options.big):
        with open(os.path.join(options.root, f"big{index}.dat"), "wb") as file:
            for _ in range(options.big_mib):
                file.write(chunk)


if __name__ == "__main__":
    main()
