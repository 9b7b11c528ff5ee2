#!/usr/bin/env python3
"""Whole-process comparison: quill against a program that only opens and closes the PPD with libcups.

Runs, as whole processes, `quill lint FILE` (and `quill tree --json FILE` on the large file) against
`cups_open_close FILE` (ppdOpenFile + ppdClose, nothing else) on the generated vendor PPDs of the
parse benchmark. hyperfine times them in rounds that alternate the commands, so that a change in the
machine's load hits both; the ratio of the medians over all rounds is printed with the goal. Peak
memory (maximum resident set) comes from /usr/bin/time -v, as the median of several runs.

Usage: bench/compare_process.py [BUILD_DIR] [--rounds N] [--runs N]
BUILD_DIR (default build-bench) must hold apps/quill/quill, bench/cups_open_close and
bench/write_vendor_ppd (cmake --build BUILD_DIR --target quill_command cups_open_close
write_vendor_ppd).
"""
import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile


def timings(commands, runs, rounds, work):
    """Seconds of every run of every command over `rounds` alternating hyperfine runs, and the CPU
    seconds (user + system) of each round's mean run."""
    times = {name: [] for name, _ in commands}
    cpu = {name: [] for name, _ in commands}
    for round_number in range(rounds):
        # Odd rounds run the commands in reverse order.
        order = commands if round_number % 2 == 0 else list(reversed(commands))
        export = os.path.join(work, "round.json")
        args = ["hyperfine", "-N", "--warmup", "2", "--runs", str(runs), "--export-json", export,
                "--style", "none"]
        args += [command for _, command in order]
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(export) as f:
            results = json.load(f)["results"]
        for (name, _), result in zip(order, results):
            times[name] += result["times"]
            cpu[name].append(result["user"] + result["system"])
    return times, cpu


def peak_kib(command, runs=5):
    """Median over `runs` runs of the maximum resident set size, in KiB."""
    peaks = []
    for _ in range(runs):
        done = subprocess.run(["/usr/bin/time", "-v"] + command.split(), stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr)
        if match is None:
            sys.exit("no peak memory from /usr/bin/time for: " + command)
        peaks.append(int(match.group(1)))
    return statistics.median(peaks)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build-bench")
    parser.add_argument("--rounds", type=int, default=6)
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()

    quill = os.path.join(options.build, "apps/quill/quill")
    cups = os.path.join(options.build, "bench/cups_open_close")
    writer = os.path.join(options.build, "bench/write_vendor_ppd")
    for program in (quill, cups, writer):
        if not os.access(program, os.X_OK):
            sys.exit("missing " + program + " (see the usage above)")

    with tempfile.TemporaryDirectory(prefix="compare-process-") as work:
        subprocess.run([writer, work], check=True)
        cases = [
            ("large", "lint", 0.5),
            ("large", "tree --json", 0.7),
            ("small", "lint", 0.5),
        ]
        print("quill against ppdOpenFile + ppdClose, whole processes, medians of %d runs each"
              % (options.rounds * options.runs))
        # The machine may be shared: the load says how far the wall-clock figures can be trusted.
        print("load average at the start: %.2f %.2f %.2f" % os.getloadavg())
        print("%-5s %-12s %10s %10s %6s %5s  %9s %5s  %10s %10s" %
              ("file", "quill", "quill ms", "libcups ms", "ratio", "goal", "CPU ratio", "",
               "quill MiB", "libcups MiB"))
        failed = False
        for name, subcommand, goal in cases:
            path = os.path.join(work, name + ".ppd")
            check = subprocess.run([quill] + subcommand.split() + [path], capture_output=True,
                                   text=True)
            if check.returncode != 0 or subprocess.run([cups, path]).returncode != 0:
                sys.exit("%s: a command failed on %s:\n%s" % (name, path, check.stdout[-500:]))
            commands = [("quill", "%s %s %s" % (quill, subcommand, path)),
                        ("libcups", "%s %s" % (cups, path))]
            times, cpu = timings(commands, options.runs, options.rounds, work)
            cpu_ratio = statistics.median(cpu["quill"]) / statistics.median(cpu["libcups"])
            quill_ms = statistics.median(times["quill"]) * 1000
            cups_ms = statistics.median(times["libcups"]) * 1000
            quill_peak = peak_kib(commands[0][1]) / 1024
            cups_peak = peak_kib(commands[1][1]) / 1024
            ratio = quill_ms / cups_ms
            failed |= ratio > goal or quill_peak > cups_peak
            print("%-5s %-12s %10.1f %10.1f %6.2f %5.2f  %9.2f %5s  %10.1f %10.1f" %
                  (name, subcommand, quill_ms, cups_ms, ratio, goal, cpu_ratio, "",
                   quill_peak, cups_peak))
        print("load average at the end: %.2f %.2f %.2f" % os.getloadavg())
        print("goals %s (time ratio at most the goal, peak memory no more than libcups')" %
              ("missed" if failed else "met"))
        print("(ratio: of the median wall-clock times; CPU ratio: of the median user + system "
              "times per round, steadier on a busy machine)")


if __name__ == "__main__":
    main()
