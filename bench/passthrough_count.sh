#!/usr/bin/env bash
# Instructions nginx spends per request on a static file, plain and with
# the vantomer module, counted by callgrind in one nginx process (no master)
# over one keep-alive connection: the count does not move with other work
# on the machine, unlike requests per second. Needs valgrind, nginx, curl.
#   BUILD (build)  REQUESTS (2000)  COUNT_PORT (18180, and the next two)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD:-build}")
requests=${REQUESTS:-2000}
port=${COUNT_PORT:-18180}
for tool in valgrind callgrind_control nginx curl; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin
  command -v "$tool" >/dev/null || { echo "passthrough-count: $tool is missing" >&2; exit 1; }
done
cmake --build "$build" --target vantomer_module nginx_module -j"${JOBS:-2}" >/dev/null
[[ -f $build/nginx/ngx_http_vantomer_module.so ]] ||
  { echo "passthrough-count: no nginx module in $build (install nginx-dev)" >&2; exit 1; }

work=$(mktemp -d /tmp/vantomer-count.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/site" "$work/module"
head -c 10240 /dev/zero | tr '\0' 'x' >"$work/site/page.html"
cp "$build/vantomer.so" examples/Vantomer.setting examples/Emoji.setting "$work/module/"

# conf NAME PORT LOAD FILTER: a one-process nginx serving the site.
conf() {
  cat >"$work/$1.conf" <<CONF
$3
master_process off;
daemon off;
pid $work/$1.pid;
error_log $work/$1.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  types { text/html html; }
  sendfile on;
  keepalive_requests 1000000;
  server { listen 127.0.0.1:$2; root $work/site; $4 }
}
CONF
}
conf plain "$port" "" ""
# A process with threads pays for them in every system call and allocation
# (glibc's multi-threaded paths); the module brings threads (the filter's
# timer, the conversion pool), as aio threads would.
conf threads $((port + 2)) "thread_pool default threads=2;" ""
conf module $((port + 1)) "load_module $build/nginx/ngx_http_vantomer_module.so;" \
  "vantomer_filter $work/module/vantomer.so;"

# count NAME PORT: instructions per request, counted from after the first.
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/$1.out" \
    nginx -p "$work" -c "$work/$1.conf" -e "$work/$1.log" >/dev/null 2>&1 &
  local pid=$! i
  for i in $(seq 150); do
    curl -s -o /dev/null "http://127.0.0.1:$2/page.html" && break
    sleep 0.2
  done
  callgrind_control -z "$pid" >/dev/null
  curl -s -o /dev/null "http://127.0.0.1:$2/page.html?[1-$requests]"
  callgrind_control -d "$pid" >/dev/null
  kill -QUIT "$pid"
  wait "$pid" || true
  awk -v n="$requests" '/^summary:/ {printf "%.0f\n", $2 / n}' "$work/$1.out.1"
}
plain=$(count plain "$port")
threads=$(count threads $((port + 2)))
module=$(count module $((port + 1)))
echo "instructions per request, 10 KB static file, $requests requests on one connection:"
echo "plain nginx $plain, with a thread pool $threads, with the vantomer module $module"
echo "the module's share $((module - plain)) ($((threads - plain)) of it for having threads," \
  "$((module - threads)) for the module's own work)"
