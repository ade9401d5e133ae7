#!/usr/bin/env bash
# The live page and API as a user meets them, against the bench running a batch: a first
# batch leaves its records, a second one runs slowly with --http while curl reads the API and
# Debian's headless chromium loads the page mid-batch. The page's slots must show the
# station's captions, colours and texts. A screenshot of the page is kept as an artifact.
#   live_page_test.sh BENCH ARTIFACT_DIR
set -euo pipefail
bench=$1
artifacts=$2
mkdir -p "$artifacts"

scratch=$(mktemp -d)
bench_pid=
cleanup() {
  if [ -n "$bench_pid" ]; then kill "$bench_pid" 2>/dev/null || true; wait "$bench_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_STATE_HOME=$scratch/state
export XDG_DATA_HOME=$scratch/data XDG_CACHE_HOME=$scratch/cache XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
records=$scratch/records

fail() { echo "FAIL: $*" >&2; exit 1; }

# A finished batch first: its eight report lines are what /api/v1/handsets pages through.
"$bench" --headless --handsets 8 --records "$records" >"$scratch/first.txt" 2>&1 ||
  fail "the first batch did not pass: $(tail -n 5 "$scratch/first.txt")"

# The second batch at protocol speed lasts minutes: every check below sees it mid-run.
"$bench" --headless --handsets 8 --time-scale 1 --records "$records" --http 127.0.0.1:0 \
  >"$scratch/bench.txt" 2>&1 &
bench_pid=$!
base=
for _ in $(seq 1 300); do
  base=$(sed -n 's|.*live page and API: \(http://[^ ]*\)/$|\1|p' "$scratch/bench.txt")
  [ -n "$base" ] && break
  kill -0 "$bench_pid" 2>/dev/null || fail "the bench ended: $(cat "$scratch/bench.txt")"
  sleep 0.1
done
[ -n "$base" ] || fail "the bench never said where it serves"

# Mid-batch: all eight slots downloading.
slots=
for _ in $(seq 1 600); do
  slots=$(curl -sf "$base/api/v1/slots") || fail "GET /api/v1/slots failed"
  [ "$(jq '[.slots[] | select(.state == "downloading")] | length' <<<"$slots")" = 8 ] && break
  sleep 0.1
done
[ "$(jq '.slots | length' <<<"$slots")" = 8 ] || fail "not eight slots: $slots"
[ "$(jq '[.slots[] | select(.state == "downloading")] | length' <<<"$slots")" = 8 ] ||
  fail "the eight slots never all downloaded: $slots"
jq -e '[.slots[] | select(.port | test("^1-[1-8]$"))] | length == 8' <<<"$slots" >/dev/null ||
  fail "a slot without its port: $slots"
jq -e '.counts.detected == 8' <<<"$slots" >/dev/null || fail "counts: $slots"

handsets=$(curl -sf "$base/api/v1/handsets?limit=5")
[ "$(jq '.handsets | length' <<<"$handsets")" = 5 ] || fail "handsets page: $handsets"
[ "$(jq -r '.handsets[0].result' <<<"$handsets")" = done ] || fail "handsets: $handsets"
next=$(jq -r '.next.before' <<<"$handsets")
rest=$(curl -sf "$base/api/v1/handsets?limit=5&before=$next")
[ "$(jq '.handsets | length' <<<"$rest")" = 3 ] || fail "second page: $rest"
batches=$(curl -sf "$base/api/v1/batches")
jq -e '.batches | length == 2 and .[0].summary == null and .[1].summary.done == 8' \
  <<<"$batches" >/dev/null || fail "batches: $batches"
status=$(curl -s -o /dev/null -w '%{http_code}' -X POST "$base/api/v1/slots")
[ "$status" = 405 ] || fail "POST answered $status"

# The page in a real browser, mid-batch.
browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-extensions
  --user-data-dir="$scratch/chromium")
timeout 120 "${browser[@]}" --dump-dom "$base/" >"$scratch/dom.html" 2>"$scratch/chromium.txt" ||
  fail "chromium could not load the page: $(tail -n 5 "$scratch/chromium.txt")"
after=$(curl -sf "$base/api/v1/slots")
python_free_check() {
  # Each slot's element, its caption, its label's colour and its bar's text, one per line.
  grep -o '<div class="slot" id="slot-[1-8]"[^>]*>.*' "$scratch/dom.html" |
    sed 's|<div class="slot" id="slot-|\n&|g' | grep -o 'id="slot-[1-8]".*' || true
}
[ "$(grep -o 'class="slot" id="slot-[1-8]"' "$scratch/dom.html" | sort -u | wc -l)" = 8 ] ||
  fail "the page shows no eight slots: $(head -c 2000 "$scratch/dom.html")"
for n in 1 2 3 4 5 6 7 8; do
  slot=$(python_free_check | grep "id=\"slot-$n\"" | head -n 1)
  label=$(grep -o '<div class="label"[^>]*>[^<]*' <<<"$slot" | head -n 1)
  caption=${label##*>}
  # The caption and colour now or a moment ago: a slot may move on while the page loads.
  expected=$(jq -r --argjson n "$n" '.slots[$n - 1] | "\(.caption) \(.background)"' \
    <<<"$slots"$'\n'"$after")
  colour=$(grep -o 'background-color: rgb([0-9, ]*)' <<<"$label" | head -n 1)
  hex=$(sed 's/background-color: rgb(\([0-9]*\), \([0-9]*\), \([0-9]*\))/\1 \2 \3/' <<<"$colour" |
    xargs printf '#%02x%02x%02x')
  grep -qxF "$caption $hex" <<<"$expected" ||
    fail "slot $n shows '$caption' on '$hex', the station '$expected'"
  text=$(grep -o '<span class="text">[^<]*' <<<"$slot" | head -n 1)
  text=${text#*>}
  case "$text" in
    "Downloading "* | "Writing "* | "Calculating checksum ..." | "Try downloading again" | \
      "Waiting for booting process...." | "Ready to download..." | "Job Done."*) ;;
    *) fail "slot $n's bar shows '$text'" ;;
  esac
done
grep -q 'Currently 8 device(s) detected.' "$scratch/dom.html" || fail "the page shows no counts"
[ "$(grep -o '<td class="done">done</td>' "$scratch/dom.html" | wc -l)" -ge 8 ] ||
  fail "the page lists no last handsets"

timeout 120 "${browser[@]}" --window-size=1280,900 --screenshot="$artifacts/live-page.png" \
  "$base/" >/dev/null 2>&1 || fail "no screenshot"
[ -s "$artifacts/live-page.png" ] || fail "the screenshot is empty"
echo "live page checked mid-batch; screenshot: $artifacts/live-page.png"
