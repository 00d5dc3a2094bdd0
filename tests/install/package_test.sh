#!/usr/bin/env bash
# Builds the Debian package from the build tree with cpack, checks what it declares and
# carries, unpacks it into a throwaway root (dpkg -x) and runs the programs from there:
# --version, and an offscreen demo that starts its own lab (the scoutly-lab beside it).
#   package_test.sh BUILD_DIR   (CPACK: the cpack to use)
set -euo pipefail
build_dir=$1
cpack=${CPACK:-cpack}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G DEB" >&2
    exit 1
fi
debs=("$work"/out/scoutly-lite_*_amd64.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no scoutly-lite_<version>_amd64.deb: $(ls "$work/out")" >&2; exit 1; }
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "scoutly-lite_${version}_amd64.deb" ] || fail "$deb is not named by version $version"

# Depends is computed from what the programs link, so every library shows up by its package.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libqt6core6 libqt6widgets6 libqt6network6 libcurl4 libgif7 libjpeg62-turbo; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr
for file in bin/scoutly-lite bin/scoutly-lab bin/scoutly-query \
    share/applications/scoutly-lite.desktop share/icons/hicolor/128x128/apps/scoutly-lite.png \
    share/man/man1/scoutly-lite.1.gz share/man/man1/scoutly-query.1.gz \
    share/man/man1/scoutly-lab.1.gz share/metainfo/org.scoutly.scoutlylite.metainfo.xml \
    share/doc/scoutly-lite/copyright share/doc/scoutly-lite/changelog.gz \
    share/scoutly-lite/skins/default; do
    [ -e "$usr/$file" ] || fail "the package lacks /usr/$file"
done
grep -qx 'Exec=scoutly-lite --demo' "$usr/share/applications/scoutly-lite.desktop" ||
    fail "the menu entry has no demo action"
metainfo=$usr/share/metainfo/org.scoutly.scoutlylite.metainfo.xml
grep -q '<launchable type="desktop-id">scoutly-lite.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch scoutly-lite.desktop"
if command -v appstreamcli >/dev/null && ! appstreamcli validate --no-net "$metainfo" >"$work/as.log" 2>&1; then
    cat "$work/as.log" >&2
    fail "appstreamcli validate"
fi
if command -v lintian >/dev/null; then
    lintian "$deb" >"$work/lintian.log" 2>&1 || true
    ! grep '^E:' "$work/lintian.log" >&2 || fail "lintian reports errors"
fi

# --- The unpacked programs -----------------------------------------------------------------
unset SCOUTLY_DATA_DIR SCOUTLY_HOME
out=$(env -u DISPLAY -u QT_QPA_PLATFORM timeout 30 "$usr/bin/scoutly-lite" --version 2>&1) ||
    fail "scoutly-lite --version: $out"
[ "$out" = "scoutly-lite $version" ] || fail "scoutly-lite --version says \"$out\", the package $version"

# No scoutly-lab on PATH: the demo must find the one beside it, and stop it on its way out.
if ! env PATH=/usr/bin:/bin:/usr/sbin:/sbin QT_QPA_PLATFORM=offscreen timeout 90 \
    "$usr/bin/scoutly-lite" --demo --quit-after 2000 </dev/null >"$work/demo.out" 2>"$work/demo.err"; then
    cat "$work/demo.out" "$work/demo.err" >&2
    fail "the unpacked scoutly-lite --demo did not start and quit by itself"
fi
master=$(sed -n 's/^Lab master server at 127\.0\.0\.1:\([0-9]*\);.*/\1/p' "$work/demo.out")
if [ -z "$master" ]; then
    fail "the demo named no lab master: $(cat "$work/demo.out" "$work/demo.err")"
elif (exec 3<>"/dev/tcp/127.0.0.1/$master") 2>/dev/null; then
    fail "the demo's master on port $master outlived the program"
fi
! grep -q "the default skin is missing" "$work/demo.err" || fail "$(cat "$work/demo.err")"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "Packed and checked $(basename "$deb"): $(du -k "$deb" | cut -f1) KB, Depends: $depends"
