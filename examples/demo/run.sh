#!/usr/bin/env bash
# Runs the demo: the demo application behind `vantomer serve`, with the
# example settings beside a copy of the filter module. Called by `make demo`
# with the build directory.
#   DEMO_PORT (8080)  where handsets and browsers connect
#   APP_PORT  (8081)  where the demo application listens
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
examples=$(cd "$here/.." && pwd)
build=$(cd "${1:-build}" && pwd)
port=${DEMO_PORT:-8080}
app_port=${APP_PORT:-8081}

for file in "$build/vantomer" "$build/vantomer.so"; do
  [ -e "$file" ] || { echo "demo: $file is missing; build first (make build)" >&2; exit 1; }
done

# The filter reads its settings from its own directory.
run="$build/demo"
mkdir -p "$run"
cp "$build/vantomer.so" "$examples/Vantomer.setting" "$examples/Emoji.setting" "$run/"
"$build/vantomer" check --module "$run/vantomer.so"

# The emoji pictures the profiles' EmojiImgSrc name (/emoji/NNN.svg and .gif),
# made from Twemoji, fetched once into $build/demo-download. Debian's python3:
# the setup's python3-pil belongs to it, whatever python3 comes first on PATH.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" "$here/pictures.py" --emoji "$examples/Emoji.setting" --out "$run/emoji" \
  --download "$build/demo-download" ||
  echo "demo: some emoji pictures are missing; the demo runs with placeholders for them" >&2

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
for p in "$port" "$app_port"; do
  if listening "$p"; then
    echo "demo: port $p is taken; choose others with DEMO_PORT and APP_PORT" >&2
    exit 1
  fi
done

pids=()
stop() {
  trap - INT TERM EXIT
  [ ${#pids[@]} -gt 0 ] && kill -TERM "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop INT TERM EXIT

python3 "$here/app.py" --port "$app_port" --emoji "$examples/Emoji.setting" --pictures "$run/emoji" &
pids+=($!)
for _ in $(seq 50); do
  curl -s -o /dev/null "http://127.0.0.1:$app_port/" && break
  sleep 0.1
done
"$build/vantomer" serve --module "$run/vantomer.so" --listen "127.0.0.1:$port" \
  --upstream "http://127.0.0.1:$app_port" &
pids+=($!)

for _ in $(seq 50); do
  listening "$port" && break
  kill -0 "${pids[1]}" 2>/dev/null || { echo "demo: the server did not start" >&2; exit 1; }
  sleep 0.1
done

site="http://127.0.0.1:$port"
imode='DoCoMo/2.0 P903i(c100;TB;W24H12)'
ezweb='KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0'
jsky='SoftBank/1.0/910T/TJ001/SN123456789012345 Browser/NetFront/3.3 Profile/MIDP-2.0 Configuration/CLDC-1.1'
cat <<TEXT

The demo site is at $site (the application itself at 127.0.0.1:$app_port).
Handsets get Shift_JIS with their emoji as codes of the user-defined area
(code page 932); iconv makes the text readable here.

The start page as an i-mode handset (i-XHTML, i-mode emoji, WAP CSS):
  curl -s -A '$imode' $site/ | iconv -f CP932 -t UTF-8

as an EZweb handset (EZweb emoji, images where EZweb has none):
  curl -s -A '$ezweb' $site/ | iconv -f CP932 -t UTF-8

as a J-SKY handset (HTML, J-SKY emoji, marquee and istyle as they are):
  curl -s -A '$jsky' $site/ | iconv -f CP932 -t UTF-8

as a PC browser (UTF-8, emoji as images; open $site/ in a browser too):
  curl -s $site/

The response headers (content type and charset per handset):
  curl -s -D - -o /dev/null -A '$imode' $site/

A login that lives on for a handset without cookies: no cookie jar, the
stock key travels in the links the filter marks.
  link=\$(curl -s -A '$imode' '$site/login?id=taro' | grep -ao 'href="/([^"]*member"' | head -1 | cut -d'"' -f2)
  echo "\$link"
  curl -sg -A '$imode' "$site\$link" | iconv -f CP932 -t UTF-8 | grep -a 'logged in'

The same with the login form (the redirect comes back absolute and marked):
  curl -s -D - -o /dev/null -A '$imode' --data 'id=hanako&pin=1234' $site/login

Ctrl-C stops the demo.
TEXT

wait "${pids[1]}"
