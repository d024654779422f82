#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Only missing packages are installed; runs apt-get through sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libxml2-dev libboost-dev libboost-regex-dev libssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang clang-format libclang-rt-dev
  libxslt1-dev
  libhiredis-dev redis-server
  curl python3 openssl
)
[ "${VANTOMER_SETUP_EXTRA:-}" ] && packages+=(${VANTOMER_SETUP_EXTRA})

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq || true
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
