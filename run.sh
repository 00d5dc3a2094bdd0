#!/usr/bin/env bash
# Builds the program if needed and runs it; installs (as root) only what building and running
# need, and as anyone else names the one apt-get line for what is missing.
#   ./run.sh --demo     the program against its own lab on loopback: a master with 300 game
#                       servers, news, banners and ticker, and chat bots on a private IRC
#                       server when ngircd is installed (scoutly-lite --demo does it all)
#   ./run.sh [OPTIONS]  the program (scoutly-lite --help lists the options)
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
scoutly_ensure_packages
log=$(mktemp)
if ! scoutly_build scoutly-lite scoutly-lab >"$log" 2>&1; then cat "$log" >&2; rm -f "$log"; exit 1; fi
rm -f "$log"
exec "$SCOUTLY_BUILD/bin/scoutly-lite" "$@"
