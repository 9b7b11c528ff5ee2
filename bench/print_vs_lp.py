#!/usr/bin/env python3
"""quill print against lp, as whole commands, on the private CUPS of quill-sandbox.

Each run is timed from the command's start until the stand-in print server holds the job (a new
file in $QUILL_SANDBOX_RECEIVED), so both pay for cupsd, CUPS' own filters, the queue's filter and
the backend. quill print also builds the job ticket and hands it over with its two command jobs;
lp sends the same file with the same options and no ticket. The runs alternate.

Run after a build, as root:
    build/apps/sandbox/quill-sandbox python3 bench/print_vs_lp.py [--runs N]
"""
import argparse
import os
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
        queue = subprocess.run(["lpstat", "-o", QUEUE], capture_output=True, text=True).stdout
        if server_idle and not queue.strip():
            return
        time.sleep(0.1)
    sys.exit("the print server did not become idle")


def timed(command, test_file):
    wait_until_idle(test_file)
    before = received()
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    deadline = start + 60
    while received() <= before:
        if time.perf_counter() > deadline:
            subprocess.run(["lpstat", "-W", "all", "-o", "-l"])
            sys.exit("the print server received nothing within 60 s: " + " ".join(command))
        time.sleep(0.002)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    os.environ["XDG_CONFIG_HOME"] = tempfile.mkdtemp()
    subprocess.run([QUILL, "queue", "add", QUEUE, "--ppd",
                    os.path.join(ROOT, "examples", "QuillSample.ppd"),
                    "--uri", os.environ["QUILL_SANDBOX_PRINT_URI"]], check=True,
                   stdout=subprocess.DEVNULL)
    document = os.path.join(ROOT, "examples", "QuillSample.ps")
    quill = [QUILL, "print", "-d", QUEUE, "--note", "KRAccount=12345"]
    lp = ["lp", "-d", QUEUE]
    for option in OPTIONS:
        quill += ["-o", option]
        lp += ["-o", option]
    quill.append(document)
    lp.append(document)

    with tempfile.NamedTemporaryFile("w", suffix=".test", delete=False) as test:
        test.write(IDLE_TEST)
    timed(quill, test.name)  # warm-up: the first run stores the queue's files and caches
    timed(lp, test.name)
    quill_times, lp_times = [], []
    for _ in range(args.runs):
        quill_times.append(timed(quill, test.name))
        lp_times.append(timed(lp, test.name))
    os.unlink(test.name)
    q = statistics.median(quill_times) * 1000
    l = statistics.median(lp_times) * 1000
    load = os.getloadavg()[0]
    print(f"quill print until the server has the job: median {q:.1f} ms ({args.runs} runs)")
    print(f"lp of the same file and options:          median {l:.1f} ms")
    print(f"ratio {q / l:.2f} (load average {load:.1f})")


if __name__ == "__main__":
    main()
