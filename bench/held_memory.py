#!/usr/bin/env python3
"""Time and memory of large held pages through `vantomer serve`.

usage: bench/held_memory.py BUILD_DIR [SETTINGS_FILE]

Serves generated pages from a temporary directory with the module of
BUILD_DIR (and the example settings, or SETTINGS_FILE), sends N requests at
once for each page and prints the server's resident size before, at its peak
(VmHWM) and after, with the answers' statuses and the slowest answer.
THREADS (default 2) sets `--threads`.
"""
import http.client
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HANDSET = "DoCoMo/2.0 P903i(c100;TB;W24H12)"


def pages():
    para = ('<p>あいうえお かきくけこ <k-emoji num="1"/> a <a href="/next.tm?x=1">link</a> '
            + "text " * 40 + "</p>\n")
    text = "<html><body>\n"
    while len(text.encode()) < 2 * 1024 * 1024 - 2000:
        text += para
    dense = "<html><body>" + "".join('<a href="/p%d">l</a>' % i for i in range(66000))

    def flood(n):
        return "<html><body><p" + "".join(' a%d="x"' % i for i in range(n)) + ">t</p></body></html>"

    return {"text-2m.tm": text + "</body></html>", "dense-1.5m.tm": dense + "</body></html>",
            "attributes-20k.tm": flood(20000), "attributes-80k.tm": flood(80000)}


def vm(pid, key):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1]) / 1024
    return 0.0


def get(port, path, results, i):
    start = time.time()
    try:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
        connection.request("GET", path, headers={"User-Agent": HANDSET})
        response = connection.getresponse()
        response.read()
        results[i] = (response.status, time.time() - start)
    except OSError as error:
        results[i] = (str(error), time.time() - start)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(build, settings, root, page, n):
    module = os.path.join(root, "module")
    port = free_port()
    server = subprocess.Popen(
        [os.path.join(build, "vantomer"), "serve", "--module", os.path.join(module, "vantomer.so"),
         "--root", os.path.join(root, "www"), "--mime", ".tm=text/x-telmark; charset=UTF-8",
         "--listen", "127.0.0.1:%d" % port, "--threads", os.environ.get("THREADS", "2")],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port)).close()
            break
        except OSError:
            time.sleep(0.05)
    get(port, "/small.tm", {}, 0)
    base = vm(server.pid, "VmRSS")
    results = [None] * n
    clients = [threading.Thread(target=get, args=(port, "/" + page, results, i)) for i in range(n)]
    for client in clients:
        client.start()
    for client in clients:
        client.join()
    time.sleep(1.5)
    peak, after = vm(server.pid, "VmHWM"), vm(server.pid, "VmRSS")
    server.terminate()
    server.wait()
    statuses = {}
    for status, _ in results:
        statuses[status] = statuses.get(status, 0) + 1
    print("%-18s %2d at once  base %6.1f MB  peak %6.1f MB  after %6.1f MB  %s  slowest %.3f s"
          % (page, n, base, peak, after, statuses, max(t for _, t in results)))


def main():
    build = sys.argv[1]
    settings = sys.argv[2] if len(sys.argv) > 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples", "Vantomer.setting")
    root = tempfile.mkdtemp()
    try:
        module = os.path.join(root, "module")
        os.makedirs(module)
        os.makedirs(os.path.join(root, "www"))
        shutil.copy(os.path.join(build, "vantomer.so"), module)
        shutil.copy(settings, os.path.join(module, "Vantomer.setting"))
        shutil.copy(os.path.join(os.path.dirname(settings), "Emoji.setting"), module)
        with open(os.path.join(root, "www", "small.tm"), "w") as f:
            f.write("<html><body><p>small</p></body></html>")
        for name, text in pages().items():
            with open(os.path.join(root, "www", name), "w") as f:
                f.write(text)
        for page, n in [("attributes-20k.tm", 1), ("attributes-80k.tm", 1), ("text-2m.tm", 1),
                        ("text-2m.tm", 4), ("text-2m.tm", 16), ("dense-1.5m.tm", 4),
                        ("dense-1.5m.tm", 16)]:
            run(build, settings, root, page, n)
    finally:
        shutil.rmtree(root)


main()
