#!/usr/bin/env bash
# Installs the Debian packages a target needs: those to build and test by
# default, and the extras of the named groups. Only missing packages are
# installed; apt-get runs through sudo when not root. One line per step; the
# package manager's own output goes to a log that is shown when it fails.
# Usage: scripts/setup.sh [build] [sanitize] [fuzz] [bench] [load] [demo] [format] [deb] [trixie]
#                         [preview]
# The demo group takes Debian's npm only where no npm is on PATH: a Node.js
# installed otherwise brings its own, and Debian's would clash with it.
set -euo pipefail

declare -A groups=(
  [build]="build-essential cmake pkg-config git libxml2-dev libboost-dev libboost-regex-dev
           libssl-dev libgtest-dev libgmock-dev googletest unicode-data openssl curl
           libhiredis-dev redis-server nginx nginx-dev prometheus-cpp-dev"
  [sanitize]=""
  [fuzz]="clang libclang-rt-dev"
  [bench]="libbenchmark-dev libxslt1-dev valgrind"
  [load]="nginx wrk libnginx-mod-http-xslt-filter"
  [demo]="python3 librsvg2-bin python3-pil$(command -v npm >/dev/null || echo " npm")"
  [format]="clang-format"
  [deb]="lintian"
  [trixie]="mmdebstrap"
  [preview]="chromium fonts-ipafont-gothic"
)

wanted=(build "$@")
packages=()
for group in "${wanted[@]}"; do
  [ -v "groups[$group]" ] || { echo "setup: unknown group $group" >&2; exit 2; }
  packages+=(${groups[$group]})
done
[ "${VANTOMER_SETUP_EXTRA:-}" ] && packages+=(${VANTOMER_SETUP_EXTRA})

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

log=${TMPDIR:-/tmp}/vantomer-setup.log
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]} (log: $log)"
: >"$log"
"${SUDO[@]}" apt-get update -q >>"$log" 2>&1 || echo "setup: package lists not refreshed (see $log)"
if ! "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "setup: installing failed; the whole log is $log" >&2
  exit 1
fi
echo "setup: done"
