#!/usr/bin/env python3
"""Times tolvanemusicextract against `cp -r` of the same input tree.

    python3 bench/run.py [--runs N] [--scratch DIR] [--trees a,b] [--tool PATH]
    python3 bench/run.py --curve [--runs N] [--scratch DIR]
    python3 bench/run.py --names [--runs N] [--scratch DIR] [--tool PATH]
    python3 bench/run.py --hdd HDDSIM [--runs N] [--scratch DIR] [--tool PATH] [--trees a,b]

Builds the tool (preset default) unless --tool is given, generates five
trees (the same random key every time, so every run sees the same bytes),
and for each tree runs the tool and `cp -r` alternately, N times each after
one warm-up run of each, removing the outputs and syncing before every run
so both start from the same cache and disk state. The warm trees live on a
journaled ext4 file system, as users have it: an image under the scratch
directory, made once and loop-mounted for the run (needs root; otherwise
the scratch directory's own file system, with a note). The row tty is
many-small with the tool's console in a real terminal, a tmux window,
rather than /dev/null. The tree cold-many-small is many-small on the
scratch directory's own disk (a loop device would serialise its reads),
written to the ext4 image, with the page cache dropped before every run of
either side, as a user
meets a game's data the first time (needs root; skipped with a message
otherwise). Reports the median wall time of each, the median of the ratios
of each run of the tool to the run of cp right after it, and the tool's
peak resident memory; writes the table to bench/results.md and ends
with one summary line.

--curve instead times one walk with 1, 2, 4, 8 and 16 extraction workers
(bench/worker_curve.cpp, the tool's own walk with the number of workers as
an argument) on many-small and few-large, warm and cold, and writes the
table to bench/workers.md.

--names instead times the tool alone on trees whose tracks share names
(20,000 and 100,000 small containers: every name distinct, all one name,
all one name and the same bytes, every name twice), with the files each
leaves and its peak memory, and writes the table to bench/names.md.

--hdd instead reads four trees through HDDSIM, a model of one spinning disk
(a FUSE file system, given as the path of its built program; see its own
header for how to build it): files lie back to back in inode order, and a
read that does not start just ahead of the head costs a seek. The trees:
hdd-large (4 containers of 128 MiB in one folder), hdd-small (3,000 of 4 KB
in 30 folders, written folder by folder), hdd-mixed (1,000 small and one of
128 MiB) and hdd-shuffled (voice lines of 20-200 KB and music of 1-4 MB in a
dozen folders, written in an order unrelated to names and folders). Each
run of the tool, of `cp -r` and of one reader that reads every file whole
in inode order (the disk's own order) starts with the page cache dropped and
writes to a tmpfs; it reports medians, ratios and the model's seeks per run,
and writes the table to bench/hdd.md. Needs root, /dev/fuse and fusermount3.
"""

import argparse
import atexit
import datetime
import json
import os
import random
import shlex
import shutil
import signal
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


def large_payload(block, track):
    """A payload that makes a container of 128 MiB, each MiB marked with its track and place."""
    body = b"".join(bytes([track, k]) + block[2:] for k in range(128))
    return b"RIFF" + body[4:len(body) - PAYLOAD_OFFSET]


def make_few_large(top, rng):
    # 8 containers of 128 MiB.
    block = rng.randbytes(1 << 20)
    for i in range(8):
        write(f"{top}/pack{i}/track.bin", container(f"large{i}", large_payload(block, i)))


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


def make_one_name(top, rng):
    # many-small, with every track of the same name: each must get a number.
    for i in range(10_000):
        write(f"{top}/d{i % 100:03}/f{i:05}.bin", container("theme", payload(rng, 4096 - PAYLOAD_OFFSET)))


def make_hdd_large(top, rng):
    # 4 containers of 128 MiB in one folder.
    block = rng.randbytes(1 << 20)
    for i in range(4):
        write(f"{top}/music/track{i}.bin", container(f"hdd{i}", large_payload(block, i)))


def make_hdd_small(top, rng):
    # 3,000 containers of about 4 KB in 30 folders, written folder by folder.
    for i in range(3_000):
        write(f"{top}/d{i // 100:02}/f{i:05}.bin", container(f"s{i:05}", payload(rng, 4096 - PAYLOAD_OFFSET)))


