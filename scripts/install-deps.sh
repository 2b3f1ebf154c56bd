#!/usr/bin/env bash
# Installs every Debian package that building and testing Polyquinta needs,
# for Linux and for the Windows cross-build, and enables Debian's source
# packages (the Windows build compiles libpng and libjpeg from them).
# Safe to run again: what is already present is left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  juce-modules-source
  libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
  libfreetype-dev libfontconfig1-dev libasound2-dev
  libpng-dev libjpeg-dev zlib1g-dev
  fonts-dejavu-core fonts-dancingscript xvfb xauth
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev clang-format
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev wine64
  lv2-dev liblilv-dev lilv-utils sordi
  lintian
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

update=no
if ! grep -rqs '^\(Types: *deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "install-deps: enabling Debian's source packages for ${codename}"
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" "$codename" | $sudo tee /etc/apt/sources.list.d/polyquinta-deb-src.sources >/dev/null
  update=yes
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ] || [ $update = yes ]; then
  $sudo apt-get update -qq
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
