#!/usr/bin/env bash
# The spooler channel on the bundled sample, run inside quill-sandbox (a private CUPS server and a
# stand-in Quill print server on loopback): sets up a queue, lets the filter ask the print server
# for its state, stores the queue's printer address through the filter, lists the data blocks the
# filter keeps in the queue's PPD, keeps a choice for the queue's next print and shows the job
# ticket that printing would hand to the filter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quill="$root/build/apps/quill/quill"
queue=QuillDemo
# The user's saved settings go to a folder of the demo's own, not to the caller's configuration.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

step() { printf '\n== %s\n' "$*"; }

step "quill queue add $queue (the sample PPD, the print server as its device)"
"$quill" queue add "$queue" --ppd "$root/examples/QuillSample.ppd" --uri "$QUILL_SANDBOX_PRINT_URI"

step "quill server-data $queue: the filter asks the print server; its toners and trays"
"$quill" server-data "$queue" --section TonerInfo
"$quill" server-data "$queue" --section TrayInfo

step "quill address $queue: store the server's address with two-way communication on"
"$quill" address "$queue" --set 127.0.0.1 --two-way on
"$quill" address "$queue"

step "quill blocks $queue: the data blocks the filter stored in the queue's PPD"
"$quill" blocks "$queue"

step "quill settings $queue: choose two-sided printing and keep it for the queue's next print"
"$quill" settings "$queue" --set Duplex=DuplexTumble --save 2>/dev/null | grep -E '^\*Duplex|^quick-access'

step "quill ticket $queue: the job ticket printing would hand to the filter (job-note pieces)"
"$quill" ticket "$queue" --note KRAccount=12345 --note "KRJobName=Quarterly report" --json
