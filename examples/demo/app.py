#!/usr/bin/env python3
"""The demo application behind `vantomer serve`.

It writes every page once, in TELMARK (text/x-telmark), and leaves it to the
filter to turn each page into what the handset asking for it understands.
Standard library only.

    python3 app.py [--port 8081] [--emoji ../Emoji.setting] [--pictures DIR]

The emoji pictures (/emoji/NNN.svg for browsers, /emoji/NNN.gif for handsets)
come from DIR, made by pictures.py; a number without one there gets a
numbered square or a blank GIF.
"""

import argparse
import html
import http.cookies
import http.server
import os
import urllib.parse
import xml.etree.ElementTree as ElementTree

from pictures import placeholder_svg

TELMARK = "text/x-telmark; charset=UTF-8"
SESSION = "demo_session"

# A 1x1 GIF for a handset picture that was not made.
TINY_GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01"
            b"\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")

EMOJI_NAMES = {}


def load_emoji_names(path):
    """Emoji number -> its comment text, to label the generated images."""
    try:
        for item in ElementTree.parse(path).getroot().findall("map"):
            num, comment = item.get("num", ""), item.get("comment")
            if num.isdigit() and comment:
                EMOJI_NAMES.setdefault(int(num), comment)
    except (OSError, ElementTree.ParseError):
        pass


PICTURES = {"dir": None, "credit": None}


def load_pictures(folder):
    """The folder of made pictures and the credit their licence asks for."""
    PICTURES["dir"] = folder
    try:
        with open(os.path.join(folder, "credit"), encoding="utf-8") as f:
            text, url, short = (f.read().splitlines() + ["", "", ""])[:3]
            PICTURES["credit"] = (text, url, short or text)
    except OSError:
        pass


def emoji_picture(number, ext):
    """The picture's bytes: the made one, else a placeholder."""
    if PICTURES["dir"]:
        try:
            with open(os.path.join(PICTURES["dir"], "%03d.%s" % (number, ext)), "rb") as f:
                return f.read()
        except OSError:
            pass
    if ext == "svg":
        return placeholder_svg(number, EMOJI_NAMES.get(number, ""))
    return TINY_GIF


def credit():
    """The pictures' attribution for the footer: a link for browsers, short
    text for handsets."""
    if not PICTURES["credit"]:
        return "", ""
    text, url, short = PICTURES["credit"]
    return ('<br/><a href="%s">%s</a>' % (html.escape(url), html.escape(text)),
            "<br/>%s" % html.escape(short))


