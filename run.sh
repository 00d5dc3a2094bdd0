#!/usr/bin/env bash
# Builds if needed and runs the program.
#   ./run.sh --demo          lab game servers on loopback, queried and printed
#   ./run.sh HOST:PORT...    query servers (any scoutly-query option works)
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
scoutly_ensure_packages
scoutly_build >/dev/null
BIN=$SCOUTLY_BUILD/bin

if [ "${1:-}" != "--demo" ]; then
    exec "$BIN/scoutly-query" "$@"
fi
shift

# A farm of lab servers (two of them silent, three answering in several datagrams),
# queried through the same records the browser uses.
out=$(mktemp)
"$BIN/scoutly-lab" --servers 10 --silent 2 --split 3 --delay-ms 40 >"$out" &
lab=$!
trap 'kill $lab 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 100); do grep -q '^ready$' "$out" && break; sleep 0.05; done
grep -q '^ready$' "$out" || { echo "scoutly-lab did not start" >&2; exit 1; }
mapfile -t servers < <(awk '$1 == "game" { print $2 }' "$out")
echo "Querying ${#servers[@]} lab servers (silent ones take about 4 s)..."
"$BIN/scoutly-query" "$@" "${servers[@]}" || true
