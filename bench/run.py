#!/usr/bin/env python3
"""Times tolvanemusicextract against `cp -r` of the same input tree.

    python3 bench/run.py [--runs N] [--scratch DIR] [--trees a,b] [--tool PATH]
    python3 bench/run.py --curve [--runs N] [--scratch DIR]

Builds the tool (preset default) unless --tool is given, generates four
trees in a scratch directory on the repository's file system (the same
random key every time, so every run sees the same bytes), and for each tree
runs the tool and `cp -r` alternately, N times each after one warm-up run of
each, removing the outputs and syncing before every run so both start from
the same cache and disk state. The tree cold-many-small is many-small with
the page cache dropped before every run of either side, as a user meets a
game's data the first time (needs root; skipped with a message otherwise).
Reports the median wall time of each, their ratio, and the tool's peak
resident memory; writes the table to bench/results.md and ends with one
summary line.

--curve instead times one walk with 1, 2, 4, 8 and 16 extraction workers
(bench/worker_curve.cpp, the tool's own walk with the number of workers as
an argument) on many-small and few-large, warm and cold, and writes the
table to bench/workers.md.
"""

import argparse
import datetime
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RANDOM_KEY = 20261208
NAME_OFFSET, PAYLOAD_OFFSET = 229, 272


def container(name, payload):
    """Leading data, the NUL-terminated name in its 43-byte field, the payload."""
    field = name.encode() + b"\0"
    return b"L" * NAME_OFFSET + field.ljust(PAYLOAD_OFFSET - NAME_OFFSET, b"\0") + payload


def payload(rng, size):
    return b"RIFF" + rng.randbytes(size - 4)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def make_many_small(top, rng):
    # 10,000 containers of about 4 KB in 100 directories.
    for i in range(10_000):
        write(f"{top}/d{i % 100:03}/f{i:05}.bin", container(f"small{i:05}", payload(rng, 4096 - PAYLOAD_OFFSET)))


def make_few_large(top, rng):
    # 8 containers of 128 MiB, each MiB marked with its track and place.
    block = rng.randbytes(1 << 20)
    for i in range(8):
        body = b"".join(bytes([i, k]) + block[2:] for k in range(128))
        write(f"{top}/pack{i}/track.bin",
              container(f"large{i}", b"RIFF" + body[4:len(body) - PAYLOAD_OFFSET]))


def make_deep(top, rng):
    # 2,000 containers spread over a chain of directories 200 levels deep.
    level = top
    for depth in range(200):
        level = os.path.join(level, f"l{depth:03}")
        for k in range(10):
            i = depth * 10 + k
            write(f"{level}/f{k}.bin", container(f"deep{i:04}", payload(rng, 4096 - PAYLOAD_OFFSET)))


def make_mixed(top, rng):
    # 4,000 candidates, half of them not containers (wrong magic, no end to
    # the name, too short), and 6,000 files of other extensions.
    for i in range(4_000):
        path = f"{top}/m{i % 50:02}/c{i:05}.bin"
        kind = i % 6
        if kind < 3:
            data = container(f"mixed{i:05}", payload(rng, 4096 - PAYLOAD_OFFSET))
        elif kind == 3:
            data = container(f"bad{i:05}", b"RIFX" + rng.randbytes(4000))
        elif kind == 4:
            data = b"L" * NAME_OFFSET + b"N" * 43 + b"RIFF" + rng.randbytes(4000)
        else:
            data = rng.randbytes(200)
        write(path, data)
    for i in range(6_000):
        ext = ("txt", "png", "bin.bak", "BIN", "dat")[i % 5]
        write(f"{top}/m{i % 50:02}/other{i:05}.{ext}", rng.randbytes(1024 + i % 3072))


TREES = {"many-small": make_many_small, "few-large": make_few_large,
         "deep": make_deep, "mixed": make_mixed}
COLD_PREFIX = "cold-"
CURVE_WORKERS = (1, 2, 4, 8, 16)


def can_drop_caches():
    return os.access("/proc/sys/vm/drop_caches", os.W_OK)


def drop_caches():
    """Empties the page cache, dentries and inodes, so the next run reads from disk."""
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def generated_tree(scratch, tree):
    """The path of `tree`, generated on first use."""
    top = os.path.join(scratch, tree)
    marker = os.path.join(scratch, tree + ".done")
    if not os.path.exists(marker):
        shutil.rmtree(top, ignore_errors=True)
        TREES[tree](top, random.Random(f"{RANDOM_KEY}-{tree}"))
        open(marker, "w").close()
    return top


