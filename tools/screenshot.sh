#!/usr/bin/env bash
# Pictures of the program after a demo refresh: the lab scoutly-lite --demo runs against (a
# master with 300 game servers, the lab's news, banners and ticker, and chat bots when ngircd
# is installed), the main window, the same narrowed by the filter bar to one player's servers,
# the splash, the tips window, every configuration tab and (with ngircd) the chat tab and
# channel list, as PNG files in DIR.
#   tools/screenshot.sh [DIR]      (default: build/shots)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
scoutly_ensure_packages
scoutly_build scoutly-shots scoutly-lab >/dev/null
DIR=${1:-$SCOUTLY_BUILD/shots}
mkdir -p "$DIR"
QT_QPA_PLATFORM=offscreen "$SCOUTLY_BUILD/bin/scoutly-shots" "$DIR" --demo
