#!/usr/bin/env bash
# Installs the Debian packages a target needs: those to build and test by
# default, and the extras of the named groups. Only missing packages are
# installed; apt-get runs through sudo when not root. One line per step; the
# package manager's own output goes to a log that is shown when it fails.
# Usage: scripts/setup.sh [build] [sanitize] [fuzz] [bench] [load] [demo] [format] [deb] [trixie]
#                         [preview]
# The build group also has what the demo's emoji pictures and their test
# need: Debian's colour emoji font, fontTools to read it (munkres stands in
# for scipy, the heavier choice of its dependencies) and Pillow for GIFs.
# Services that packages start on install (nginx, redis-server) are neither
# started nor enabled at boot: the tests and the demo run their own.
set -euo pipefail

declare -A groups=(
  [build]="build-essential cmake pkg-config git libxml2-dev libboost-dev libboost-regex-dev
           libssl-dev libgtest-dev libgmock-dev googletest unicode-data openssl curl
           libhiredis-dev redis-server nginx nginx-dev prometheus-cpp-dev
           python3 fonts-noto-color-emoji python3-fonttools python3-munkres python3-pil"
  [sanitize]=""
  [fuzz]="clang libclang-rt-dev"
  [bench]="libbenchmark-dev libxslt1-dev valgrind"
  [load]="nginx wrk libnginx-mod-http-xslt-filter"
  [demo]=""
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

# While installing, no service starts (invoke-rc.d asks policy-rc.d); one
# already in place is left as it is.
policy=/usr/sbin/policy-rc.d
own_policy=
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${SUDO[@]}" tee "$policy" >/dev/null
  "${SUDO[@]}" chmod 755 "$policy"
  own_policy=1
  trap '"${SUDO[@]}" rm -f "$policy"' EXIT
fi
if ! "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "setup: installing failed; the whole log is $log" >&2
  exit 1
fi
[ "$own_policy" ] && "${SUDO[@]}" rm -f "$policy"

# Nor do they start at boot.
services=()
for p in nginx redis-server; do
  [[ " ${missing[*]} " == *" $p "* ]] || continue
  services+=("$p")
  {
    "${SUDO[@]}" deb-systemd-helper disable "$p.service" || true
    [ -x "/etc/init.d/$p" ] && "${SUDO[@]}" update-rc.d "$p" disable || true
    [ -d /run/systemd/system ] && "${SUDO[@]}" systemctl stop "$p.service" || true
  } >>"$log" 2>&1
done
[ ${#services[@]} -gt 0 ] &&
  echo "setup: ${services[*]} installed as programs only: not started, not enabled at boot (the tests start their own)"
echo "setup: done"
