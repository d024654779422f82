#!/usr/bin/env bash
# Load test on 127.0.0.1 only: wrk against the hosts of the filter (nginx
# with ngx_http_vantomer_module, `vantomer serve --root`) converting TELMARK
# pages for an i-mode handset, against their peer doing the same job (nginx
# with its XSLT filter running bench/telmark-imode.xsl, output in code page
# 932), and a static .html and .png passed through all of them and plain
# nginx; then `vantomer serve --root` with metrics on against the same with
# metrics off, and the pass-through of nginx with the module against plain
# nginx, LOAD_ROUNDS times in turn; then the cookie stock in memory
# against the stock in Redis: `vantomer serve` in front of nginx (which sets
# a cookie on every page), a converted page requested with a stock key, in
# turn as well. Each run is bounded by LOAD_SECONDS; every server is started
# and stopped here.
#   LOAD_SECONDS (10)  LOAD_THREADS (2)  LOAD_CONNECTIONS (32)  LOAD_ROUNDS (3)
#   LOAD_PORT (18080; the other servers get the next nine ports)  BUILD (build)
#   LOAD_ONLY=stock: the stock comparison alone, LOAD_ROUNDS times in turn
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${LOAD_SECONDS:-10}
threads=${LOAD_THREADS:-2}
connections=${LOAD_CONNECTIONS:-32}
build=${BUILD:-build}
build_abs=$(realpath "$build")
vport=${LOAD_PORT:-18080}
nport=$((vport + 1))
aport=$((vport + 2))  # nginx as the application behind the proxies
mport=$((vport + 3))  # vantomer, stock in memory
rport=$((vport + 4))  # vantomer, stock in Redis
redisport=$((vport + 5))
gport=$((vport + 6))  # nginx with the vantomer module
xport=$((vport + 7))  # nginx with the XSLT filter
oport=$((vport + 8))  # vantomer with metrics on
scrapeport=$((vport + 9))  # its metrics listener
rounds=${LOAD_ROUNDS:-3}
only=${LOAD_ONLY:-}
xslt_module=/usr/lib/nginx/modules/ngx_http_xslt_filter_module.so
jobs=${JOBS:-2}
agent='DoCoMo/2.0 P903i(c100;TB;W24H12)'

