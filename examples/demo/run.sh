#!/usr/bin/env bash
# Runs the demo: the demo application behind `vantomer serve`, with the
# example settings beside a copy of the filter module. Called by `make demo`
# with the build directory.
#   DEMO_PORT (8080)  where handsets and browsers connect
#   APP_PORT  (8081)  where the demo application listens
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
examples=$(cd "$here/.." && pwd)
port=${DEMO_PORT:-8080}
app_port=${APP_PORT:-8081}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
check_ports() {
  for p in "$port" "$app_port"; do
    if listening "$p"; then
      echo "demo: port $p is taken; choose others with DEMO_PORT and APP_PORT" >&2
      exit 1
    fi
  done
}
# `make demo` asks first, before it installs or builds anything.
if [ "${1:-}" = --check-ports ]; then
  check_ports
  exit 0
fi
check_ports

build=$(cd "${1:-build}" && pwd)
for file in "$build/vantomer" "$build/vantomer.so"; do
  [ -e "$file" ] || { echo "demo: $file is missing; build first (make build)" >&2; exit 1; }
done

# The filter reads its settings from its own directory; the check speaks
# only when something is wrong.
run="$build/demo"
mkdir -p "$run"
cp "$build/vantomer.so" "$examples/Vantomer.setting" "$examples/Emoji.setting" "$run/"
if ! report=$("$build/vantomer" check --strict --module "$run/vantomer.so" 2>&1); then
  echo "$report" >&2
  exit 1
fi

# The emoji pictures the profiles' EmojiImgSrc name (/emoji/NNN.svg and
# .gif), from Debian's emoji font. Debian's python3: the setup's Python
# packages belong to it, whatever python3 comes first on PATH.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" "$here/pictures.py" --quiet --emoji "$examples/Emoji.setting" --out "$run/emoji" ||
  echo "demo: some emoji pictures are missing; the demo runs with placeholders for them" >&2

pids=()
stop() {
  trap - INT TERM EXIT
  [ ${#pids[@]} -gt 0 ] && kill -TERM "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop INT TERM EXIT

"$python" "$here/app.py" --port "$app_port" --emoji "$examples/Emoji.setting" --pictures "$run/emoji" &
pids+=($!)
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$app_port/" && break
  sleep 0.1
done
"$build/vantomer" serve --module "$run/vantomer.so" --listen "127.0.0.1:$port" \
  --upstream "http://127.0.0.1:$app_port" >"$run/server.log" 2>&1 &
pids+=($!)

for _ in $(seq 50); do
  listening "$port" && break
  if ! kill -0 "${pids[1]}" 2>/dev/null; then
    cat "$run/server.log" >&2
    echo "demo: the server did not start" >&2
    exit 1
  fi
  sleep 0.1
done

echo "The demo is at http://127.0.0.1:$port/ (Ctrl-C stops it; the server logs to $run/server.log; README.md, The demo, shows each handset's view with curl)"

wait "${pids[1]}"
