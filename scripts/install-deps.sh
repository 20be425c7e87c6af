#!/usr/bin/env bash
# Installs the Debian packages Zelwan needs to build, run and test, and any named as arguments
# (scripts/bench.sh names the benchmark's), skipping what is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    fonts-liberation locales
    xvfb xdotool
    firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
    clang-14 libclang-rt-14-dev
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