def expected_outputs(top):
    """(input path, output name) of every container in the tree."""
    found = []
    for directory, _, files in os.walk(top):
        for name in files:
            if name.rsplit(".", 1)[-1] != "bin":
                continue
            path = os.path.join(directory, name)
            with open(path, "rb") as f:
                head = f.read(PAYLOAD_OFFSET + 4)
            field = head[NAME_OFFSET:PAYLOAD_OFFSET]
            if len(head) == PAYLOAD_OFFSET + 4 and head[PAYLOAD_OFFSET:] == b"RIFF" and b"\0" in field:
                found.append((path, field.split(b"\0")[0].decode() + ".wav"))
    return found


def timed(command, scratch):
    """Wall seconds and peak resident KiB of one run of `command`.

    GNU time forks the command from its own small process: a child forked
    straight from Python would carry Python's resident size as its peak.
    """
    report = os.path.join(scratch, "rss.txt")
    start = time.perf_counter()
    status = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + command,
                            stdout=subprocess.DEVNULL).returncode
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"failed: {' '.join(command)}")
    with open(report) as f:
        return elapsed, int(f.read().split()[-1])


def disk_activity():
    """The kernel's running I/O counters of every block device, if it has them."""
    try:
        with open("/proc/diskstats") as f:
            return f.read()
    except OSError:
        return ""


def settle(limit=60.0):
    """Waits until no block device has done any I/O for half a second."""
    deadline = time.monotonic() + limit
    before = disk_activity()
    while time.monotonic() < deadline:
        time.sleep(0.5)
        now = disk_activity()
        if now == before:
            return
        before = now


def set_aside(path, trash, large):
    """Clears `path` for the next run and brings the disks to rest.

    Deleting thousands of small files just before a run slows the run's own
    file creation tenfold (ext4 passes over recently deleted inodes when it
    allocates new ones), so small outputs are moved into `trash` and deleted
    when the whole benchmark is done. Large outputs are deleted at once, or
    the page cache would fill up with them; the discards and writeback that
    follow are waited out before the next run starts.
    """
    if os.path.exists(path):
        if large:
            shutil.rmtree(path)
        else:
            os.makedirs(trash, exist_ok=True)
            os.rename(path, os.path.join(trash, str(len(os.listdir(trash)))))
    os.sync()
    settle()


def verify(tree, out, sample):
    for path, name in sample:
        with open(path, "rb") as f:
            f.seek(PAYLOAD_OFFSET)
            want = f.read()
        with open(os.path.join(out, name), "rb") as f:
            if f.read() != want:
                sys.exit(f"{tree}: {name} differs from the payload of {path}")


def bench_tree(tool, scratch, tree, runs, verbose):
    cold = tree.startswith(COLD_PREFIX)
    source = tree[len(COLD_PREFIX):] if cold else tree
    top = generated_tree(scratch, source)
    tool_out, cp_out = os.path.join(scratch, "out-tool"), os.path.join(scratch, "out-cp")
    trash = os.path.join(scratch, "trash")
    large = source == "few-large"
    tool_times, cp_times, peak = [], [], 0
    for run in range(runs + 1):  # run 0 warms the cache and is not counted
        set_aside(tool_out, trash, large)
        os.mkdir(tool_out)
        if cold:
            drop_caches()
        elapsed, rss = timed([tool, top, tool_out], scratch)
        peak = max(peak, rss)
        if run:
            tool_times.append(elapsed)
        set_aside(cp_out, trash, large)
        if cold:
            drop_caches()
        elapsed, _ = timed(["cp", "-r", top, cp_out], scratch)
        if run:
            cp_times.append(elapsed)
    if verbose:
        print(f"  tool: {' '.join(f'{t:.3f}' for t in tool_times)}", file=sys.stderr)
        print(f"  cp:   {' '.join(f'{t:.3f}' for t in cp_times)}", file=sys.stderr)
    outputs = expected_outputs(top)
    if len(os.listdir(tool_out)) != len(outputs):
        sys.exit(f"{tree}: {len(os.listdir(tool_out))} outputs, expected {len(outputs)}")
    verify(tree, tool_out, random.Random(RANDOM_KEY).sample(outputs, min(20, len(outputs))))
    set_aside(tool_out, trash, large)
    set_aside(cp_out, trash, large)
    tool_median, cp_median = statistics.median(tool_times), statistics.median(cp_times)
    return {"tree": tree, "tool": tool_median, "cp": cp_median,
            "tool_range": (min(tool_times), max(tool_times)),
            "cp_range": (min(cp_times), max(cp_times)),
            "ratio": tool_median / cp_median, "peak_kib": peak, "files": len(outputs)}