for tool in wrk nginx curl python3 redis-server; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin
  command -v "$tool" >/dev/null || { echo "load: $tool is missing (make load installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target vantomer vantomer_module nginx_module -j"$jobs" >/dev/null
[ -f "$xslt_module" ] || { echo "load: $xslt_module is missing (make load installs it)" >&2; exit 1; }

# Another server on these ports would be measured in place of ours.
for port in "$vport" "$nport" "$aport" "$mport" "$rport" "$redisport" "$gport" "$xport" \
  "$oport" "$scrapeport"; do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "load: port $port is in use; choose others with LOAD_PORT" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/vantomer-load.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The site: the benchmark pages, a static HTML page and a PNG image.
site=$work/site
mkdir -p "$site" "$work/module" "$work/nginx"
cp examples/pages/bench-2k.tm examples/pages/bench-10k.tm examples/pages/bench-100k.tm "$site/"
cp examples/pages/bench-10k.tm "$site/static-10k.html"
python3 - "$site/image.png" <<'PY'
import struct, sys, zlib
w, h = 64, 64
rows = b"".join(b"\0" + bytes(v for x in range(w) for v in (x * 4, y * 4, (x ^ y) * 4))
               for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY
chmod -R a+rX "$work"

# vantomer: the module reads the example settings from its own directory.
cp "$build/vantomer.so" examples/Vantomer.setting examples/Emoji.setting "$work/module/"
"$build/vantomer" serve --root "$site" --module "$work/module/vantomer.so" \
  --listen "127.0.0.1:$vport" --threads 2 --no-access-log \
  --mime '.tm=text/x-telmark; charset=UTF-8' 2>"$work/vantomer.log" &
pids+=($!)

# The XSLT peer: nginx's XSLT module reads the stylesheet in a way that
# leaves document('') empty, so its tables go to a file of their own; the
# output is code page 932 as the filter's.
python3 - bench/telmark-imode.xsl "$work/imode.xsl" "$work/imode-tables.xml" <<'PY'
import re, sys
source, sheet, tables = sys.argv[1:4]
text = open(source, encoding="utf-8").read()
start, end = text.index("<t:tables>"), text.index("</t:tables>") + len("</t:tables>")
open(tables, "w", encoding="utf-8").write(
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    + text[start:end].replace("<t:tables>", '<t:tables xmlns:t="urn:x-vantomer:tables">', 1))
text = text[:start] + text[end:]
text = text.replace("document('')/xsl:stylesheet/t:tables", "document('" + tables + "')/t:tables")
text = re.sub(r'<xsl:output [^>]*/>',
              '<xsl:output method="xml" encoding="CP932" media-type="application/xhtml+xml" '
              'indent="no"/>', text, count=1)
open(sheet, "w", encoding="utf-8").write(text)
PY
# The pages use HTML's named entities; nginx's XML parser learns them from
# a DTD (the filter knows them itself).
python3 - "$work/entities.dtd" <<'PY'
import html.entities, sys
with open(sys.argv[1], "w", encoding="utf-8") as out:
    for name, code in sorted(html.entities.name2codepoint.items()):
        if name in ("amp", "lt", "gt", "quot"):
            continue
        out.write(f'<!ENTITY {name} "&#{code};">\n')
PY
# nginx's XSLT module applies that DTD only to documents that declare one.
mkdir -p "$work/xslt-site"
for page in "$site"/*.tm; do
  { echo '<!DOCTYPE html>'; cat "$page"; } >"$work/xslt-site/${page##*/}"
done
cp "$build/vantomer.so" examples/Vantomer.setting examples/Emoji.setting "$work/nginx/"

cat >"$work/nginx/nginx.conf" <<CONF
load_module $build_abs/nginx/ngx_http_vantomer_module.so;
load_module $xslt_module;
worker_processes 2;
# As docs/nginx.md advises: each worker's pool for conversions has one
# thread, so that the two workers convert on the two cores.
thread_pool vantomer threads=1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  types { text/html html; image/png png; text/x-telmark tm; }
  default_type application/octet-stream;
  sendfile on;
  keepalive_requests 1000000;
  vantomer_thread_pool vantomer;
  server { listen 127.0.0.1:$nport; root $site; }
  server {
    listen 127.0.0.1:$gport;
    root $site;
    vantomer_filter $work/nginx/vantomer.so;
    types { text/html html; image/png png; "text/x-telmark; charset=UTF-8" tm; }
  }
  server {
    listen 127.0.0.1:$xport;
    root $work/xslt-site;
    location ~ \.tm\$ {
      xslt_types text/x-telmark;
      xml_entities $work/entities.dtd;
      xslt_stylesheet $work/imode.xsl;
    }
  }
  server {
    listen 127.0.0.1:$aport;
    root $site;
    add_header Set-Cookie "session=0123456789abcdef0123456789abcdef; path=/";
  }
}
CONF
nginx -e "$work/nginx/error.log" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
pids+=($!)

ready() {
  for _ in $(seq 100); do
    curl -fs -o /dev/null "http://127.0.0.1:$1/bench-2k.tm" && return 0
    sleep 0.1
  done
  echo "load: nothing answers on port $1" >&2
  cat "$work/vantomer.log" "$work/nginx/error.log" >&2 2>/dev/null || true
  exit 1
}
# The cookie stock: Redis with the configuration docs/settings.md
# recommends, less persistence (a load test keeps nothing).
mkdir -p "$work/redis"
redis-server --port "$redisport" --bind 127.0.0.1 --unixsocket "$work/redis/redis.sock" \
  --unixsocketperm 700 --dir "$work/redis" --save '' --appendonly no \
  --maxmemory 256mb --maxmemory-policy volatile-lru --logfile "$work/redis/redis.log" &
pids+=($!)
for _ in $(seq 100); do
  [[ $(redis-cli -s "$work/redis/redis.sock" ping 2>/dev/null) == PONG ]] && break
  sleep 0.1
done
for stock in memory redis; do
  mkdir -p "$work/$stock"
  cp "$build/vantomer.so" examples/Emoji.setting "$work/$stock/"
  cp examples/Vantomer.setting "$work/$stock/"
