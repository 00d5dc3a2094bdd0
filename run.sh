#!/usr/bin/env bash
# Builds if needed and runs the program.
#   ./run.sh --demo     the program against a lab master and 300 game servers on loopback,
#                       lab news, banners and ticker, and a private IRC server with chat
#                       bots when ngircd is installed
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

source "$SCOUTLY_ROOT/scripts/demo.sh"
scoutly_demo_peers
chat=()
if [ -n "$ircport" ]; then chat=(--chat "127.0.0.1:$ircport"); fi
echo "Lab master server at $master; press Refresh in the window."
echo "News from $motd, banners and ticker from $web."
if [ -n "$ircport" ]; then echo "IRC server at 127.0.0.1:$ircport, bots in #morrow."; fi
"$BIN/scoutly-lite" --demo --master "$master" --motd "$motd" --web "$web" "${chat[@]}" "$@"