def build(target):
    subprocess.run(["cmake", "--preset", "default"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "default", "--target", target],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(ROOT, "build", "default", target)


def curve(scratch, runs):
    """Median seconds of one walk for each number of workers, warm and cold."""
    driver = build("worker_curve")
    out, trash = os.path.join(scratch, "out-tool"), os.path.join(scratch, "trash")
    lines = [f"Time of one walk against the number of extraction workers, "
             f"{datetime.date.today().isoformat()}, {os.cpu_count()} cores, median of {runs} runs "
             f"after a warm-up (bench/run.py --curve).", "",
             "| tree | " + " | ".join(f"{w} workers (s)" for w in CURVE_WORKERS) + " |",
             "|---|" + "---|" * len(CURVE_WORKERS)]
    variants = [("many-small", False), ("few-large", False)]
    if can_drop_caches():
        variants += [("many-small", True), ("few-large", True)]
    else:
        print("cold runs skipped: dropping the page cache needs root", file=sys.stderr)
    for tree, cold in variants:
        top = generated_tree(scratch, tree)
        medians = []
        for workers in CURVE_WORKERS:
            times = []
            for run in range(runs + 1):
                set_aside(out, trash, tree == "few-large")
                os.mkdir(out)
                if cold:
                    drop_caches()
                elapsed, _ = timed([driver, str(workers), top, out], scratch)
                if run:
                    times.append(elapsed)
            medians.append(statistics.median(times))
            print(f"{'cold ' if cold else ''}{tree}, {workers} workers: {medians[-1]:.3f} s", flush=True)
        lines.append(f"| {'cold ' if cold else ''}{tree} | " +
                     " | ".join(f"{m:.3f}" for m in medians) + " |")
    set_aside(out, trash, True)
    shutil.rmtree(trash, ignore_errors=True)
    text = "\n".join(lines) + "\n"
    print(text, end="")
    with open(os.path.join(ROOT, "bench", "workers.md"), "w") as f:
        f.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--scratch", default=os.path.join(ROOT, "bench", "scratch"))
    parser.add_argument("--trees", default=",".join(list(TREES) + [COLD_PREFIX + "many-small"]))
    parser.add_argument("--tool")
    parser.add_argument("--curve", action="store_true",
                        help="time the walk against the number of workers instead")
    parser.add_argument("--verbose", action="store_true", help="print every run's time")
    args = parser.parse_args()

    os.makedirs(args.scratch, exist_ok=True)
    trash = os.path.join(args.scratch, "trash")
    shutil.rmtree(trash, ignore_errors=True)
    for leftover in ("out-tool", "out-cp"):
        shutil.rmtree(os.path.join(args.scratch, leftover), ignore_errors=True)
    if args.curve:
        curve(args.scratch, args.runs)
        return
    tool = args.tool or build("tolvanemusicextract")

    results = []
    for tree in args.trees.split(","):
        if tree.startswith(COLD_PREFIX) and not can_drop_caches():
            print(f"{tree}: skipped, dropping the page cache needs root "
                  "(write access to /proc/sys/vm/drop_caches)", flush=True)
            results.append({"tree": tree, "skipped": True})
            continue
        print(f"{tree}: ...", flush=True)
        results.append(bench_tree(os.path.abspath(tool), args.scratch, tree, args.runs, args.verbose))

    lines = [f"Benchmark of {os.path.basename(tool)} against `cp -r`, "
             f"{datetime.date.today().isoformat()}, {os.cpu_count()} cores, "
             f"median of {args.runs} alternating runs each after a warm-up.", "",
             "| tree | tracks | tool (s) | cp -r (s) | tool/cp | tool min-max (s) | cp min-max (s) "
             "| tool peak RSS (KiB) |",
             "|---|---|---|---|---|---|---|---|"]
    for r in results:
        if r.get("skipped"):
            lines.append(f"| {r['tree']} | skipped: dropping the page cache needs root |||||||")
            continue
        lines.append(f"| {r['tree']} | {r['files']} | {r['tool']:.3f} | {r['cp']:.3f} | "
                     f"{r['ratio']:.2f} | {r['tool_range'][0]:.3f}-{r['tool_range'][1]:.3f} | "
                     f"{r['cp_range'][0]:.3f}-{r['cp_range'][1]:.3f} | {r['peak_kib']} |")
    ratios = " ".join(f"{r['tree']}=skipped" if r.get("skipped") else f"{r['tree']}={r['ratio']:.2f}"
                      for r in results)
    summary = f"ratio {ratios} peak_kib={max(r.get('peak_kib', 0) for r in results)}"
    lines += ["", summary]
    text = "\n".join(lines) + "\n"
    print(text, end="")
    shutil.rmtree(trash, ignore_errors=True)
    with open(os.path.join(ROOT, "bench", "results.md"), "w") as out:
        out.write(text)


if __name__ == "__main__":
    main()
