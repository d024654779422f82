#!/usr/bin/env bash
# Builds vantomer_VERSION_ARCH.deb from an existing build: the executable, the
# module with its settings (conffiles under /etc/vantomer, linked from the
# module's own directory, where the filter reads them), the examples and docs,
# the vantomer system user and the systemd unit.
#   BUILD (build)    the build folder that holds vantomer and vantomer.so
#   DEB_OUT (BUILD)  where the package is written
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
OUT=${DEB_OUT:-$BUILD}
for file in "$BUILD/vantomer" "$BUILD/vantomer.so"; do
  [ -e "$file" ] || { echo "deb: $file is missing; build first (make build)" >&2; exit 1; }
done

version=$(sed -n 's/^project(vantomer VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
doc=$root/usr/share/doc/vantomer

install -D -m 0755 "$BUILD/vantomer" "$root/usr/bin/vantomer"
install -D -m 0644 "$BUILD/vantomer.so" "$root/usr/lib/vantomer/vantomer.so"
strip --strip-unneeded "$root/usr/bin/vantomer" "$root/usr/lib/vantomer/vantomer.so"
for name in Vantomer.setting Emoji.setting; do
  install -D -m 0644 "examples/$name" "$root/etc/vantomer/$name"
  ln -s "/etc/vantomer/$name" "$root/usr/lib/vantomer/$name"
done
install -D -m 0644 packaging/default "$root/etc/default/vantomer"
install -D -m 0644 packaging/vantomer.service "$root/lib/systemd/system/vantomer.service"

install -D -m 0644 README.md "$doc/README.md"
install -d "$doc/docs" "$doc/examples/pages"
install -m 0644 docs/*.md "$doc/docs/"
install -m 0644 examples/Vantomer.setting examples/Emoji.setting "$doc/examples/"
install -m 0644 examples/pages/*.tm "$doc/examples/pages/"
install -m 0644 packaging/copyright "$doc/copyright"
printf 'vantomer (%s) unstable; urgency=medium\n\n  * Built from the project tree.\n\n -- Vantomer developers <vantomer@localhost>  %s\n' \
  "$version" "$(date -R -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)")" |
  gzip -9n >"$doc/changelog.gz"
install -d "$root/usr/share/man/man1"
gzip -9n <packaging/vantomer.1 >"$root/usr/share/man/man1/vantomer.1.gz"
chmod 0644 "$root/usr/share/man/man1/vantomer.1.gz"

# Library dependencies as dpkg-shlibdeps finds them.
mkdir -p "$work/src/debian"
printf 'Source: vantomer\n\nPackage: vantomer\nArchitecture: any\n' >"$work/src/debian/control"
shlibs=$(cd "$work/src" && dpkg-shlibdeps -O "$root/usr/bin/vantomer" \
  "$root/usr/lib/vantomer/vantomer.so" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')

install -d "$root/DEBIAN"
installed_kb=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: vantomer
Version: $version
Architecture: $arch
Maintainer: Vantomer developers <vantomer@localhost>
Installed-Size: $installed_kb
Depends: $shlibs, adduser
Section: httpd
Priority: optional
Homepage: https://localhost/vantomer
Description: pages for Japanese mobile handsets through an HTTP filter
 Vantomer is an HTTP filter module that rewrites pages written once in
 TELMARK into the dialect, code page, emoji and content type of the handset
 that asked for them, keeps logins of handsets without cookies in a
 server-side cookie stock, and makes relative redirects absolute. This
 package holds the module, its settings, and vantomer serve, the web server
 that hosts it, run as the vantomer service.
CONTROL
printf '/etc/default/vantomer\n/etc/vantomer/Emoji.setting\n/etc/vantomer/Vantomer.setting\n' \
  >"$root/DEBIAN/conffiles"
for script in postinst prerm postrm; do
  install -m 0755 "packaging/$script" "$root/DEBIAN/$script"
done
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
  xargs -0 md5sum) >"$root/DEBIAN/md5sums"

mkdir -p "$OUT"
package=$OUT/vantomer_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
if command -v lintian >/dev/null; then
  # What stays accepted, and why: docs/operations.md.
  lintian --suppress-tags-from-file packaging/lintian-overrides.txt "$package" >&2 || true
fi
