#!/usr/bin/env bash
# Checks what a user installs, from a finished build folder: the LV2 bundle
# validates and lilv lists it with its ports; `cmake --install` and the Debian
# package put the three plug-ins where hosts look for them.
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
info=$(LV2_PATH=$(dirname "$bundle"):/usr/lib/lv2 lv2info "$uri")
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
          -not -path "$scratch/root/usr/lib/lv2/*" -not -path "$scratch/root/usr/share/doc/polyquinta/*")" ] \
    || { echo "the package installs files outside /usr/lib/vst, /usr/lib/vst3, /usr/lib/lv2 and its copyright"; exit 1; }
LV2_PATH=$scratch/root/usr/lib/lv2 lv2ls | grep -qx "$uri"
echo "packages: $(basename "$deb") installs /usr/lib/vst/Polyquinta.so, /usr/lib/vst3/Polyquinta.vst3 and /usr/lib/lv2/Polyquinta.lv2"
