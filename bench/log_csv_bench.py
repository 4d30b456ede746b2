#!/usr/bin/env python3
"""qbxtool csv against cat, side by side: 1,000 sessions of engine-written
logs (about 500,000 records) converted to events.csv and hands.csv, and the
same files read by cat into a file beside them. Runs alternate; medians are
compared (target: csv at most 3x cat). Writes its section of
bench/results.md, between its own markers, and leaves the rest as it is.

  bench/log_csv_bench.py --build BUILD [--sessions 1000] [--hands 18] [--runs 7]
"""
import argparse
import glob
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEGIN, END = "<!-- qbxtool csv: begin -->", "<!-- qbxtool csv: end -->"


def timed(command, **kw):
    start = time.perf_counter()
    subprocess.run(command, check=True, **kw)
    return time.perf_counter() - start


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True)
    p.add_argument("--sessions", type=int, default=1000)
    p.add_argument("--hands", type=int, default=18)
    p.add_argument("--runs", type=int, default=7)
    p.add_argument("--out", default=os.path.join(ROOT, "bench", "results.md"))
    a = p.parse_args()
    tool = os.path.join(a.build, "qbxtool")
    maker = os.path.join(a.build, "bench", "qbx_make_logs")
    base = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    with tempfile.TemporaryDirectory(dir=base) as tmp:
        dataout = os.path.join(tmp, "dataout")
        subprocess.run([maker, dataout, str(a.sessions), str(a.hands)], check=True,
                       env=dict(os.environ, TMPDIR=tmp))
        files = sorted(glob.glob(os.path.join(dataout, "*.txt")))
        size = sum(os.path.getsize(f) for f in files)
        records = 0
        for f in files:
            with open(f, "rb") as fh:
                records += fh.read().count(b"\n")
        cat_out = os.path.join(tmp, "all.txt")
        events, hands = os.path.join(tmp, "events.csv"), os.path.join(tmp, "hands.csv")
        # csv's codebook and the readers for pandas and R, beside the tables
        beside = [os.path.join(tmp, name) for name in ("datapackage.json", "read_tables.py", "read_tables.R")]
        cat_times, csv_times = [], []
        for _ in range(a.runs):
            # Each starts with no output of the run before: cat's file is
            # emptied, csv's tables, codebook and readers are removed,
            # before the clock starts.
            with open(cat_out, "wb") as out:
                cat_times.append(timed(["cat"] + files, stdout=out))
            for old in [events, hands] + beside:
                if os.path.exists(old):
                    os.remove(old)
            csv_times.append(timed([tool, "csv", dataout, "-o", events, "--hands", hands],
                                   stderr=subprocess.DEVNULL))
        rows = sum(1 for _ in open(events, "rb")) - 1
        cat_m, csv_m = statistics.median(cat_times), statistics.median(csv_times)
        ratio = csv_m / cat_m
        out_size = os.path.getsize(events) + os.path.getsize(hands)
    where = "a memory file system (/dev/shm)" if base else "the temporary folder"
    lines = [
        BEGIN,
        "## qbxtool csv against cat",
        "",
        f"{a.sessions} sessions ({len(files)} logs, {records:,} records, {size / 1e6:.1f} MB) written by the engine, "
        f"on {where}; {a.runs} alternating runs, medians. cat writes the logs into one file; csv writes "
        f"events.csv ({rows:,} rows) and hands.csv ({out_size / 1e6:.1f} MB together), and beside them the codebook "
        f"and the readers for pandas and R, syncs and renames them. "
        f"Each run starts with no output of the run before (cat's file emptied, csv's removed, before the clock starts).",
        "",
        "| Figure | qbxtool csv | cat | Ratio / target | Holds |",
        "|---|---|---|---|---|",
        f"| Convert {a.sessions} sessions (median of {a.runs}) | {csv_m * 1000:.0f} ms | {cat_m * 1000:.0f} ms | "
        f"{ratio:.2f}× (≤ 3×) | {'yes' if ratio <= 3 else '**no**'} |",
        f"| Throughput | {records / csv_m / 1e6:.2f} M records/s | {size / cat_m / 1e6:.0f} MB/s | — | — |",
        END,
    ]
    section = "\n".join(lines)
    text = open(a.out, encoding="utf-8").read() if os.path.exists(a.out) else "# Benchmark results\n"
    if BEGIN in text:
        text = re.sub(re.escape(BEGIN) + ".*?" + re.escape(END), section, text, flags=re.S)
    else:
        text = text.rstrip("\n") + "\n\n" + section + "\n"
    with open(a.out, "w", encoding="utf-8") as f:
        f.write(text)
    print(section)
    return 0 if ratio <= 3 else 1


if __name__ == "__main__":
    sys.exit(main())
