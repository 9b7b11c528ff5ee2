#!/usr/bin/env bash
# Printing on the bundled sample, run inside quill-sandbox (a private CUPS server and a stand-in
# Quill print server on loopback; the machine's own CUPS is not touched): sets up a queue with the
# sample PPD, prints the sample document with an account number, an enciphered job note, a
# watermark and finishing options, and shows what the print server received: the pieces the filter
# put into the job, in order, and the first page rendered by Ghostscript.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quill="$root/build/apps/quill/quill"
queue=QuillDemo
out="$root/demo-output"
mkdir -p "$out"
# The user's saved settings go to a folder of the demo's own, not to the caller's configuration.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

step() { printf '\n== %s\n' "$*"; }

step "quill queue add $queue (the sample PPD, the stand-in print server as its device)"
"$quill" queue add "$queue" --ppd "$root/examples/QuillSample.ppd" --uri "$QUILL_SANDBOX_PRINT_URI"

# Enciphered job notes need the keys shared with the print server. The demo installs a key file
# that says of itself that it is a demonstration key, into its private root only.
mkdir -p "$QUILL_ROOT/etc/quill"
install -m 0644 "$root/examples/demo-keys" "$QUILL_ROOT/etc/quill/keys"
echo "(installed the demonstration key file examples/demo-keys: not secret, for this demo only)"

step "quill print: account 12345, secure-print PIN (enciphered), watermark 1, stapled, punched, two-sided"
before=$(ls "$QUILL_SANDBOX_RECEIVED" | wc -l)
"$quill" print -d "$queue" --note KRAccount=12345 --note KRSecurePassword=2468 --watermark 1 \
  -o KRFinisher=FS100 -o KRStaple=TopLeft -o KRPunch=2Hole -o Duplex=DuplexNoTumble \
  -t "Quarterly report" "$root/examples/QuillSample.ps"

# The job goes through cupsd, CUPS' own filters and ours to the print server.
for _ in $(seq 1 300); do
  [ "$(ls "$QUILL_SANDBOX_RECEIVED" | wc -l)" -gt "$before" ] && break
  sleep 0.1
done
received=$(ls -t "$QUILL_SANDBOX_RECEIVED"/* 2>/dev/null | head -n 1)
if [ -z "$received" ] || [ "$(ls "$QUILL_SANDBOX_RECEIVED" | wc -l)" -le "$before" ]; then
  echo "the print server received nothing" >&2
  exit 1
fi
sleep 0.5  # the server writes the file as the job arrives
cp "$received" "$out/received.ps"

step "What the print server received ($(wc -c < "$out/received.ps") bytes): the injected pieces in order"
grep -n -a -E '^%%(KRTDriver|KRUTF8_Version|MacCoreNUp|Orientation|BeginSetup|EndSetup|Page:|BeginFeature|KRAccount|EndQuillPreparse)|KRT Begin Watermark|KRSecurePassword exch' \
  "$out/received.ps" | cut -c1-110
echo "(the PIN 2468 appears nowhere in the job: $(grep -a -c 2468 "$out/received.ps" || true) lines hold it)"

step "Ghostscript runs the job and renders its first page"
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r60 -dFirstPage=1 -dLastPage=1 \
  -sOutputFile="$out/page1.png" "$out/received.ps"
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r60 -dFirstPage=1 -dLastPage=1 \
  -sOutputFile="$out/page1.ppm" "$out/received.ps"
# The default watermark is light grey text; nothing else on the sample page is that colour.
python3 - "$out/page1.ppm" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
# P6 header: magic, width, height, maximum value, with "#" comments between them.
header = re.match(rb"P6(?:\s+|#[^\n]*\n)*(\d+)(?:\s+|#[^\n]*\n)*(\d+)(?:\s+|#[^\n]*\n)*(\d+)\s", data)
width, height = int(header.group(1)), int(header.group(2))
pixels = data[header.end():]
grey = sum(1 for i in range(0, len(pixels), 3)
           if 180 <= pixels[i] <= 200 and pixels[i] == pixels[i + 1] == pixels[i + 2])
print(f"page 1: {width}x{height} pixels, {grey} of them in the watermark's grey")
PY
rm -f "$out/page1.ppm"
echo "rendered to demo-output/page1.png; the job as received is demo-output/received.ps"
