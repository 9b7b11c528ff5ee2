#!/usr/bin/env python3
"""quill print against lp, as whole commands, on the private CUPS of quill-sandbox.

Each run is timed from the command's start until the stand-in print server holds the job (a new
file in $QUILL_SANDBOX_RECEIVED), so both pay for cupsd, CUPS' own filters, the queue's filter and
the backend. quill print also builds the job ticket and hands it over with its two command jobs;
lp sends the same file with the same options and no ticket. The runs alternate.

Besides the wall times it reports the CPU time of the command's own process (quill or lp, from
the kernel's accounting of children), which is steadier than wall time on a busy machine.

Run after a build, as root:
    build/apps/sandbox/quill-sandbox python3 bench/print_vs_lp.py [--runs N] [--quill PATH]
(--quill, or $QUILL_CLI, names another build's quill; the sandbox's filter is the one of the
sandbox's own build tree unless $QUILL_FILTER names another). --baseline PATH times a second quill
build in the same alternation (quill, baseline, lp), so that a change is compared under the same
load. --plain also times quill print on a second queue that differs only by its device URI, the
print server's without the quill backend in front (as a spooler without that backend has it).
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
QUILL = os.path.join(ROOT, "build", "apps", "quill", "quill")
QUEUE = "PrintBench"
OPTIONS = ["KRFinisher=FS100", "KRStaple=TopLeft", "Duplex=DuplexNoTumble"]


def received():
    return len(os.listdir(os.environ["QUILL_SANDBOX_RECEIVED"]))


IDLE_TEST = """{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword requested-attributes printer-state
  EXPECT printer-state OF-TYPE enum WITH-VALUE 3
}
"""


def wait_until_idle(test_file):
    """The stand-in server "prints" each job for a few seconds and answers busy meanwhile, which
    makes CUPS retry later; each run starts with the server and the queue idle."""
    uri = os.environ["QUILL_SANDBOX_PRINT_URI"].split("?")[0]
    deadline = time.perf_counter() + 120
    while time.perf_counter() < deadline:
        server_idle = subprocess.run(["ipptool", "-q", uri, test_file]).returncode == 0
        queue = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout
        if server_idle and not queue.strip():
            return
        time.sleep(0.1)
    sys.exit("the print server did not become idle")


def cupsd_settings():
    """The sandbox cupsd's settings that weigh on these times: with DirtyCleanInterval 0 (the
    sandbox's default, for the tests) cupsd writes and syncs its job files at every change of
    every job, which costs more the more jobs a print makes; CUPS' own default is 30 s.
    QUILL_TEST_CUPSD_CONF="DirtyCleanInterval 30" before quill-sandbox sets it back."""
    conf = os.path.join(os.environ.get("QUILL_ROOT", ""), "..", "etc", "cupsd.conf")
    settings = {}
    try:
        with open(conf) as text:
            for line in text:
                words = line.split()
                if len(words) == 2 and words[0] in ("DirtyCleanInterval", "LogLevel"):
                    settings[words[0]] = words[1]
    except OSError:
        pass
    return ", ".join(f"{k} {v}" for k, v in sorted(settings.items())) or "unknown"


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def spooler_pids():
    """cupsd and the stand-in print server: the sandbox's other children."""
    pids = []
    sandbox = os.getppid()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == sandbox and int(entry) != os.getpid():
            pids.append(int(entry))
    return pids


TICK = os.sysconf("SC_CLK_TCK")


def spooler_cpu(pids):
    """CPU seconds of the spooler processes and of the children they have reaped (filters,
    backends), from the kernel's accounting in clock ticks."""
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        total += sum(int(f) for f in fields[11:15])  # utime stime cutime cstime
    return total / TICK


