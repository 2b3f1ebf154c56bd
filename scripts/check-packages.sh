#!/usr/bin/env bash
# Checks what a user installs, from a finished build folder: the LV2 bundle
# validates and lilv lists it with its ports; `cmake --install` and the Debian
# package put the three plug-ins where hosts look for them and the render tool
# with its manual page on the path; Debian's checker accepts the package.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
bundle=$build/plugin/lv2/Polyquinta.lv2
uri=urn:brasklab:polyquinta
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

vst3=vst3/Polyquinta.vst3/Contents/x86_64-linux/Polyquinta.so

expect_files() {
    local root=$1
    for f in vst/Polyquinta.so $vst3 lv2/Polyquinta.lv2/Polyquinta.so lv2/Polyquinta.lv2/manifest.ttl lv2/Polyquinta.lv2/Polyquinta.ttl; do
        [ -f "$root/$f" ] || { echo "missing: $root/$f"; exit 1; }
    done
    # Only the plug-ins' entry points are visible.
    [ "$(nm -D --defined-only "$root/vst/Polyquinta.so" | awk '{print $3}')" = VSTPluginMain ]
    [ "$(nm -D --defined-only "$root/$vst3" | awk '{print $3}' | tr '\n' ' ')" = "GetPluginFactory ModuleEntry ModuleExit " ]
    [ "$(nm -D --defined-only "$root/lv2/Polyquinta.lv2/Polyquinta.so" | awk '{print $3}' | tr '\n' ' ')" = "lv2_descriptor lv2ui_descriptor " ]
}

echo "-- lv2_validate"
lv2_validate "$bundle"/*.ttl

echo "-- lv2info"
# Our bundle beside the LV2 standard's own bundles alone: other plug-ins' bundles
# may describe the same classes again (x42's relabels lv2:MIDIPlugin).
mkdir -p "$scratch/lv2"
ln -s "$bundle" "$scratch/lv2/"
for standard in $(dpkg -L lv2-dev | grep -E '^/usr/lib/lv2/[^/]+\.lv2$'); do ln -s "$standard" "$scratch/lv2/"; done
info=$(LV2_PATH=$scratch/lv2 lv2info "$uri")
for symbol in midi_in midi_out in_1 in_2 out_1 out_2 enabled; do
    grep -q "Symbol: *$symbol\$" <<<"$info" || { echo "lv2info lists no port $symbol"; exit 1; }
done
grep -q "Class: *MIDI Plugin" <<<"$info"

echo "-- cmake --install"
cmake --install "$build" --prefix "$scratch/prefix" --strip >/dev/null
expect_files "$scratch/prefix/lib"

echo "-- Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/polyquinta_*_amd64.deb)
dpkg-deb -f "$deb" Depends | grep -q libx11-6
dpkg -x "$deb" "$scratch/root"
expect_files "$scratch/root/usr/lib"
grep -q "^License: GPL-3+" "$scratch/root/usr/share/doc/polyquinta/copyright"
[ -z "$(find "$scratch/root" -type f -not -path "$scratch/root/usr/lib/vst/*" -not -path "$scratch/root/usr/lib/vst3/*" \
          -not -path "$scratch/root/usr/lib/lv2/*" -not -path "$scratch/root/usr/share/doc/polyquinta/*" \
          -not -path "$scratch/root/usr/bin/polyquinta-render" -not -path "$scratch/root/usr/share/man/man1/polyquinta-render.1.gz")" ] \
    || { echo "the package installs files outside /usr/lib/vst, /usr/lib/vst3, /usr/lib/lv2, the render tool, its manual page and its documents"; exit 1; }
LV2_PATH=$scratch/root/usr/lib/lv2 lv2ls | grep -qx "$uri"

# The packaged render tool plays the packaged plug-in, and its manual page
# lists exactly the options its --help lists.
render=$scratch/root/usr/bin/polyquinta-render
"$render" resources/demo/demo.mid "$scratch/demo-out.mid" --no-progress >/dev/null
[ -s "$scratch/demo-out.mid" ] || { echo "the packaged render tool wrote nothing"; exit 1; }
help_options=$("$render" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p')
man_options=$(zcat "$scratch/root/usr/share/man/man1/polyquinta-render.1.gz" | sed -n 's/^\.BI\{0,1\} "\{0,1\}\(\\-\\-[a-z\\-]*\).*/\1/p' | sed 's/\\-/-/g')
[ -n "$help_options" ] && [ "$help_options" = "$man_options" ] \
    || { echo "the manual page's options are not --help's:"; diff <(echo "$help_options") <(echo "$man_options"); exit 1; }

echo "-- lintian"
# No error and no warning; the informational tags the README explains are all
# that may remain, so that any new tag fails.
known='binary-has-unneeded-section|hardening-no-fortify-functions|spelling-error-in-binary'
tags=$(lintian --allow-root --tag-display-limit 0 -I "$deb" 2>&1 || true)
unexpected=$(grep -vE "^I: polyquinta: ($known) " <<<"$tags" || true)
[ -z "$unexpected" ] || { echo "lintian reports:"; echo "$unexpected"; exit 1; }
echo "packages: $(basename "$deb") installs /usr/lib/vst/Polyquinta.so, /usr/lib/vst3/Polyquinta.vst3, /usr/lib/lv2/Polyquinta.lv2 and /usr/bin/polyquinta-render; lintian accepts it"
