#!/usr/bin/env bash
# Pictures of the program after a demo refresh: a lab master with 300 game servers, the main
# window, the splash, the tips window and every configuration tab, as PNG files in DIR.
#   tools/screenshot.sh [DIR]      (default: build/shots)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
scoutly_ensure_packages
scoutly_build >/dev/null
BIN=$SCOUTLY_BUILD/bin
DIR=${1:-$SCOUTLY_BUILD/shots}
mkdir -p "$DIR"

out=$(mktemp)
"$BIN/scoutly-lab" --master-port 0 --servers 300 --silent 6 --split 30 --delay-ms 400 >"$out" &
lab=$!
trap 'kill $lab 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 200); do grep -q '^ready$' "$out" && break; sleep 0.05; done
master=$(awk '$1 == "master" { print $2 }' "$out")
[ -n "$master" ] || { echo "scoutly-lab did not start" >&2; exit 1; }
QT_QPA_PLATFORM=offscreen "$BIN/scoutly-shots" "$DIR" --master "$master"