def make_hdd_mixed(top, rng):
    # 1,000 small containers in 10 folders, with one of 128 MiB written halfway.
    block = rng.randbytes(1 << 20)
    for i in range(1_000):
        if i == 500:
            write(f"{top}/big/theme.bin", container("theme", large_payload(block, 0)))
        write(f"{top}/d{i // 100:02}/f{i:05}.bin", container(f"m{i:05}", payload(rng, 4096 - PAYLOAD_OFFSET)))


def make_hdd_shuffled(top, rng):
    # 600 voice lines of 20-200 KB and 60 tracks of music of 1-4 MB, each in
    # one of 12 folders, written in a shuffled order, as a patch or an
    # installer writes them.
    files = [(f"vo{i:04}", rng.randint(20_000, 200_000)) for i in range(600)]
    files += [(f"mus{i:02}", rng.randint(1_000_000, 4_000_000)) for i in range(60)]
    rng.shuffle(files)
    for name, size in files:
        write(f"{top}/{rng.choice(HDD_FOLDERS)}/{name}.bin", container(name, payload(rng, size)))


HDD_FOLDERS = ("voice_en", "voice_de", "voice_fr", "voice_ja", "music", "ambience", "ui",
               "cutscenes", "dlc1", "dlc2", "patch1", "patch2")
HDD_TREES = {"hdd-large": make_hdd_large, "hdd-small": make_hdd_small,
             "hdd-mixed": make_hdd_mixed, "hdd-shuffled": make_hdd_shuffled}
# One reader, every file whole, in inode order: what the disk itself would do best.
DISK_ORDER_READER = """
import os, sys
paths = []
for directory, _, files in os.walk(sys.argv[1]):
    paths += [(os.stat(os.path.join(directory, f)).st_ino, os.path.join(directory, f)) for f in files]
buffer = bytearray(1 << 20)
for _, path in sorted(paths):
    with open(path, "rb", buffering=0) as f:
        os.posix_fadvise(f.fileno(), 0, 0, os.POSIX_FADV_SEQUENTIAL)
        while f.readinto(buffer):
            pass
"""

TREES = {"many-small": make_many_small, "few-large": make_few_large,
         "deep": make_deep, "mixed": make_mixed, "one-name": make_one_name}
# Tracks, the name of track i, and whether every track holds the same bytes.
NAME_TREES = {
    "20k-distinct": (20_000, lambda i: f"track{i:06}", False),
    "20k-one-name": (20_000, lambda i: "theme", False),
    "20k-identical": (20_000, lambda i: "theme", True),
    "100k-distinct": (100_000, lambda i: f"track{i:06}", False),
    "100k-one-name": (100_000, lambda i: "theme", False),
    "100k-each-twice": (100_000, lambda i: f"track{i % 50_000:06}", False),
}
COLD_PREFIX = "cold-"
TTY = "tty"  # many-small, the console in a terminal
CURVE_WORKERS = (1, 2, 4, 8, 16)
EXT4_IMAGE_SIZE = "12G"  # the trees, and the outputs of one tree's runs (sparse until used)


def journaled_ext4(scratch):
    """A journaled ext4 for the warm trees: an image under `scratch`, made once
    and loop-mounted until the benchmark ends. Returns where to put the trees:
    the mount, or `scratch` itself, with a note, where it cannot be made."""
    mount = os.path.join(scratch, "ext4")
    if os.path.ismount(mount):
        return mount
    if os.geteuid() != 0:
        print("note: warm trees on the scratch directory's own file system; "
              "a journaled ext4 image needs root to mount", flush=True)
        return scratch
    image = os.path.join(scratch, "ext4.img")
    if not os.path.exists(image):
        subprocess.run(["truncate", "-s", EXT4_IMAGE_SIZE, image], check=True)
        # Initialised in full now, so no background initialisation competes with the runs.
        subprocess.run(["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0",
                        image], check=True)
    os.makedirs(mount, exist_ok=True)
    subprocess.run(["mount", "-o", "loop", image, mount], check=True)
    atexit.register(lambda: subprocess.run(["umount", mount]))
    clear_leftovers(mount)
    return mount


def clear_leftovers(scratch):
    """Removes the outputs and the trash an interrupted benchmark left in `scratch`."""
    for leftover in ("trash", "out-tool", "out-cp"):
        shutil.rmtree(os.path.join(scratch, leftover), ignore_errors=True)


