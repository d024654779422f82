#!/usr/bin/env bash
# A headless Chromium screenshot of `vantomer preview` showing the example
# start page for the four default handsets: BUILD/preview.png. Called by
# `make preview-screenshot` with the build directory.
#   PREVIEW_PORT (18090)  where the preview listens while the picture is taken
#   PREVIEW_PATH (/index.tm)  the page shown
#   PREVIEW_PICTURES      emoji pictures (default: BUILD/demo/emoji when
#                         `make demo` made them, else numbered squares)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
port=${PREVIEW_PORT:-18090}
path=${PREVIEW_PATH:-/index.tm}
pictures=${PREVIEW_PICTURES:-$build/demo/emoji}
out="$build/preview.png"

run="$build/preview-run"
mkdir -p "$run"
cp "$build/vantomer.so" "$here/examples/Vantomer.setting" "$here/examples/Emoji.setting" "$run/"
args=(preview --module "$run/vantomer.so" --root "$here/examples/pages" --listen "127.0.0.1:$port")
[ -d "$pictures" ] && args+=(--pictures "$pictures")

if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
  echo "preview-screenshot: port $port is taken; choose another with PREVIEW_PORT" >&2
  exit 1
fi
profile=$(mktemp -d)
"$build/vantomer" "${args[@]}" 2>"$run/preview.log" &
pid=$!
stop() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$profile"
}
trap stop EXIT

for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  kill -0 "$pid" 2>/dev/null || { cat "$run/preview.log" >&2; exit 1; }
  sleep 0.1
done

# Sandboxed frames in processes of their own were at times not yet drawn when
# the picture was taken: the last column came out blank.
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --no-first-run --disable-sync --hide-scrollbars \
  --disable-features=IsolateSandboxedIframes \
  --user-data-dir="$profile" --window-size=1340,900 --screenshot="$out" \
  "http://127.0.0.1:$port/?path=$path" 2>"$run/chromium.log" ||
  { tail -n 20 "$run/chromium.log" >&2; exit 1; }
echo "preview-screenshot: $out"
