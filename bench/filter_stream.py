#!/usr/bin/env python3
"""The filter's print half on a large PostScript job, against `cat` of the same file.

Writes a PostScript job of the given sizes into a temporary folder (removed at the end): a header,
prolog and setup as CUPS' pstops writes them (feature blocks in "[{ ... } stopped cleartomark"
wrappers, two of them for keywords that the ticket suppresses), then pages of ordinary drawing
lines and a feature block of a suppressed keyword on every 50th page. For each size it runs, as
whole processes and alternating, `cat JOB` and `quill-cqf 1 user title 1 OPTIONS JOB` with a
ticket of every site (written afresh before each run, since the filter deletes it), both writing to
/dev/null, and reports the median wall time of each, the throughput ratio (goal: the filter at
least half of cat's) and the filter's peak memory from /usr/bin/time (goal: under 20 MiB at every
size). The filter's output is checked once per size: each piece once, the suppressed blocks gone.

Usage: bench/filter_stream.py [BUILD_DIR] [--sizes-mib 64,1024] [--runs 3]
BUILD_DIR (default build-bench) must hold filter/quill-cqf (target quill_cqf).
"""
import argparse
import os
import plistlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

TICKET_KEY = "KRT.PSData.org.quill.print.QuillFeaturesPDE"

PIECES = [
    (-9, b"*KRStaple"),
    (-9, b"*Duplex"),
    (81, b"%%BeginFeature: *KRStaple 1\n<</Staple 1>> setpagedevice\n%%EndFeature\n"),
    (70, b"%%BeginFeature: *PageSize A4\n<</PageSize[595 842]>>setpagedevice\n%%EndFeature\n"),
    (504, b"%%MacCoreNUp: true\n"),
    (504, b"%%Orientation: Portrait\n"),
    (30, b"%%KRTCustom1: benchmark note\n"),
    (501, b"%%KRTDriver\n"),
    (71, b"%%EndQuillPreparse1: True\n/VTXPPDInsertionComplete where { pop VTXPPDInsertionComplete } if\n"),
]

HEADER = (
    b"%!PS-Adobe-3.0\n%%Title: (bench)\n%%Pages: (atend)\n%%EndComments\n"
    b"%%BeginProlog\n/F { findfont exch scalefont setfont } bind def\n%%EndProlog\n"
    b"%%BeginSetup\n"
    b"[{\n%%BeginFeature: *KRStaple None\n%%EndFeature\n} stopped cleartomark\n"
    b"[{\n%%BeginFeature: *Duplex DuplexNoTumble\n<</Duplex true>> setpagedevice\n%%EndFeature\n"
    b"} stopped cleartomark\n%%EndSetup\n"
)


def page(number):
    lines = [b"%%%%Page: %d %d\n" % (number, number), b"12 /Helvetica F\n"]
    if number % 50 == 0:
        lines.append(b"%%BeginFeature: *KRStaple 1\n<</Staple 1>> setpagedevice\n%%EndFeature\n")
    for row in range(60):
        lines.append(b"%d %d moveto (The quick brown fox jumps over the lazy dog %d) show\n"
                     % (72, 720 - row * 11, row))
    lines.append(b"showpage\n")
    return b"".join(lines)


def write_job(path, size):
    with open(path, "wb") as out:
        out.write(HEADER)
        written = len(HEADER)
        block = b"".join(page(n) for n in range(1, 201))
        number = 0
        while written < size:
            out.write(block)
            written += len(block)
            number += 200
        out.write(b"%%Trailer\n%%EOF\n")


def write_ticket(root):
    cache = os.path.join(root, "Library/Caches/KRT")
    os.makedirs(cache, exist_ok=True)
    items = []
    for site, data in PIECES:
        items += [site, data]
    with open(os.path.join(cache, "Quill.tempbench"), "wb") as out:
        plistlib.dump(items, out, fmt=plistlib.FMT_XML)
    return "/Library/Caches/KRT/Quill.tempbench"


def run(command, env, timed=True):
    start = time.monotonic()
    with open(os.devnull, "wb") as sink:
        result = subprocess.run(command, env=env, stdout=sink, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), result.stderr.decode(errors="replace")))
    return time.monotonic() - start, result.stderr.decode(errors="replace")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build-bench")
    parser.add_argument("--sizes-mib", default="64,1024")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    cqf = os.path.abspath(os.path.join(args.build, "filter", "quill-cqf"))
    if not os.access(cqf, os.X_OK):
        sys.exit("no %s: build the quill_cqf target" % cqf)
    timer = shutil.which("time") or "/usr/bin/time"

    work = tempfile.mkdtemp(prefix="quill-filter-bench-")
    try:
        env = dict(os.environ, QUILL_ROOT=work, CONTENT_TYPE="application/vnd.cups-postscript")
        for size_mib in [int(s) for s in args.sizes_mib.split(",")]:
            job = os.path.join(work, "job.ps")
            write_job(job, size_mib << 20)
            size = os.path.getsize(job)
            options = "%s=%s" % (TICKET_KEY, write_ticket(work))
            filter_cmd = [cqf, "1", "user", "title", "1", options, job]

            # The output once: every piece once, the suppressed blocks gone.
            write_ticket(work)
            out = subprocess.run(filter_cmd, env=env, capture_output=True, check=True).stdout
            for site, data in PIECES:
                if site > 0:
                    assert out.count(data) == 1, (site, out.count(data))
            assert b"*KRStaple None" not in out and b"*Duplex " not in out
            assert out.count(b"*KRStaple 1") == 1
            del out

            cat_times, filter_times = [], []
            for _ in range(args.runs):
                cat_times.append(run(["cat", job], env)[0])
                write_ticket(work)
                filter_times.append(run(filter_cmd, env)[0])
            write_ticket(work)
            _, report = run([timer, "-f", "%M"] + filter_cmd, env)
            peak_kib = int(report.strip().splitlines()[-1])
            _, cat_report = run([timer, "-f", "%M", "cat", job], env)
            cat_kib = int(cat_report.strip().splitlines()[-1])

            cat_s, filter_s = statistics.median(cat_times), statistics.median(filter_times)
            ratio = cat_s / filter_s
            print("%5d MiB job: cat %.2f s (%.0f MiB/s), filter %.2f s (%.0f MiB/s); "
                  "filter throughput / cat = %.2f (goal >= 0.5); peak memory filter %.1f MiB, "
                  "cat %.1f MiB (goal < 20 MiB)"
                  % (size >> 20, cat_s, size / cat_s / 2**20, filter_s, size / filter_s / 2**20,
                     ratio, peak_kib / 1024, cat_kib / 1024))
            os.remove(job)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