def timed(command, test_file, cpu_times, spooler_times, pids):
    wait_until_idle(test_file)
    before = received()
    spooler_before = spooler_cpu(pids)
    start = time.perf_counter()
    cpu_before = children_cpu()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    cpu_times.append(children_cpu() - cpu_before)
    deadline = start + 60
    while received() <= before:
        if time.perf_counter() > deadline:
            subprocess.run(["lpstat", "-W", "all", "-o", "-l"])
            sys.exit("the print server received nothing within 60 s: " + " ".join(command))
        time.sleep(0.002)
    elapsed = time.perf_counter() - start
    # The jobs end (filters and backends reaped) within moments once the server has the document;
    # nothing else asks the spooler meanwhile.
    time.sleep(1.0)
    spooler_times.append(spooler_cpu(pids) - spooler_before)
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--quill", default=os.environ.get("QUILL_CLI", QUILL))
    parser.add_argument("--baseline", help="another quill build, timed in the same alternation")
    parser.add_argument("--plain", action="store_true",
                        help="also time quill print on a queue without the quill backend")
    parser.add_argument("--all", action="store_true", help="also list every run's time")
    args = parser.parse_args()
    os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp()
    subprocess.run([args.quill, "queue", "add", QUEUE, "--ppd",
                    os.path.join(ROOT, "examples", "QuillSample.ppd"),
                    "--uri", os.environ["QUILL_SANDBOX_PRINT_URI"]], check=True,
                   stdout=subprocess.DEVNULL)
    if args.plain:
        subprocess.run([args.quill, "queue", "add", QUEUE + "Plain", "--ppd",
                        os.path.join(ROOT, "examples", "QuillSample.ppd"),
                        "--uri", os.environ["QUILL_SANDBOX_PRINT_URI"]], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["lpadmin", "-p", QUEUE + "Plain", "-v", os.environ["QUILL_SANDBOX_PRINT_URI"]],
                       check=True)
    document = os.path.join(ROOT, "examples", "QuillSample.ps")
    quill = [args.quill, "print", "-d", QUEUE, "--note", "KRAccount=12345"]
    lp = ["lp", "-d", QUEUE]
    for option in OPTIONS:
        quill += ["-o", option]
        lp += ["-o", option]
    quill.append(document)
    lp.append(document)
    baseline = [args.baseline] + quill[1:] if args.baseline else None
    plain = [quill[0], "print", "-d", QUEUE + "Plain"] + quill[4:] if args.plain else None

    with tempfile.NamedTemporaryFile("w", suffix=".test", delete=False) as test:
        test.write(IDLE_TEST)
    pids = spooler_pids()
    ignored = []
    # warm-up: the first run stores the queue's files and caches
    timed(quill, test.name, ignored, ignored, pids)
    timed(lp, test.name, ignored, ignored, pids)
    if baseline:
        timed(baseline, test.name, ignored, ignored, pids)
    if plain:
        timed(plain, test.name, ignored, ignored, pids)
    load_before = os.getloadavg()[0]
    quill_times, lp_times, quill_cpu, lp_cpu, quill_spooler, lp_spooler = [], [], [], [], [], []
    base_times, base_cpu, base_spooler = [], [], []
    plain_times, plain_cpu, plain_spooler = [], [], []
    for _ in range(args.runs):
        quill_times.append(timed(quill, test.name, quill_cpu, quill_spooler, pids))
        if baseline:
            base_times.append(timed(baseline, test.name, base_cpu, base_spooler, pids))
        if plain:
            plain_times.append(timed(plain, test.name, plain_cpu, plain_spooler, pids))
        lp_times.append(timed(lp, test.name, lp_cpu, lp_spooler, pids))
    os.unlink(test.name)
    q = statistics.median(quill_times) * 1000
    l = statistics.median(lp_times) * 1000
    qc = statistics.median(quill_cpu) * 1000
    lc = statistics.median(lp_cpu) * 1000
    load = os.getloadavg()[0]
    print(f"quill print until the server has the job: median {q:.1f} ms ({args.runs} runs, "
          f"min {min(quill_times) * 1000:.1f})")
    print(f"lp of the same file and options:          median {l:.1f} ms (min {min(lp_times) * 1000:.1f})")
    print(f"ratio {q / l:.2f} (load average {load_before:.1f} at the start, {load:.1f} at the end)")
    print(f"CPU of the command's own process: quill print {qc:.1f} ms, lp {lc:.1f} ms")
    # Clock ticks are coarse: the mean over all runs is the steadier figure.
    qs = statistics.mean(quill_spooler) * 1000
    ls = statistics.mean(lp_spooler) * 1000
    print(f"CPU of cupsd with its filters and backends and of the print server, mean per run: "
          f"quill print {qs:.1f} ms, lp {ls:.1f} ms")
    print(f"CPU in all: quill print {qc + qs:.1f} ms, lp {lc + ls:.1f} ms, "
          f"ratio {(qc + qs) / (lc + ls):.2f}")
    def compared(label, times, cpu, spooler):
        t = statistics.median(times) * 1000
        c = statistics.median(cpu) * 1000
        sp = statistics.mean(spooler) * 1000
        print(f"{label}: median {t:.1f} ms (min {min(times) * 1000:.1f}), ratio {t / l:.2f}; "
              f"CPU of its process {c:.1f} ms, of the spooler {sp:.1f} ms, "
              f"in all ratio {(c + sp) / (lc + ls):.2f}")

    if baseline:
        compared(f"baseline {args.baseline}", base_times, base_cpu, base_spooler)
    if plain:
        compared("queue without the quill backend", plain_times, plain_cpu, plain_spooler)
    print(f"cupsd: {cupsd_settings()}")
    if args.all:
        print("quill print runs (ms):", " ".join(f"{t * 1000:.0f}" for t in quill_times))
        print("lp runs (ms):         ", " ".join(f"{t * 1000:.0f}" for t in lp_times))
        if baseline:
            print("baseline runs (ms):   ", " ".join(f"{t * 1000:.0f}" for t in base_times))
        if plain:
            print("plain queue runs (ms):", " ".join(f"{t * 1000:.0f}" for t in plain_times))


if __name__ == "__main__":
    main()
