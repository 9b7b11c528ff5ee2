#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the benchmarks need.
# Safe to run more than once: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcups2-dev cups-daemon
  # The private CUPS server of the spooler tests: CUPS' own filters (pstops), the administration
  # clients, ippeveprinter as the print server with the D-Bus and DNS-SD daemons it needs, and
  # Ghostscript to check what the server received.
  cups cups-client cups-ipp-utils dbus avahi-daemon ghostscript
  libgcrypt20-dev zlib1g-dev libplist-dev
  libcli11-dev nlohmann-json3-dev
  # The device-management XML reader.
  libpugixml-dev
  # The panel's browser of print servers on the network.
  libavahi-client-dev
  # scripts/screenshots.sh announces the stand-in print server on loopback through D-Bus.
  python3-dbus
  # Third-party PPDs that the real-PPD test parses (tests/realppd); cups-filters also converts PDF
  # jobs to PostScript for the printing tests (pdftopdf, pdftops; tests/print_cups).
  printer-driver-postscript-hp cups-filters
  # A comma-decimal locale for the parser's locale test; whole-process benchmarks (bench/).
  locales hyperfine time
  # The desktop print dialog (apps/quill-panel) on Qt 6 Widgets; its screenshots run under Xvfb
  # with a font for the offscreen and virtual screens.
  qt6-base-dev xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The parser's locale test reads numbers under a comma-decimal locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
