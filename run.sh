#!/usr/bin/env bash
# Builds if needed and runs the program.
#   ./run.sh --demo          a lab master and game servers on loopback, refreshed and printed
#   ./run.sh HOST:PORT...    query servers (any scoutly-query option works)
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
scoutly_ensure_packages
log=$(mktemp)
if ! scoutly_build >"$log" 2>&1; then cat "$log" >&2; rm -f "$log"; exit 1; fi
rm -f "$log"
BIN=$SCOUTLY_BUILD/bin

if [ "${1:-}" != "--demo" ]; then
    exec "$BIN/scoutly-query" "$@"
fi
shift

# A lab master server listing a farm of game servers (two of them silent, three answering in
# several datagrams), refreshed through the same engine the browser uses.
out=$(mktemp)
"$BIN/scoutly-lab" --master-port 0 --servers 12 --silent 2 --split 3 --delay-ms 40 >"$out" &
lab=$!
trap 'kill $lab 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 100); do grep -q '^ready$' "$out" && break; sleep 0.05; done
grep -q '^ready$' "$out" || { echo "scoutly-lab did not start" >&2; exit 1; }
master=$(awk '$1 == "master" { print $2 }' "$out")
echo "Refreshing the server list of the lab master at $master (silent servers take about 4 s)..."
"$BIN/scoutly-query" --master "$master" --game morrow "$@" || true
