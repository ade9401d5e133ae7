#!/usr/bin/env bash
# `vantorel --headless` as a service manager meets it, on this machine (with or without USB
# handsets): its command line is checked before anything starts, it serves the live page
# while it waits for handsets, and SIGTERM ends it cleanly with status 0.
#   headless_station_test.sh VANTOREL MAKE_IMAGES
set -euo pipefail
vantorel=$1
make_images=$2

scratch=$(mktemp -d)
station_pid=
cleanup() {
  if [ -n "$station_pid" ]; then kill -KILL "$station_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The host's modem manager is not the test's to stop.
export VANTOREL_KEEP_SERVICES=1
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "FAIL: $*" >&2; exit 1; }

"$make_images" --out "$scratch/images" >/dev/null

status=0
"$vantorel" --headless >"$scratch/none.txt" 2>&1 || status=$?
[ "$status" = 2 ] && grep -q -- "--headless needs the images" "$scratch/none.txt" ||
  fail "--headless without images: status $status, $(cat "$scratch/none.txt")"
status=0
"$vantorel" --eboot "$scratch/images/eboot.eb0" >"$scratch/window.txt" 2>&1 || status=$?
[ "$status" = 2 ] && grep -q "go with --headless" "$scratch/window.txt" ||
  fail "an image option for the window: status $status, $(cat "$scratch/window.txt")"
status=0
"$vantorel" --headless --eboot "$scratch/images/eboot.eb0" --http 127.0.0.1:99999 \
  >"$scratch/port.txt" 2>&1 || status=$?
[ "$status" = 2 ] || fail "a bad port: status $status"

"$vantorel" --headless --eboot "$scratch/images/eboot.eb0" --pda "$scratch/images/pda.nb0" \
  --records "$scratch/records" --http :0 >"$scratch/station.txt" 2>&1 &
station_pid=$!
base=
for _ in $(seq 1 300); do
  base=$(sed -n 's|.*live page and API: \(http://[^ ]*\)/$|\1|p' "$scratch/station.txt")
  [ -n "$base" ] && grep -q "detecting" "$scratch/station.txt" && break
  kill -0 "$station_pid" 2>/dev/null || fail "the station ended: $(cat "$scratch/station.txt")"
  sleep 0.1
done
[ -n "$base" ] || fail "the station never said where it serves: $(cat "$scratch/station.txt")"
slots=$(curl -sf "$base/api/v1/slots") || fail "GET /api/v1/slots"
[ "$(jq '[.slots[] | select(.state == "waiting")] | length' <<<"$slots")" = 8 ] ||
  fail "eight waiting slots expected: $slots"

kill -TERM "$station_pid"
status=0
wait "$station_pid" || status=$?
station_pid=
[ "$status" = 0 ] || fail "SIGTERM: status $status, $(cat "$scratch/station.txt")"
grep -q "vantorel: stopped" "$scratch/station.txt" || fail "no clean stop: $(cat "$scratch/station.txt")"
echo "vantorel --headless armed, served and stopped on SIGTERM"
