#!/usr/bin/env bash
# The README's `make test` in a fresh Debian 13 (trixie) root: its own nginx,
# Boost, hiredis and libxml2, installed there by the project's setup script,
# and no service left running afterwards. VANTOMER_TEST_RELEASE names another
# release, VANTOMER_TEST_COMMAND another command (a newcomer's first hour).
# The root is made with mmdebstrap from the Debian archive the system's own
# sources name, into the build folder, and removed afterwards.
# Usage: scripts/test-trixie.sh BUILD_DIR
set -euo pipefail

build=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
release=${VANTOMER_TEST_RELEASE:-trixie}
command=${VANTOMER_TEST_COMMAND:-make test}
root=$build/test-$release/root
log=$build/test-$release/mmdebstrap.log

[ "$(id -u)" -eq 0 ] || { echo "test-$release: needs root (chroot and mounts)" >&2; exit 1; }
. "$here/scripts/debian-archive.sh"
mirror=$(debian_archive)
[ -n "$mirror" ] || { echo "test-$release: no Debian archive among the system's apt sources" >&2; exit 1; }

rm -rf "$build/test-$release"
mkdir -p "$build/test-$release"
echo "test-$release: making a $release root (minbase) in $root"
if ! mmdebstrap --variant=minbase --include=git,make,sudo,ca-certificates \
     "$release" "$root" "deb $mirror $release main" >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  exit 1
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
git clone -q "$here" "$root/src/vantomer"
# The tree as it is now, uncommitted changes included.
(cd "$here" && git diff HEAD) | (cd "$root/src/vantomer" && git apply --allow-empty 2>/dev/null || true)

status=0
# A private mount namespace: the mounts go with the command.
unshare --mount --fork sh -c '
  root=$1
  mount --rbind /dev "$root/dev" && mount -t proc proc "$root/proc" &&
    mount -t sysfs sys "$root/sys" && mount -t tmpfs tmpfs "$root/tmp" &&
    chroot "$root" sh -c "cd /src/vantomer && $2"
' sh "$root" "$command" || status=$?
# The setup script starts no service and the tests stop their own: anything
# still running in the root is a fault, and is ended.
left=()
for proc in /proc/[0-9]*; do
  [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] || continue
  left+=("$(tr '\0' ' ' <"$proc/cmdline")")
  kill -9 "${proc#/proc/}" 2>/dev/null
done
if [ ${#left[@]} -gt 0 ]; then
  for process in "${left[@]}"; do echo "test-$release: left running: $process" >&2; done
  [ $status -ne 0 ] || status=1
fi
echo "test-$release: $command in the $release root exited with $status"
[ $status -ne 0 ] || rm -rf "$build/test-$release"
exit $status
