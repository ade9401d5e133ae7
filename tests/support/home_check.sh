#!/usr/bin/env bash
# The check that the test suite leaves the real home as it found it. ctest runs
# `home_check.sh snapshot LISTING` before every test (a fixture's set-up) and
# `home_check.sh compare LISTING` after them all; compare fails naming every file or folder
# under $HOME that appeared, changed or went in between.
#
# Watched: every file and folder under $HOME except the hidden top-level folders of other
# tools (package managers, toolchains, editors), which change under a running suite without
# any test's doing; the XDG folders .config, .local and .cache are watched, less ccache's
# cache (the build may share it). Folders given after LISTING are left out too (a source or
# build tree that lies under $HOME).
set -euo pipefail

mode=${1:-}
listing=${2:-}
if [ -z "$listing" ] || { [ "$mode" != snapshot ] && [ "$mode" != compare ]; }; then
  echo "usage: home_check.sh snapshot|compare LISTING [SKIPPED_FOLDER...]" >&2
  exit 2
fi
shift 2
home=${HOME:?HOME is not set}
root=$(realpath "$home")

list_home() {
  local prune=()
  for skipped in "${CCACHE_DIR:-$home/.cache/ccache}" "$@"; do
    prune+=(-path "$(realpath -m "$skipped")" -o)
  done
  # Hidden top-level folders other than the XDG ones.
  prune+=(\( -path "$root/.*" ! -path "$root/.*/*" -type d
    ! -name .config ! -name .local ! -name .cache \))
  find "$root" -mindepth 1 \( "${prune[@]}" \) -prune -o \
    -printf '%y %T@ %s %p\n' 2>/dev/null | LC_ALL=C sort -k4
}

if [ "$mode" = snapshot ]; then
  mkdir -p "$(dirname "$listing")"
  list_home "$@" >"$listing"
  echo "home check: $(wc -l <"$listing") entries under $home noted"
  exit 0
fi

[ -f "$listing" ] || { echo "home check: no snapshot at $listing"; exit 1; }
now=$(mktemp)
trap 'rm -f "$now"' EXIT
list_home "$@" >"$now"
changes=$(diff "$listing" "$now" | sed -n 's/^</  before:/p; s/^>/  after: /p' || true)
if [ -n "$changes" ]; then
  echo "home check: FAIL: the tests wrote under $home:"
  echo "$changes"
  exit 1
fi
echo "home check: $home is as the suite found it ($(wc -l <"$now") entries)"