done
python3 - "$work/redis/Vantomer.setting" "unix://$work/redis/redis.sock" <<'PY'
import sys
path, url = sys.argv[1], sys.argv[2]
text = open(path, encoding="utf-8").read()
text = text.replace("<Vantomer>", "<Vantomer>\n  <CookieStockerRedis>" + url + "</CookieStockerRedis>", 1)
open(path, "w", encoding="utf-8").write(text)
PY
for stock in memory redis; do
  port=$mport
  [[ $stock == redis ]] && port=$rport
  "$build/vantomer" serve --upstream "http://127.0.0.1:$aport" --module "$work/$stock/vantomer.so" \
    --listen "127.0.0.1:$port" --threads 2 --no-access-log 2>"$work/vantomer-$stock.log" &
  pids+=($!)
done

# The same as the first, with metrics on.
"$build/vantomer" serve --root "$site" --module "$work/module/vantomer.so" \
  --listen "127.0.0.1:$oport" --threads 2 --no-access-log \
  --mime '.tm=text/x-telmark; charset=UTF-8' --metrics-listen "127.0.0.1:$scrapeport" \
  2>"$work/vantomer-metrics.log" &
pids+=($!)

ready "$vport"
ready "$oport"
ready "$nport"
ready "$aport"
ready "$mport"
ready "$rport"
ready "$gport"
ready "$xport"
for pid in "${pids[@]}"; do
  kill -0 "$pid" 2>/dev/null || { echo "load: a server did not start" >&2; exit 1; }
done

# The pages must really be converted before they are timed.
type=$(curl -fs -o "$work/converted" -w '%{content_type}' -A "$agent" \
  "http://127.0.0.1:$vport/bench-10k.tm")
if [[ $type != application/xhtml+xml* ]] || ! grep -q 'encoding="Shift_JIS"' "$work/converted"; then
  echo "load: bench-10k.tm was not converted for i-mode (Content-Type: $type)" >&2
  exit 1
fi

# Both nginx peers must really convert: the i-mode emoji of bench-10k.tm
# (the filter's output has them) must be in the XSLT output too.
curl -fs -o "$work/module-converted" -A "$agent" "http://127.0.0.1:$gport/bench-10k.tm"
curl -fs -o "$work/xslt-converted" -A "$agent" "http://127.0.0.1:$xport/bench-10k.tm"
cmp -s "$work/converted" "$work/module-converted" ||
  { echo "load: nginx with the module does not send what vantomer serve sends" >&2; exit 1; }
python3 - "$work/converted" "$work/xslt-converted" <<'PY' || exit 1
import re, sys
# i-mode emoji: code page 932 lead bytes 0xF8/0xF9 (user-defined area).
filt, xslt = (open(p, "rb").read() for p in sys.argv[1:3])
count = lambda b: len(re.findall(rb"[\xf8\xf9][\x40-\xfc]", b))
if count(filt) == 0 or count(xslt) < count(filt):
    sys.exit(f"load: XSLT output has {count(xslt)} emoji, the filter's {count(filt)}")
print(f"outputs checked: {count(filt)} emoji from the filter, {count(xslt)} from XSLT; "
      f"{len(filt)} and {len(xslt)} bytes")
PY

# CPU time (clock ticks) used so far by the processes given.
ticks() {
  local total=0 pid
  for pid in "$@"; do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0)))
  done
  echo "$total"
}
hz=$(getconf CLK_TCK)

# One wrk run: requests per second, latency percentiles, errors, and the
# server's CPU time per request.
measure() {
  local label=$1 server=$2 port=$3 path=$4 out
  local -a procs
  case $server in
    vantomer) procs=("${pids[0]}") ;;
    nginx | nginx+vtm | nginx+xslt) mapfile -t procs < <(pgrep -P "${pids[1]}") ;;
    memory) procs=("${pids[3]}") ;;
    redis) procs=("${pids[4]}" "${pids[2]}") ;;
    metrics-on) procs=("${pids[5]}") ;;
  esac
  local before
  before=$(ticks "${procs[@]}")
  out=$(wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency -H "User-Agent: $agent" \
    "http://127.0.0.1:$port$path")
  local used=$(($(ticks "${procs[@]}") - before))
  local rps p50 p90 p99 errors
  rps=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p90=$(awk '$1 == "90%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(awk '/Non-2xx or 3xx responses:/ {n += $NF} /Socket errors:/ {gsub(",", ""); n += $4 + $6 + $8 + $10} END {print n + 0}' <<<"$out")
  local requests cpu
  requests=$(awk '/requests in/ {print $1}' <<<"$out")
  cpu=$(awk -v t="$used" -v hz="$hz" -v n="$requests" 'BEGIN {printf "%.0fus", n ? t / hz * 1e6 / n : 0}')
  printf '%-26s %-10s %10s %9s %9s %9s %7s %9s\n' "$label" "$server" "$rps" "$p50" "$p90" "$p99" "$errors" "$cpu"
}