class Terminal:
    """A tmux server of the benchmark's own. Each timed command runs in a new
    window of it, its console going to the terminal, and times itself there."""

    def __init__(self):
        self.socket = f"tolvane-bench-{os.getpid()}"
        self.tmux(["new-session", "-d", "-s", "bench", "-x", "160", "-y", "48"])
        atexit.register(lambda: self.tmux(["kill-server"]))

    def tmux(self, args):
        subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + args, check=True)

    def timed(self, command, scratch):
        report = os.path.join(scratch, "tty-time.txt")
        if os.path.exists(report):
            os.remove(report)
        script = (f"start=$(date +%s%N); {shlex.join(command)}; status=$?; end=$(date +%s%N); "
                  f"echo $status $((end - start)) > {shlex.quote(report)}.part; "
                  f"mv {shlex.quote(report)}.part {shlex.quote(report)}")
        self.tmux(["new-window", "-d", "sh -c " + shlex.quote(script)])
        while not os.path.exists(report):
            time.sleep(0.01)
        with open(report) as f:
            status, nanoseconds = f.read().split()
        if status != "0":
            sys.exit(f"failed in the terminal: {' '.join(command)}")
        return int(nanoseconds) / 1e9, 0


def can_drop_caches():
    return os.access("/proc/sys/vm/drop_caches", os.W_OK)


def drop_caches():
    """Empties the page cache, dentries and inodes, so the next run reads from disk."""
    os.sync()
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def generated_tree(scratch, tree, makers=TREES):
    """The path of `tree`, generated on first use."""
    top = os.path.join(scratch, tree)
    marker = os.path.join(scratch, tree + ".done")
    if not os.path.exists(marker):
        shutil.rmtree(top, ignore_errors=True)
        makers[tree](top, random.Random(f"{RANDOM_KEY}-{tree}"))
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
    if len({name for _, name in sample}) < len(sample):
        # Tracks of one name are numbered in the walk's order: each payload
        # must be in some output.
        contents = set()
        for name in os.listdir(out):
            with open(os.path.join(out, name), "rb") as f:
                contents.add(f.read())
        sample = [(path, name) for path, name in sample if not contained(path, contents)]
    for path, name in sample:
        with open(path, "rb") as f:
            f.seek(PAYLOAD_OFFSET)
            want = f.read()
        with open(os.path.join(out, name), "rb") as f:
            if f.read() != want:
                sys.exit(f"{tree}: {name} differs from the payload of {path}")


def contained(path, contents):
    with open(path, "rb") as f:
        f.seek(PAYLOAD_OFFSET)
        return f.read() in contents


def bench_tree(tool, scratch, out_scratch, tree, runs, verbose, terminal=None):
    """Times `tree`, generated under `scratch`, with its outputs under `out_scratch`."""
    cold = tree.startswith(COLD_PREFIX)
    source = tree[len(COLD_PREFIX):] if cold else tree
    if tree == TTY:
        source = "many-small"
    top = generated_tree(scratch, source)
    tool_out, cp_out = os.path.join(out_scratch, "out-tool"), os.path.join(out_scratch, "out-cp")
    trash = os.path.join(out_scratch, "trash")
    large = source == "few-large"
    tool_times, cp_times, peak = [], [], 0
    for run in range(runs + 1):  # run 0 warms the cache and is not counted
        set_aside(tool_out, trash, large)
        os.mkdir(tool_out)
        if cold:
            drop_caches()
        elapsed, rss = (terminal.timed if terminal else timed)([tool, top, tool_out], scratch)
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
    # The next tree starts on a file system at rest.
    shutil.rmtree(trash, ignore_errors=True)
    set_aside(trash, trash, True)
    tool_median, cp_median = statistics.median(tool_times), statistics.median(cp_times)
    return {"tree": tree, "tool": tool_median, "cp": cp_median,
            "tool_range": (min(tool_times), max(tool_times)),
            "cp_range": (min(cp_times), max(cp_times)),
            # Each run of the tool against the run of cp right after it: the
            # machine drifts less within a pair than across the whole series.
            "ratio": statistics.median(t / c for t, c in zip(tool_times, cp_times)),
            "peak_kib": peak, "files": len(outputs)}