def page(title, body, emoji=1):
    """A TELMARK page: XHTML with k-emoji, k-carrier and k-mode."""
    return ("""<html xmlns="http://www.w3.org/1999/xhtml">
<head><title>%s</title></head>
<body>
<h1><a name="top" id="top"><k-emoji num="%d"/>%s</a></h1>
%s
<hr/>
<div>
<a href="/" accesskey="0">トップへ戻る (top)</a>
</div>
<k-carrier pc="true"><div>&copy;&nbsp;Vantomer demo%s</div></k-carrier>
<k-carrier pc="false"><div>(C) Vantomer demo%s</div></k-carrier>
</body>
</html>
""" % ((html.escape(title), emoji, html.escape(title), body) + credit())).encode("utf-8")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VantomerDemo/1.0"

    # --- plumbing -------------------------------------------------------

    def user(self):
        cookies = http.cookies.SimpleCookie()
        try:
            cookies.load(self.headers.get("Cookie", ""))
        except http.cookies.CookieError:
            return ""
        morsel = cookies.get(SESSION)
        return morsel.value if morsel else ""

    def send(self, status, content_type, body, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def log_message(self, fmt, *args):
        pass  # vantomer writes the access log

    def do_HEAD(self):
        self.do_GET()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        path = url.path
        if path == "/":
            return self.send(200, TELMARK, self.index())
        if path == "/weather":
            return self.send(200, TELMARK, self.weather())
        if path == "/emoji":
            return self.send(200, TELMARK, self.emoji_list())
        if path == "/search":
            return self.send(200, TELMARK, self.search(query))
        if path == "/login":
            name = query.get("id", [""])[0]
            if name:
                return self.login(name, redirect=False)
            return self.send(200, TELMARK, self.login_form())
        if path == "/member":
            return self.send(200, TELMARK, self.member())
        if path == "/logout":
            return self.send(200, TELMARK, page("ログアウト (logged out)",
                                                "<p>ログアウトしました。logged out</p>", 116),
                             [("Set-Cookie", SESSION + "=; Path=/")])
        if path.startswith("/emoji/"):
            stem, _, ext = path[len("/emoji/"):].partition(".")
            types = {"svg": "image/svg+xml", "gif": "image/gif"}
            # The number is read, never the path: no way out of the folder.
            if stem.isdigit() and len(stem) <= 6 and ext in types:
                return self.send(200, types[ext], emoji_picture(int(stem), ext),
                                 [("Cache-Control", "max-age=86400")])
        return self.send(404, "text/plain; charset=utf-8", b"404 Not Found\n")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        form = urllib.parse.parse_qs(self.rfile.read(length).decode("utf-8", "replace"))
        if urllib.parse.urlsplit(self.path).path == "/login":
            name = form.get("id", [""])[0]
            if name:
                return self.login(name, redirect=True)
            return self.send(200, TELMARK, self.login_form("IDを入力してください (enter an ID)"))
        return self.send(404, "text/plain; charset=utf-8", b"404 Not Found\n")

    # --- pages ----------------------------------------------------------

    def state(self):
        name = self.user()
        if name:
            return '<p><k-emoji num="135"/>logged in as %s</p>' % html.escape(name)
        return '<p>not logged in (<a href="/login" accesskey="#">login</a>)</p>'

    def index(self):
        body = """<marquee behavior="scroll" direction="left" loop="3"><k-emoji num="149"/>Vantomerデモへようこそ<k-emoji num="149"/></marquee>
<k-carrier i="true"><div><k-emoji num="108"/>iモード端末でご覧いただいています。(i-mode)</div></k-carrier>
<k-carrier ez="true"><div>EZweb端末でご覧いただいています。(EZweb)</div></k-carrier>
<k-carrier j="true"><div>J-SKY端末でご覧いただいています。(J-SKY)</div></k-carrier>
<k-carrier pc="true"><div>パソコンでご覧いただいています。絵文字は画像です。(PC)</div></k-carrier>
%s
<div>
<a href="/weather" accesskey="1">天気予報 (weather)</a><br/>
<a href="/login" accesskey="2">ログイン (login)</a><br/>
<a href="/member" accesskey="3">会員ページ (members)</a><br/>
<a href="/logout" accesskey="4">ログアウト (logout)</a><br/>
<a href="/search?q=%%E5%%A4%%A9%%E6%%B0%%97" accesskey="5">検索例 (search)</a><br/>
<a href="/emoji" accesskey="6">絵文字一覧 (all emoji)</a><br/>
<a href="http://www.example.com/" accesskey="9">外部サイト (external, never marked)</a><br/>
<a href="#top" accesskey="*">ページの先頭へ (top)</a>
</div>
<h2><k-emoji num="119"/>サイト内検索 (search)</h2>
<form action="/search" method="get">
<div>
キーワード<br/>
<input type="text" name="q" size="14" k-mode="jp"/><br/>
郵便番号<br/>
<input type="text" name="zip" size="8" maxlength="7" k-mode="n"/><br/>
メール<br/>
<input type="text" name="mail" size="16" k-mode="en"/><br/>
ニックネーム（半角カナ）<br/>
<input type="text" name="kana" size="16" istyle="2"/><br/>
<input type="submit" value="検索"/>
</div>
</form>
<div>
<a href="tel:0120000000"><k-emoji num="74"/>お電話 (tel)</a><br/>
<a href="mailto:info@example.jp"><k-emoji num="110"/>メール (mail)</a>
</div>""" % self.state()
        return page("Vantomerデモ", body, 1)

    def weather(self):
        body = """<div>
東京 <k-emoji num="1"/>のち<k-emoji num="2"/> 23℃<br/>
大阪 <k-emoji num="3"/> 21℃<br/>
札幌 <k-emoji num="4"/> 2℃<br/>
那覇 <k-emoji num="6"/> 28℃<br/>
</div>
<marquee behavior="alternate" direction="right"><k-emoji num="157"/>台風情報 (typhoon warning)</marquee>"""
        return page("天気予報 (weather)", body, 1)

    def emoji_list(self):
        """Every emoji of the table, ten to a line: each family shows its
        own codes, and the pictures where it has none."""
        numbers = sorted(EMOJI_NAMES) or list(range(1, 167))
        lines = []
        for start in range(0, len(numbers), 10):
            row = numbers[start:start + 10]
            lines.append("%d-%d " % (row[0], row[-1])
                         + "".join('<k-emoji num="%d"/>' % n for n in row) + "<br/>")
        return page("絵文字一覧 (all emoji)", "<div>\n%s\n</div>" % "\n".join(lines), 149)

    def search(self, query):
        words = " ".join(query.get("q", [])) or "(なし)"
        return page("検索結果 (results)",
                    "<p>キーワード: %s</p><p>0件見つかりました。no results</p>" % html.escape(words),
                    119)

    def login_form(self, note=""):
        body = """%s
<k-carrier i="true" ez="true" j="true"><div>携帯電話でもログイン状態はサーバー側で保持されます。</div></k-carrier>
<k-carrier pc="true"><div>ログイン状態はCookieに保存されます。</div></k-carrier>
<form action="/login" method="post">
<div>
会員ID<br/>
<input type="text" name="id" size="16" k-mode="en"/><br/>
パスワード（数字4桁）<br/>
<input type="password" name="pin" size="6" maxlength="4" k-mode="n"/><br/>
<input type="submit" value="ログイン"/>
</div>
</form>""" % (("<p><k-emoji num=\"157\"/>%s</p>" % html.escape(note)) if note else "")
        return page("ログイン (login)", body, 116)

    def login(self, name, redirect):
        cookie = ("Set-Cookie", "%s=%s; Path=/" % (SESSION, urllib.parse.quote(name, safe="")))
        if redirect:
            # A relative redirect: the filter makes it absolute and, for a
            # handset without cookies, carries the stock key in it.
            return self.send(302, TELMARK, page("ログイン (login)", '<p><a href="member">member</a></p>'),
                             [cookie, ("Location", "member")])
        body = """<p><k-emoji num="135"/>logged in as %s</p>
<div><a href="/member" accesskey="1">会員ページへ (members)</a></div>""" % html.escape(name)
        return self.send(200, TELMARK, page("ログイン完了 (logged in)", body, 116), [cookie])

    def member(self):
        name = self.user()
        key = self.headers.get("X-Cookie-Stock-Key", "")
        how = ""
        if name and key:
            how = "<p>Cookieはサーバーに保管されています (cookie kept by the filter, key %s)</p>" % html.escape(key)
        elif name:
            how = "<p>Cookieはブラウザに保存されています (cookie kept by the browser)</p>"
        body = """%s
%s
<div>
<a href="/member" accesskey="1">再読み込み (reload)</a><br/>
<a href="/logout" accesskey="2">ログアウト (logout)</a>
</div>""" % (self.state(), how)
        return page("会員ページ (members)", body, 135)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="The Vantomer demo application")
    parser.add_argument("--port", type=int, default=8081)
    parser.add_argument("--emoji", default=os.path.join(here, "..", "Emoji.setting"))
    parser.add_argument("--pictures", help="folder of the emoji pictures made by pictures.py")
    args = parser.parse_args()
    load_emoji_names(args.emoji)
    if args.pictures:
        load_pictures(args.pictures)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
