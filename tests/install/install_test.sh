#!/usr/bin/env bash
# Installs the build into a throwaway prefix and checks what a package would ship: the three
# programs, the data scoutly-lite reads, the desktop entry with its icons, the manual pages. Then
# runs the installed scoutly-lite offscreen and checks it takes its skins from that prefix.
#   install_test.sh SOURCE_DIR BUILD_DIR BUILD_TREE_SCOUTLY_LITE   (CMAKE: the cmake to use)
set -euo pipefail
source_dir=$1
build_dir=$2
build_tree_program=$3
cmake=${CMAKE:-cmake}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! "$cmake" --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install $build_dir" >&2
    exit 1
fi

# --- The installed files -------------------------------------------------------------------
for program in scoutly-lite scoutly-query scoutly-lab; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
data=$prefix/share/scoutly-lite
[ -f "$data/splash.png" ] || fail "share/scoutly-lite/splash.png is not installed"
# Every shipped skin and icon file, compared with the source tree, so a new one cannot be left
# behind by the install rules.
diff -r "$source_dir/assets/skins" "$data/skins" >&2 ||
    fail "share/scoutly-lite/skins differs from assets/skins"
diff -r "$source_dir/assets/icons/hicolor" "$data/icons/hicolor" >&2 ||
    fail "share/scoutly-lite/icons differs from assets/icons"
diff -r "$source_dir/assets/icons/hicolor" "$prefix/share/icons/hicolor" >&2 ||
    fail "share/icons/hicolor differs from assets/icons/hicolor"

# Desktops pick an icon by its folder's size: the picture must really be that size.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
icons=0
for icon in "$prefix"/share/icons/hicolor/*/apps/scoutly-lite.png; do
    [ -f "$icon" ] || continue
    icons=$((icons + 1))
    folder=$(basename "$(dirname "$(dirname "$icon")")")
    [ "$(png_size "$icon")" = "$folder" ] || fail "$icon is $(png_size "$icon"), not $folder"
done
[ "$icons" -gt 0 ] || fail "no share/icons/hicolor/*/apps/scoutly-lite.png"
[ -f "$prefix/share/icons/hicolor/128x128/apps/scoutly-lite.png" ] || fail "no 128x128 icon"

desktop=$prefix/share/applications/scoutly-lite.desktop
if [ -f "$desktop" ]; then
    # The entry and its actions must start the installed program and name the installed icon.
    exec_names=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    for exec_name in ${exec_names:-?}; do
        [ -f "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not in bin/"
    done
    [ -f "$prefix/share/icons/hicolor/128x128/apps/${icon_name:-?}.png" ] ||
        fail "Icon=$icon_name has no icon in share/icons/hicolor"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" >"$work/validate.log" 2>&1 ||
            { cat "$work/validate.log" >&2; fail "desktop-file-validate"; }
    fi
else
    fail "share/applications/scoutly-lite.desktop is not installed"
fi

for program in scoutly-query scoutly-lite; do
    manual=$prefix/share/man/man1/$program.1
    if [ ! -f "$manual" ]; then
        fail "share/man/man1/$program.1 is not installed"
        continue
    fi
    if command -v groff >/dev/null; then
        warnings=$(groff -man -ww -z "$manual" 2>&1)
        [ -z "$warnings" ] || fail "$program.1: $warnings"
    fi
    # Every option --help lists is described in the manual page.
    options=$(env -u DISPLAY "$prefix/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "$program --help lists no options"
    for option in $options; do
        grep -qF -- "${option//-/\\-}" "$manual" || fail "$program.1 does not describe $option"
    done
done

# --- The installed scoutly-lite ------------------------------------------------------------
# Nothing from the caller's environment may point it elsewhere.
unset SCOUTLY_DATA_DIR SCOUTLY_HOME

# --help and --version print without a display to connect to.
for platform in unset offscreen; do
    if [ "$platform" = unset ]; then
        platform_env=(-u QT_QPA_PLATFORM)
    else
        platform_env=(QT_QPA_PLATFORM="$platform")
    fi
    for option in --help --version; do
        if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY "${platform_env[@]}" \
            timeout 30 "$prefix/bin/scoutly-lite" "$option" 2>&1); then
            fail "scoutly-lite $option (QT_QPA_PLATFORM $platform) failed: $out"
            continue
        fi
        case $option in
        --help)
            for documented in --home --master --demo; do
                grep -q -- "$documented" <<<"$out" || fail "scoutly-lite --help lacks $documented"
            done
            ! grep -q -- --quit-after <<<"$out" || fail "scoutly-lite --help shows --quit-after"
            ;;
        --version) grep -q '^scoutly-lite [0-9]' <<<"$out" || fail "scoutly-lite --version: $out" ;;
        esac
    done
done

# Runs PROGRAM offscreen in a fresh home with the demo's stand-in game folder, so no dialog
# waits; it must end by itself. Its standard error lands in $work/stderr.
run_program() {
    local home
    home=$(mktemp -d "$work/home.XXXX")
    if ! QT_QPA_PLATFORM=offscreen timeout 60 "$1" --home "$home" --demo --quit-after 1000 \
        </dev/null >/dev/null 2>"$work/stderr"; then
        cat "$work/stderr" >&2
        fail "$1 did not start and quit by itself"
        return 1
    fi
}
missing="the default skin is missing"

if run_program "$prefix/bin/scoutly-lite" && grep -q "$missing" "$work/stderr"; then
    fail "installed scoutly-lite does not find its skins: $(cat "$work/stderr")"
fi
# Without the installed skins it must say so and name the prefix: the source tree's skins,
# which a run from the build tree uses, must not stand in for a broken install.
mv "$data/skins" "$work/skins-aside"
if run_program "$prefix/bin/scoutly-lite" &&
    ! grep -qF "$missing from $data/skins" "$work/stderr"; then
    fail "installed scoutly-lite without skins did not report $data/skins: $(cat "$work/stderr")"
fi
mv "$work/skins-aside" "$data/skins"

# The build tree's program still finds the source tree's skins.
if run_program "$build_tree_program" && grep -q "$missing" "$work/stderr"; then
    fail "build-tree scoutly-lite does not find assets/skins: $(cat "$work/stderr")"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "Installed and checked: $(cd "$prefix" && find . -type f | wc -l) files under $prefix"
