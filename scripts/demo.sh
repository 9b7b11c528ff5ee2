#!/usr/bin/env bash
# Installs what is needed, builds, shows the bundled sample PPD's header and a constraint question,
# then prints the bundled sample document through a private CUPS server and a stand-in print server
# (scripts/demo-print.sh; the machine's own CUPS is not touched) and shows what the server received.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build -DQUILL_WERROR=ON
sample="$root/examples/QuillSample.ppd"
quill="$root/build/apps/quill/quill"
"$quill" header "$sample" --names QUILLS01.PPD
echo
"$quill" check "$sample" --set '*PageSize=SRA3' '*Duplex=DuplexTumble' '*Duplex=None'
"$root/build/apps/sandbox/quill-sandbox" bash "$root/scripts/demo-print.sh"
