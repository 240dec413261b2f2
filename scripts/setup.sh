#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when one is missing.
# Usage: scripts/setup.sh [extra-package...]
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev googletest libbenchmark-dev
  libc6-dev nlohmann-json3-dev python3
  liblua5.1-0-dev libtolua++5.1-dev lua-cjson-dev lua-sql-sqlite3-dev libtinyxml-dev
  libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libglew-dev
  libgl1-mesa-dri libegl-mesa0 libegl1 xvfb xauth
  libcurl4-openssl-dev libssl-dev openssl python3-pyftpdlib
  libfreetype-dev libfontconfig-dev fontconfig fonts-wqy-microhei
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and not root; install them or run as root" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq >/dev/null
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
