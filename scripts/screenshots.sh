#!/usr/bin/env bash
# Pictures of the desktop dialog for the README, taken on the demonstration's sample queue: starts
# a private CUPS server and the stand-in print server (quill-sandbox; the machine's own CUPS is not
# touched), adds the sample queue, announces the stand-in server on the loopback interface only
# (so that the browse window has something to list and nothing leaves the machine), and runs
# quill-panel under a virtual X server with --screenshot, which saves the PNGs itself. Everything
# it started is stopped again.
#
#   scripts/screenshots.sh [OUTPUT_DIR]     (default docs/screenshots)
#
# QUILL_BUILD_DIR names the build folder (default build). Needs xvfb and python3-dbus
# (scripts/install-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILL_BUILD_DIR:-$root/build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
out=${1:-$root/docs/screenshots}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

# First run: start the sandbox around this same script.
if [ -z "${QUILL_SANDBOX_PRINT_URI:-}" ]; then
  exec "$build/apps/sandbox/quill-sandbox" bash "$0" "$out"
fi

quill="$build/apps/quill/quill"
panel="$build/apps/quill-panel/quill-panel"
queue=QuillDemo
work=$(mktemp -d)
advertiser=""
cleanup() {
  if [ -n "$advertiser" ]; then
    kill "$advertiser" 2>/dev/null || true
    wait "$advertiser" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# The user's saved settings go to a folder of the script's own.
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

"$quill" queue add "$queue" --ppd "$root/examples/QuillSample.ppd" --uri "$QUILL_SANDBOX_PRINT_URI"

# The stand-in print server does not announce itself; this announces it on the loopback interface
# through the Avahi daemon the sandbox runs, for as long as the advertiser lives.
port=$(sed -E 's|^[a-z]+://[^:/]+:([0-9]+)/.*|\1|' <<<"$QUILL_SANDBOX_PRINT_URI")
/usr/bin/python3 - "$port" >"$work/advertiser.out" 2>&1 <<'PY' &
import signal, socket, sys, time
import dbus

port = int(sys.argv[1])
bus = dbus.SystemBus()
server = dbus.Interface(bus.get_object("org.freedesktop.Avahi", "/"), "org.freedesktop.Avahi.Server")
group = dbus.Interface(bus.get_object("org.freedesktop.Avahi", server.EntryGroupNew()),
                       "org.freedesktop.Avahi.EntryGroup")
loopback = socket.if_nametoindex("lo")
INET, UNSPEC, NO_REVERSE = 0, -1, 16
for host, address in (("quill-demo-server.local", "127.0.0.1"),
                      ("quill-annex-server.local", "127.0.0.2")):
    group.AddAddress(loopback, INET, dbus.UInt32(NO_REVERSE), host, address)
for name, host in (("Quill Test Server", "quill-demo-server.local"),
                   ("Quill Annex Server", "quill-annex-server.local")):
    group.AddService(loopback, UNSPEC, dbus.UInt32(0), name, "_ipp._tcp", "", host,
                     dbus.UInt16(port), dbus.Array([b"rp=ipp/print"], signature="ay"))
group.Commit()
for _ in range(200):
    if group.GetState() == 2:  # established
        break
    time.sleep(0.05)
print("announced", flush=True)
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
while True:
    time.sleep(1)
PY
advertiser=$!
for _ in $(seq 1 100); do
  grep -q announced "$work/advertiser.out" 2>/dev/null && break
  if ! kill -0 "$advertiser" 2>/dev/null; then
    echo "screenshots: the print server could not be announced:" >&2
    cat "$work/advertiser.out" >&2
    exit 1
  fi
  sleep 0.1
done

mkdir -p "$out"
# A fixed light palette and font size, so that the pictures do not depend on the caller's desktop.
export QT_QPA_PLATFORMTHEME="" QT_SCALE_FACTOR=1
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  "$panel" -d "$queue" --screenshot "$out" "$root/examples/QuillSample.ps"
ls -l "$out"/*.png