def report(lines, file_name):
    """Prints a table's lines and writes them to bench/`file_name`."""
    text = "\n".join(lines) + "\n"
    print(text, end="")
    with open(os.path.join(ROOT, "bench", file_name), "w") as f:
        f.write(text)


def build(target):
    subprocess.run(["cmake", "--preset", "default"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "default", "--target", target],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(ROOT, "build", "default", target)


def curve(scratch, runs):
    """Median seconds of one walk for each number of workers, warm and cold."""
    driver = build("worker_curve")
    warm_scratch = journaled_ext4(scratch)
    lines = [f"Time of one walk against the number of extraction workers, "
             f"{datetime.date.today().isoformat()}, {os.cpu_count()} cores, median of {runs} runs "
             f"after a warm-up (bench/run.py --curve). Warm trees on a journaled ext4 image; "
             f"cold trees read from the machine's own disk, written to the image.", "",
             "| tree | " + " | ".join(f"{w} workers (s)" for w in CURVE_WORKERS) + " |",
             "|---|" + "---|" * len(CURVE_WORKERS)]
    variants = [("many-small", False), ("few-large", False)]
    if can_drop_caches():
        variants += [("many-small", True), ("few-large", True)]
    else:
        print("cold runs skipped: dropping the page cache needs root", file=sys.stderr)
    for tree, cold in variants:
        place = scratch if cold else warm_scratch
        out, trash = os.path.join(warm_scratch, "out-tool"), os.path.join(warm_scratch, "trash")
        top = generated_tree(place, tree)
        medians = []
        for workers in CURVE_WORKERS:
            times = []
            for run in range(runs + 1):
                set_aside(out, trash, tree == "few-large")
                os.mkdir(out)
                if cold:
                    drop_caches()
                elapsed, _ = timed([driver, str(workers), top, out], place)
                if run:
                    times.append(elapsed)
            medians.append(statistics.median(times))
            print(f"{'cold ' if cold else ''}{tree}, {workers} workers: {medians[-1]:.3f} s", flush=True)
        lines.append(f"| {'cold ' if cold else ''}{tree} | " +
                     " | ".join(f"{m:.3f}" for m in medians) + " |")
        set_aside(out, trash, True)
        shutil.rmtree(trash, ignore_errors=True)
    report(lines, "workers.md")


def make_names_tree(top, count, name_of, identical):
    # Containers of about 1.3 KB, 100 to a directory, each payload marked with
    # its track unless all are to be alike.
    for i in range(count):
        mark = bytes(4) if identical else i.to_bytes(4, "little")
        write(f"{top}/d{i // 100:04}/f{i:06}.bin", container(name_of(i), b"RIFF" + mark + bytes(1016)))


def names(tool, scratch, runs):
    """Median seconds, files left and peak memory of the tool on NAME_TREES."""
    place = journaled_ext4(scratch)
    lines = [f"Runs whose tracks share names, {datetime.date.today().isoformat()}, "
             f"{os.cpu_count()} cores, median of {runs} runs after a warm-up (bench/run.py "
             f"--names), on a journaled ext4 image.", "",
             "| tree | tracks | tool (s) | tool min-max (s) | files left | tool peak RSS (KiB) |",
             "|---|---|---|---|---|---|"]
    out, trash = os.path.join(place, "out-tool"), os.path.join(place, "trash")
    for tree, (count, name_of, identical) in NAME_TREES.items():
        top, marker = os.path.join(place, "names", tree), os.path.join(place, "names", tree + ".done")
        if not os.path.exists(marker):
            shutil.rmtree(top, ignore_errors=True)
            make_names_tree(top, count, name_of, identical)
            open(marker, "w").close()
        times, peak = [], 0
        for run in range(runs + 1):
            # The large trees are there for their memory; the outputs of all
            # their runs would use up the image's inodes.
            set_aside(out, trash, count > 20_000)
            os.mkdir(out)
            elapsed, rss = timed([tool, top, out], place)
            if run:
                times.append(elapsed)
                peak = max(peak, rss)
        files = len(os.listdir(out))
        print(f"{tree}: {statistics.median(times):.3f} s, {files} files, {peak} KiB", flush=True)
        lines.append(f"| {tree} | {count} | {statistics.median(times):.3f} | "
                     f"{min(times):.3f}-{max(times):.3f} | {files} | {peak} |")
        set_aside(out, trash, True)
        shutil.rmtree(trash, ignore_errors=True)
    report(lines, "names.md")


class SpinningDisk:
    """A tree served read-only through the disk model, mounted until closed."""

    def __init__(self, hddsim, backing, mount):
        self.mount, self.stats = mount, mount + ".stats.json"
        os.makedirs(mount, exist_ok=True)
        subprocess.run([hddsim, f"--stats={self.stats}", backing, mount], check=True,
                       stderr=subprocess.DEVNULL)
        self.pid = int(subprocess.run(["pgrep", "-n", "-f", f"{hddsim} --stats={self.stats}"],
                                      capture_output=True, text=True, check=True).stdout)
        atexit.register(self.close)

    def counters(self):
        """The model's totals so far: requests, bytes, seeks, busy seconds."""
        before = os.stat(self.stats).st_mtime_ns if os.path.exists(self.stats) else 0
        os.kill(self.pid, signal.SIGUSR1)
        while not os.path.exists(self.stats) or os.stat(self.stats).st_mtime_ns == before:
            time.sleep(0.01)
        with open(self.stats) as f:
            return json.load(f)

    def close(self):
        if os.path.ismount(self.mount):
            subprocess.run(["fusermount3", "-u", self.mount])


def hdd(tool, hddsim, scratch, runs, trees):
    """Medians of the tool, `cp -r` and a reader in disk order on the disk model."""
    out = os.path.join(scratch, "hdd-out")
    os.makedirs(out, exist_ok=True)
    if not os.path.ismount(out):
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2g", "tmpfs", out], check=True)
        atexit.register(lambda: subprocess.run(["umount", out]))
    reader = os.path.join(scratch, "disk_order_reader.py")
    with open(reader, "w") as f:
        f.write(DISK_ORDER_READER)
    lines = [f"Spinning-disk model ({os.path.basename(hddsim)}: 150 MB/s, 8 ms a seek, one head), "
             f"{datetime.date.today().isoformat()}, {os.cpu_count()} cores, median of {runs} runs "
             f"each with the page cache dropped, output on a tmpfs (bench/run.py --hdd).", "",
             "| tree | tracks | tool (s) | cp -r (s) | disk-order reader (s) | tool/cp | tool/reader "
             "| seeks: tool / cp / reader | tool peak RSS (KiB) |",
             "|---|---|---|---|---|---|---|---|---|"]
    for tree in trees:
        top = generated_tree(scratch, tree, HDD_TREES)
        disk = SpinningDisk(hddsim, top, os.path.join(scratch, "mnt-" + tree))
        sides = {"tool": lambda: [tool, disk.mount, os.path.join(out, "tool")],
                 "cp": lambda: ["cp", "-r", disk.mount, os.path.join(out, "cp")],
                 "reader": lambda: [sys.executable, reader, disk.mount]}
        times = {side: [] for side in sides}
        seeks = {side: [] for side in sides}
        peak = 0
        for _ in range(runs):
            for side, command in sides.items():
                shutil.rmtree(os.path.join(out, side), ignore_errors=True)
                if side == "tool":
                    os.mkdir(os.path.join(out, side))
                drop_caches()
                before = disk.counters()
                elapsed, rss = timed(command(), scratch)
                times[side].append(elapsed)
                seeks[side].append(disk.counters()["seeks"] - before["seeks"])
                if side == "tool":
                    peak = max(peak, rss)
            print(f"{tree}: " + ", ".join(f"{side} {times[side][-1]:.2f} s/{seeks[side][-1]} seeks"
                                          for side in sides), flush=True)
        outputs = expected_outputs(top)
        tool_out = os.path.join(out, "tool")
        if len(os.listdir(tool_out)) != len(outputs):
            sys.exit(f"{tree}: {len(os.listdir(tool_out))} outputs, expected {len(outputs)}")
        verify(tree, tool_out, random.Random(RANDOM_KEY).sample(outputs, min(20, len(outputs))))
        for side in ("tool", "cp"):
            shutil.rmtree(os.path.join(out, side), ignore_errors=True)
        disk.close()
        median = {side: statistics.median(times[side]) for side in sides}
        lines.append(f"| {tree} | {len(outputs)} | {median['tool']:.2f} | {median['cp']:.2f} | "
                     f"{median['reader']:.2f} | {median['tool'] / median['cp']:.2f} | "
                     f"{median['tool'] / median['reader']:.2f} | "
                     + " / ".join(str(int(statistics.median(seeks[side]))) for side in sides)
                     + f" | {peak} |")
    report(lines, "hdd.md")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--scratch", default=os.path.join(ROOT, "bench", "scratch"))
    parser.add_argument("--trees",
                        default=",".join(list(TREES) + [TTY, COLD_PREFIX + "many-small"]))
    parser.add_argument("--tool")
    parser.add_argument("--curve", action="store_true",
                        help="time the walk against the number of workers instead")
    parser.add_argument("--names", action="store_true",
                        help="time runs whose tracks share names instead")
    parser.add_argument("--hdd", metavar="HDDSIM",
                        help="read trees through this model of a spinning disk instead")
    parser.add_argument("--verbose", action="store_true", help="print every run's time")
    args = parser.parse_args()

    os.makedirs(args.scratch, exist_ok=True)
    clear_leftovers(args.scratch)
    if args.curve:
        curve(args.scratch, args.runs)
        return
    tool = args.tool or build("tolvanemusicextract")
    if args.names:
        names(os.path.abspath(tool), args.scratch, args.runs)
        return
    if args.hdd:
        trees = args.trees.split(",") if "--trees" in sys.argv else list(HDD_TREES)
        hdd(os.path.abspath(tool), os.path.abspath(args.hdd), args.scratch, args.runs, trees)
        return

    results = []
    trees = args.trees.split(",")
    warm_scratch = journaled_ext4(args.scratch)
    for tree in trees:
        if tree.startswith(COLD_PREFIX) and not can_drop_caches():
            print(f"{tree}: skipped, dropping the page cache needs root "
                  "(write access to /proc/sys/vm/drop_caches)", flush=True)
            results.append({"tree": tree, "skipped": True})
            continue
        if tree == TTY and shutil.which("tmux") is None:
            print(f"{tree}: skipped, needs tmux", flush=True)
            results.append({"tree": tree, "skipped": True, "why": "needs tmux"})
            continue
        print(f"{tree}: ...", flush=True)
        # The cold tree's outputs go to the journaled ext4 too: on the
        # machine's own disk, without a journal, new files come slowly for
        # minutes after many were deleted.
        scratch = args.scratch if tree.startswith(COLD_PREFIX) else warm_scratch
        results.append(bench_tree(os.path.abspath(tool), scratch, warm_scratch, tree, args.runs,
                                  args.verbose,
                                  Terminal() if tree == TTY else None))

    where = ("a journaled ext4 image, loop-mounted" if warm_scratch != args.scratch
             else "the scratch directory's file system")
    lines = [f"Benchmark of {os.path.basename(tool)} against `cp -r`, "
             f"{datetime.date.today().isoformat()}, {os.cpu_count()} cores, "
             f"median of {args.runs} alternating runs each after a warm-up. Warm trees on {where}; "
             f"cold-many-small read from the machine's own disk; tty: the tool's console in a tmux "
             f"window, /dev/null elsewhere.", "",
             "| tree | tracks | tool (s) | cp -r (s) | tool/cp (median of pairs) | tool min-max (s) "
             "| cp min-max (s) "
             "| tool peak RSS (KiB) |",
             "|---|---|---|---|---|---|---|---|"]
    for r in results:
        if r.get("skipped"):
            why = r.get("why", "dropping the page cache needs root")
            lines.append(f"| {r['tree']} | skipped: {why} |||||||")
            continue
        lines.append(f"| {r['tree']} | {r['files']} | {r['tool']:.3f} | {r['cp']:.3f} | "
                     f"{r['ratio']:.2f} | {r['tool_range'][0]:.3f}-{r['tool_range'][1]:.3f} | "
                     f"{r['cp_range'][0]:.3f}-{r['cp_range'][1]:.3f} | {r['peak_kib'] or '-'} |")
    ratios = " ".join(f"{r['tree']}=skipped" if r.get("skipped") else f"{r['tree']}={r['ratio']:.2f}"
                      for r in results)
    summary = f"ratio {ratios} peak_kib={max(r.get('peak_kib', 0) for r in results)}"
    lines += ["", summary]
    clear_leftovers(args.scratch)
    clear_leftovers(warm_scratch)
    report(lines, "results.md")


if __name__ == "__main__":
    main()