declare -A rates cpus
median() {
  tr ' ' '\n' <<<"$1" | grep . | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
echo "wrk: $threads threads, $connections connections, ${seconds}s per run, User-Agent: $agent"
# LOAD_ONLY=stock: the stock comparison alone, for short rounds.
if [[ $only != stock ]]; then
printf '%-26s %-10s %10s %9s %9s %9s %7s %9s\n' run server req/s p50 p90 p99 errors cpu/req
for entry in "bench-2k.tm:converted 2 KB page" "bench-10k.tm:converted 10 KB page" \
  "bench-100k.tm:converted 100 KB page" "static-10k.html:static 10 KB HTML" \
  "image.png:static PNG"; do
  path=/${entry%%:*}
  label=${entry#*:}
  measure "$label" nginx+vtm "$gport" "$path"
  measure "$label" vantomer "$vport" "$path"
  if [[ $path == *.tm ]]; then
    measure "$label" nginx+xslt "$xport" "$path"
  else
    measure "$label" nginx "$nport" "$path"
  fi
done
echo "(nginx+vtm: nginx with the vantomer module; nginx+xslt: nginx with its XSLT filter;"
echo " all servers and wrk share this machine's cores;"
echo " cpu/req: the server's CPU time per request, its worker processes for nginx)"

# Metrics: on against off, in turn and in alternating order, so that what
# else the machine does weighs on both alike; the median of each.
echo
echo "metrics: vantomer serve --root, metrics off against on (--metrics-listen), $rounds rounds in turn"
printf '%-26s %-10s %10s %9s %9s %9s %7s %9s\n' run server req/s p50 p90 p99 errors cpu/req
for entry in "bench-10k.tm:converted 10 KB page" "static-10k.html:static 10 KB HTML"; do
  path=/${entry%%:*}
  label=${entry#*:}
  for round in $(seq "$rounds"); do
    modes=(off on)
    ((round % 2)) || modes=(on off)
    for mode in "${modes[@]}"; do
      if [[ $mode == off ]]; then
        line=$(measure "$label" vantomer "$vport" "$path")
      else
        line=$(measure "$label" metrics-on "$oport" "$path")
      fi
      echo "$line"
      rates[$path:$mode]+="$(awk '{print $(NF-5)}' <<<"$line") "
      cpus[$path:$mode]+="$(awk '{print $NF + 0}' <<<"$line") "
    done
  done
  awk -v label="$label" -v off="$(median "${rates[$path:off]}")" -v on="$(median "${rates[$path:on]}")" \
    -v coff="$(median "${cpus[$path:off]}")" -v con="$(median "${cpus[$path:on]}")" 'BEGIN {
    printf "%s, medians: %.0f req/s off, %.0f on: metrics cost %.1f %% of req/s (target: at most 2 %%); cpu/req %gus off, %gus on\n",
      label, off, on, (off > 0 ? 100 * (off - on) / off : 0), coff, con }'
done
# Pass-through: nginx with the module against plain nginx, in turn like the
# metrics, so that a busy machine weighs on both alike.
echo
echo "pass-through: nginx with the vantomer module against plain nginx, $rounds rounds in turn"
printf '%-26s %-10s %10s %9s %9s %9s %7s %9s\n' run server req/s p50 p90 p99 errors cpu/req
for entry in "static-10k.html:static 10 KB HTML" "image.png:static PNG"; do
  path=/${entry%%:*}
  label=${entry#*:}
  for round in $(seq "$rounds"); do
    modes=(nginx nginx+vtm)
    ((round % 2)) || modes=(nginx+vtm nginx)
    for mode in "${modes[@]}"; do
      port=$nport
      [[ $mode == nginx+vtm ]] && port=$gport
      line=$(measure "$label" "$mode" "$port" "$path")
      echo "$line"
      rates[$path:$mode]+="$(awk '{print $(NF-5)}' <<<"$line") "
      cpus[$path:$mode]+="$(awk '{print $NF + 0}' <<<"$line") "
    done
  done
  awk -v label="$label" -v plain="$(median "${rates[$path:nginx]}")" \
    -v vtm="$(median "${rates[$path:nginx+vtm]}")" -v cplain="$(median "${cpus[$path:nginx]}")" \
    -v cvtm="$(median "${cpus[$path:nginx+vtm]}")" 'BEGIN {
    printf "%s, medians: %.0f req/s plain nginx, %.0f with the module: %.1f %% (target: at least 95 %%); cpu/req %gus plain, %gus with the module\n",
      label, plain, vtm, (plain > 0 ? 100 * vtm / plain : 0), cplain, cvtm }'
done

# The counters must have counted what was measured.
counted=$(curl -fs "http://127.0.0.1:$scrapeport/metrics" |
  awk '/^vantomer_http_requests_total\{method="GET",status_class="2xx"\}/ {print $2}')
echo "(metrics on counted ${counted:-nothing} GET requests answered 2xx)"
[[ ${counted%%.*} -gt 0 ]] 2>/dev/null || { echo "load: the metrics counted nothing" >&2; exit 1; }

fi

# The stock: a login's key from each server, then its page with the key.
keyed() {
  local key
  key=$(curl -fs -A "$agent" "http://127.0.0.1:$1/bench-10k.tm" | grep -o '(=[A-Za-z]*0x[0-9a-f]*=)' | head -1)
  [[ -n $key ]] || { echo "load: no stock key from port $1" >&2; exit 1; }
  echo "/$key""bench-10k.tm"
}
mpath=$(keyed "$mport")
rpath=$(keyed "$rport")
echo
echo "cookie stock: converted 10 KB page with a stock key, through vantomer serve --upstream nginx"
echo "(each request: a lookup, a capture of the page's Set-Cookie, the links marked);"
echo "Redis $(redis-server --version | sed 's/.*v=\([^ ]*\).*/\1/') on a unix socket, no persistence, maxmemory 256mb volatile-lru"
printf '%-26s %-9s %10s %9s %9s %9s %7s %9s\n' run stock req/s p50 p90 p99 errors cpu/req
entries() { redis-cli -s "$work/redis/redis.sock" dbsize; }
entries_before=$(entries)
# In turn and in alternating order, as the metrics.
for round in $(seq "$rounds"); do
  stocks=(memory redis)
  ((round % 2)) || stocks=(redis memory)
  for stock in "${stocks[@]}"; do
    if [[ $stock == memory ]]; then
      line=$(measure "stock with a key" memory "$mport" "$mpath")
    else
      line=$(measure "stock with a key" redis "$rport" "$rpath")
    fi
    echo "$line"
    rates[stock:$stock]+="$(awk '{print $(NF-5)}' <<<"$line") "
    cpus[stock:$stock]+="$(awk '{print $NF + 0}' <<<"$line") "
  done
done
awk -v m="$(median "${rates[stock:memory]}")" -v r="$(median "${rates[stock:redis]}")" \
  -v cm="$(median "${cpus[stock:memory]}")" -v cr="$(median "${cpus[stock:redis]}")" 'BEGIN {
  if (m > 0) printf "medians: %.0f req/s in memory, %.0f in Redis: %.0f %% of the in-memory rate (target: at least 80 %%); cpu/req %gus in memory, %gus in Redis\n",
    m, r, 100 * r / m, cm, cr }'
# The same key on every request changes nothing: no entry is added.
echo "Redis entries: $entries_before before the runs, $(entries) after"
echo "(cpu/req for Redis counts vantomer and redis-server)"
if grep -q "cookie stock" "$work/vantomer-redis.log"; then
  echo "load: Redis failed during the run:" >&2
  cat "$work/vantomer-redis.log" >&2
  exit 1
fi

