#!/usr/bin/env bash
# Builds ngx_http_vantomer_module.so for the installed nginx from Debian's
# nginx-dev tree (copied into the build folder, configured with nginx's own
# flags). Usage: scripts/build-nginx-module.sh BUILD_DIR BRIDGE_LIB BINDING_LIB
# NGINX_SRC and NGINX_OUT name another nginx-dev tree and where its build goes
# (make nginx-compat).
set -euo pipefail

build=$(realpath "$1")
libs="$(realpath "$2") $(realpath "$3")"
src=${NGINX_SRC:-/usr/share/nginx/src}
here=$(cd "$(dirname "$0")/.." && pwd)
out=${NGINX_OUT:-$build/nginx}
tree=$out/src

[ -x "$src/configure" ] || { echo "nginx-module: $src missing (install nginx-dev)" >&2; exit 1; }
mkdir -p "$out"
if [ ! -f "$tree/.copied" ]; then
  rm -rf "$tree"
  cp -r "$src" "$tree"
  touch "$tree/.copied"
fi
# Configured again only when what it reads changed.
stamp="$libs $(cat "$here/nginx/config" | md5sum)"
if [ ! -f "$tree/objs/Makefile" ] || [ "$(cat "$tree/.configured" 2>/dev/null)" != "$stamp" ]; then
  . "$tree/conf_flags"
  (cd "$tree" && VANTOMER_NGINX_LIBS="$libs" ./configure "${NGX_CONF_FLAGS[@]}" \
     --add-dynamic-module="$here/nginx" >"$out/configure.log" 2>&1) ||
    { tail -n 30 "$out/configure.log" >&2; exit 1; }
  echo "$stamp" >"$tree/.configured"
fi
# nginx's Makefile does not know our libraries: a changed one must still
# reach the module, so the module is always linked again.
rm -f "$tree/objs/ngx_http_vantomer_module.so"
make -C "$tree" -f objs/Makefile modules >"$out/make.log" 2>&1 || { tail -n 40 "$out/make.log" >&2; exit 1; }
cp "$tree/objs/ngx_http_vantomer_module.so" "$out/ngx_http_vantomer_module.so"
