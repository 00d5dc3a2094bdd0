#!/usr/bin/env bash
# Installs what the build and the tests need, builds, and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"
scoutly_ensure_packages "${SCOUTLY_RUN_PACKAGES[@]}" "${SCOUTLY_TEST_PACKAGES[@]}"
scoutly_build
cd "$SCOUTLY_BUILD"
ctest --output-on-failure "$@"
