#!/usr/bin/env bash
# Builds the nginx module against the nginx-dev of other Debian releases
# (default: trixie, the stable release, and sid, the development release),
# next to the installed one. Each release's package index is read under an
# apt configuration of its own in the build folder, from the Debian archive
# the system's own sources name; the system's apt state is left alone.
# Usage: scripts/nginx-compat.sh BUILD_DIR [RELEASE...]
set -euo pipefail

build=$(realpath "$1")
shift
releases=("${@:-trixie}")
[ $# -gt 0 ] || releases=(trixie sid)
here=$(cd "$(dirname "$0")/.." && pwd)
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# The archive the system installs Debian from.
. "$here/scripts/debian-archive.sh"
mirror=$(debian_archive)
[ -n "$mirror" ] || { echo "nginx-compat: no Debian archive among the system's apt sources" >&2; exit 1; }

bridge=$build/nginx/libvantomer_nginx_bridge.a
binding=$build/host/libvantomer_binding.a
[ -f "$bridge" ] && [ -f "$binding" ] || { echo "nginx-compat: build first (make build)" >&2; exit 1; }

status=0
for release in "${releases[@]}"; do
  dir=$build/nginx-compat/$release
  mkdir -p "$dir/apt/lists/partial" "$dir/apt/archives/partial" "$dir/deb"
  echo "deb [signed-by=$keyring] $mirror $release main" >"$dir/apt/sources.list"
  apt=(-o "Dir::Etc::SourceList=$dir/apt/sources.list" -o "Dir::Etc::SourceParts=-"
       -o "Dir::State::Lists=$dir/apt/lists" -o "Dir::State::Status=/dev/null"
       -o "Dir::Cache=$dir/apt" -o "Debug::NoLocking=1" -o "APT::Get::List-Cleanup=0")
  log=$dir/apt.log
  if ! apt-get "${apt[@]}" update >"$log" 2>&1 ||
     ! (cd "$dir/deb" && rm -f nginx-dev_*.deb && apt-get "${apt[@]}" download nginx-dev >>"$log" 2>&1); then
    tail -n 20 "$log" >&2
    echo "nginx-compat: $release: nginx-dev not downloaded (log: $log)" >&2
    status=1
    continue
  fi
  deb=$(ls "$dir"/deb/nginx-dev_*.deb)
  rm -rf "$dir/root" && mkdir -p "$dir/root"
  dpkg-deb -x "$deb" "$dir/root"
  version=$(dpkg-deb -f "$deb" Version)
  rm -rf "$dir/build"
  if NGINX_SRC=$dir/root/usr/share/nginx/src NGINX_OUT=$dir/build \
     "$here/scripts/build-nginx-module.sh" "$build" "$bridge" "$binding"; then
    echo "nginx-compat: $release: nginx $version: the module builds"
  else
    echo "nginx-compat: $release: nginx $version: the module does not build (see $dir/build)" >&2
    status=1
  fi
done
exit $status
