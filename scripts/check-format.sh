#!/usr/bin/env bash
# Fails, naming the files, when a C++ source differs from what .clang-format makes of it.
# Fix them with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests lab bench fuzz tools \( -name '*.cpp' -o -name '*.h' \) | sort)
if report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    echo "clang-format: ${#files[@]} files formatted"
    exit 0
fi
names=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: (error|warning):' <<<"$report" | cut -d: -f1 | sort -u || true)
if [ -z "$names" ]; then
    echo "$report" >&2
else
    echo "clang-format: these files need clang-format -i:" >&2
    sed 's/^/  /' <<<"$names" >&2
fi
exit 1
