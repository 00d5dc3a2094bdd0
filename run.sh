#!/usr/bin/env bash
# Builds if needed and runs the program.
#   ./run.sh --demo     the program against a lab master and 300 game servers on loopback
#   ./run.sh [OPTIONS]  the program (scoutly-lite --help lists the options)
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
scoutly_ensure_packages
log=$(mktemp)
if ! scoutly_build >"$log" 2>&1; then cat "$log" >&2; rm -f "$log"; exit 1; fi
rm -f "$log"
BIN=$SCOUTLY_BUILD/bin

if [ "${1:-}" != "--demo" ]; then
    exec "$BIN/scoutly-lite" "$@"
fi
shift

# A lab master listing 300 game servers on loopback (varied names, maps, players and pings,
# a few silent), and the program in a throwaway home pointed at it: press Refresh.
out=$(mktemp)
"$BIN/scoutly-lab" --master-port 0 --servers 300 --silent 6 --split 30 --delay-ms 400 >"$out" &
lab=$!
trap 'kill $lab 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 200); do grep -q '^ready$' "$out" && break; sleep 0.05; done
grep -q '^ready$' "$out" || { echo "scoutly-lab did not start" >&2; exit 1; }
master=$(awk '$1 == "master" { print $2 }' "$out")
echo "Lab master server at $master; press Refresh in the window."
"$BIN/scoutly-lite" --demo --master "$master" "$@"
