#!/usr/bin/env bash
# Installs what is needed, builds, and runs the quill command on the bundled sample PPD: its header,
# its option tree and a constraint question, then the spooler channel through a private CUPS server
# and a stand-in print server (scripts/demo-spooler.sh; the machine's own CUPS is not touched).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DQUILL_WERROR=ON
sample="$root/examples/QuillSample.ppd"
quill="$root/build/apps/quill/quill"
"$quill" header "$sample" --names QUILLS01.PPD
echo
"$quill" tree "$sample"
echo
"$quill" check "$sample" --set '*PageSize=SRA3' '*Duplex=DuplexTumble' '*Duplex=None'
"$root/build/apps/sandbox/quill-sandbox" bash "$root/scripts/demo-spooler.sh"
