#!/usr/bin/env python3
"""Vornik from outside, as a collection sees it.

Per kind of image: `vornik-cli list --json` over 400 copies of one image,
in one process, beside `vornik_read_floor` reading the same 400 files whole
(best of 3 each). Then the batch: the real images repeated to 1,000 paths,
images a second, best of 3. Then `check` over the largest real image
repeated, bytes a second.

    bench/outside.py BUILD_DIR [REAL_IMAGES_DIR]

BUILD_DIR holds src/cli/vornik-cli and bench/vornik_read_floor (a Release
build with -DVORNIK_BUILD_BENCH=ON).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

COPIES = 400
BATCH = 1000
RUNS = 3

# (what it is, image file in the real-image folder)
KINDS = [
    ("JV1, 40 tracks", "MiSTer__MrUnzip.dsk"),
    ("JV1, 80 tracks", "TRS80M1__SIDEKICK.JV1"),
    ("JV3, SD, 35 tracks", "spaceinv__space_invaders_model1.dsk"),
    ("JV3, DD, 40 tracks", "cschweda__ldos-531.dsk"),
    ("JV3, SD, 80 tracks", "xtrs__utility.dsk"),
    ("DMK, SD, single-sided, 35 tracks", "FreHDDisk__m1-frehd-boot.dmk"),
    ("DMK, DD, single-sided, 40 tracks", "FreHDDisk__m3-4p-frehd-boot.dmk"),
    ("DMK, DD, double-sided, 35 tracks", "m1music__1BIT-D1.DSK"),
    ("DMK, DD, double-sided, 41 tracks", "GenieIIIs__esnd-01.dmk"),
    ("DMK, DD, double-sided, 80 tracks", "SmallC__smallc1.dmk"),
    ("DMK, DD, double-sided, 81 tracks", "TRS80M1__weikamp.dmk"),
]
IMAGE_SUFFIXES = (".dsk", ".dmk", ".jv1", ".jv3")


def best_of(argv):
    best = None
    for _ in range(RUNS):
        start = time.perf_counter()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        took = time.perf_counter() - start
        best = took if best is None else min(best, took)
    return best


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    real = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "shared", "real-images")
    cli = os.path.join(build, "src", "cli", "vornik-cli")
    floor = os.path.join(build, "bench", "vornik_read_floor")
    for tool in (cli, floor):
        if not os.access(tool, os.X_OK):
            print(f"missing {tool}")
            return 2
    if not os.path.isdir(real):
        print(f"no real images at {real}: nothing to measure")
        return 0

    scratch = tempfile.mkdtemp(prefix="vornik-outside-")
    try:
        print(f"{'kind':36} {'vornik ms':>10} {'read ms':>8} {'ratio':>6}")
        for kind, name in KINDS:
            source = os.path.join(real, name)
            if not os.path.isfile(source):
                print(f"{kind:36} (absent: {name})")
                continue
            folder = os.path.join(scratch, name)
            os.mkdir(folder)
            paths = []
            for i in range(COPIES):
                path = os.path.join(folder, f"{i:03d}{os.path.splitext(name)[1]}")
                shutil.copyfile(source, path)
                paths.append(path)
            subject = best_of([cli, "list", "--json", *paths])
            base = best_of([floor, *paths])
            print(f"{kind:36} {subject * 1e3:10.1f} {base * 1e3:8.1f} {subject / base:6.2f}")

        images = sorted(os.path.join(real, n) for n in os.listdir(real) if n.lower().endswith(IMAGE_SUFFIXES))
        batch = [images[i % len(images)] for i in range(BATCH)]
        took = best_of([cli, "list", "--json", *batch])
        base = best_of([floor, *batch])
        print(f"\nbatch list --json, {BATCH} paths of {len(images)} real images: "
              f"{BATCH / took:,.0f} images/s ({took * 1e3:.1f} ms; reading them whole {base * 1e3:.1f} ms, {took / base:.2f}x)")

        largest = max(images, key=os.path.getsize)
        repeat = [largest] * 200
        took = best_of([cli, "check", *repeat])
        size = os.path.getsize(largest) * len(repeat)
        print(f"check, {os.path.basename(largest)} x {len(repeat)}: {size / took / 1e9:.2f} GB/s ({took * 1e3:.1f} ms)")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
