#!/usr/bin/env bash
# Builds vantomer_VERSION_ARCH.deb from an existing build: the executable, the
# module with its settings (conffiles under /etc/vantomer, linked from the
# module's own directory, where the filter reads them), the examples and docs,
# the vantomer system user and the systemd unit. When the build holds the
# nginx module, also libnginx-mod-http-vantomer_VERSION_ARCH.deb, laid out
# and enabled as Debian's own nginx module packages are.
#   BUILD (build)    the build folder that holds vantomer and vantomer.so
#   DEB_OUT (BUILD)  where the packages are written; their paths are printed
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

docs() { # root, package name: copyright and changelog
  local doc=$1/usr/share/doc/$2
  install -D -m 0644 packaging/copyright "$doc/copyright"
  printf '%s (%s) unstable; urgency=medium\n\n  * Built from the project tree.\n\n -- Vantomer developers <vantomer@localhost>  %s\n' \
    "$2" "$version" "$(date -R -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)")" |
    gzip -9n >"$doc/changelog.gz"
}

# Library dependencies as dpkg-shlibdeps finds them.
shlibs() { # files...
  mkdir -p "$work/src/debian"
  printf 'Source: vantomer\n\nPackage: vantomer\nArchitecture: any\n' >"$work/src/debian/control"
  (cd "$work/src" && dpkg-shlibdeps -O "$@" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
}

# The control fields come on stdin; then md5sums, the package, lintian.
finish() { # root, package name
  local root=$1 package=$OUT/${2}_${version}_${arch}.deb
  install -d "$root/DEBIAN"
  { cat; echo "Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)"; } \
    >"$root/DEBIAN/control"
  (cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
    xargs -0 md5sum) >"$root/DEBIAN/md5sums"
  mkdir -p "$OUT"
  dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
  echo "$package"
  if command -v lintian >/dev/null; then
    # What stays accepted, and why: docs/operations.md.
    lintian --suppress-tags-from-file packaging/lintian-overrides.txt "$package" >&2 || true
  fi
}

root=$work/vantomer
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
docs "$root" vantomer
install -m 0644 README.md "$doc/README.md"
install -d "$doc/docs" "$doc/examples/pages/news"
install -m 0644 docs/*.md "$doc/docs/"
install -m 0644 examples/Vantomer.setting examples/Emoji.setting "$doc/examples/"
install -m 0644 examples/pages/*.tm "$doc/examples/pages/"
install -m 0644 examples/pages/news/*.tm "$doc/examples/pages/news/"
install -d "$root/usr/share/man/man1"
gzip -9n <packaging/vantomer.1 >"$root/usr/share/man/man1/vantomer.1.gz"
chmod 0644 "$root/usr/share/man/man1/vantomer.1.gz"
printf '/etc/default/vantomer\n/etc/vantomer/Emoji.setting\n/etc/vantomer/Vantomer.setting\n' \
  >"$work/conffiles"
install -D -m 0644 "$work/conffiles" "$root/DEBIAN/conffiles"
for script in postinst prerm postrm; do
  install -m 0755 "packaging/$script" "$root/DEBIAN/$script"
done
finish "$root" vantomer <<CONTROL
Package: vantomer
Version: $version
Architecture: $arch
Maintainer: Vantomer developers <vantomer@localhost>
Depends: $(shlibs "$root/usr/bin/vantomer" "$root/usr/lib/vantomer/vantomer.so"), adduser
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

# The nginx module: built against this nginx, so it depends on its ABI, and
# on the filter module it loads from the vantomer package.
module=$BUILD/nginx/ngx_http_vantomer_module.so
abi_vars=/usr/share/nginx/src/debian/libnginx-mod.abisubstvars
scripts=/usr/share/debhelper/autoscripts
[ -e "$module" ] || exit 0
[ -e "$abi_vars" ] || { echo "deb: $abi_vars is missing (install nginx-dev)" >&2; exit 1; }
abi=$(sed -n 's/^nginx:abi=//p' "$abi_vars")
name=libnginx-mod-http-vantomer
root=$work/$name
install -D -m 0644 "$module" "$root/usr/lib/nginx/modules/ngx_http_vantomer_module.so"
strip --strip-unneeded "$root/usr/lib/nginx/modules/ngx_http_vantomer_module.so"
install -d "$root/usr/share/nginx/modules-available"
echo 'load_module modules/ngx_http_vantomer_module.so;' \
  >"$root/usr/share/nginx/modules-available/mod-http-vantomer.conf"
docs "$root" $name
install -m 0644 packaging/README.nginx "$root/usr/share/doc/$name/README.Debian"
# nginx-dev's own maintainer script pieces: the module is enabled on install,
# set aside on remove, forgotten on purge, and nginx reloaded by its trigger.
install -d "$root/DEBIAN"
for script in postinst prerm postrm; do
  { echo '#!/bin/sh'; echo 'set -e'
    sed 's/#NAMES#/mod-http-vantomer.conf:50-mod-http-vantomer.conf/' "$scripts/$script-nginx"
  } >"$root/DEBIAN/$script"
  chmod 0755 "$root/DEBIAN/$script"
done
finish "$root" $name <<CONTROL
Package: $name
Source: vantomer
Version: $version
Architecture: $arch
Maintainer: Vantomer developers <vantomer@localhost>
Depends: $abi, vantomer (= $version), $(shlibs "$root/usr/lib/nginx/modules/ngx_http_vantomer_module.so")
Recommends: nginx
Section: httpd
Priority: optional
Homepage: https://localhost/vantomer
Description: Vantomer filter module for nginx
 The nginx module that runs the Vantomer filter inside nginx: pages written
 once in TELMARK leave nginx in the dialect, code page, emoji and content
 type of the handset that asked for them. The filter module and its
 settings come from the vantomer package; a site names it with the
 vantomer_filter directive.
CONTROL
