#!/usr/bin/env bash
# Pictures of the program after a demo refresh: a lab master with 300 game servers (and the
# lab's news, banners and ticker), the main window, the splash, the tips window, every
# configuration tab and (with ngircd) the chat tab and channel list, as PNG files in DIR.
#   tools/screenshot.sh [DIR]      (default: build/shots)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
scoutly_ensure_packages
scoutly_build >/dev/null
BIN=$SCOUTLY_BUILD/bin
DIR=${1:-$SCOUTLY_BUILD/shots}
mkdir -p "$DIR"

source "$SCOUTLY_ROOT/scripts/demo.sh"
scoutly_demo_peers
chat=()
if [ -n "$ircport" ]; then chat=(--chat "127.0.0.1:$ircport"); fi
QT_QPA_PLATFORM=offscreen "$BIN/scoutly-shots" "$DIR" --master "$master" --motd "$motd" \
    --web "$web" "${chat[@]}"
