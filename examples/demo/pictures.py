#!/usr/bin/env python3
"""Makes the demo's emoji pictures: NNN.svg for browsers, NNN.gif for handsets.

Each number of the emoji table gets the picture of its Unicode equivalent
(the U+... that opens the comment after its <map> line), taken from Debian's
Noto Color Emoji font (fonts-noto-color-emoji), whose colour bitmaps are PNG
images that fontTools (python3-fonttools) reads. Numbers without an
equivalent (the carriers' own marks), and every number when the font or
fontTools is missing, get a numbered square.

    python3 pictures.py --emoji ../Emoji.setting --out DIR [--font FILE]

The GIFs need Pillow (python3-pil); without it the handsets get no GIFs and
the application sends a blank one. `scripts/setup.sh` installs all three.
"""

import argparse
import base64
import hashlib
import html
import io
import os
import sys
import xml.etree.ElementTree as ElementTree

FONT = "/usr/share/fonts/truetype/noto/NotoColorEmoji.ttf"
CREDIT = ("Emoji graphics: Noto Color Emoji (Debian's fonts-noto-color-emoji), "
          "copyright Google Inc., font under the SIL Open Font License 1.1, "
          "images under the Apache License 2.0")
CREDIT_URL = "https://github.com/googlefonts/noto-emoji"
CREDIT_SHORT = "Emoji: Noto Color Emoji (OFL 1.1)"
GIF_SIZE = 16  # handset emoji are 12 to 20 pixels
SVG_SIZE = 16  # beside text of 16 pixels, as in most browsers
VARIATION_SELECTOR = 0xFE0F


class PictureError(Exception):
    pass


def say(text):
    print("demo: " + text, file=sys.stderr, flush=True)


def read_table(path):
    """[(number, comment text, [code points] or None)] from the emoji table."""
    builder = ElementTree.TreeBuilder(insert_comments=True)
    root = ElementTree.parse(path, ElementTree.XMLParser(target=builder)).getroot()
    table, last = [], None
    for node in root:
        if node.tag == "map" and node.get("num", "").isdigit():
            last = [int(node.get("num")), node.get("comment", ""), None]
            table.append(last)
        elif node.tag is ElementTree.Comment and last is not None:
            # "U+0031+20E3 F8A1 ..." or "- F8A1 ...": only a comment right
            # after its <map> speaks for it.
            words = (node.text or "").split()
            if words and words[0].startswith("U+"):
                last[2] = [int(cp, 16) for cp in words[0][2:].split("+")]
            last = None
        else:
            last = None
    seen, result = set(), []
    for number, comment, points in table:
        if number not in seen:  # the first line for a number wins, as in the filter
            seen.add(number)
            result.append((number, comment, points))
    return result


class EmojiFont:
    """The colour bitmaps of an emoji font, found by code points."""

    def __init__(self, path):
        from fontTools.ttLib import TTFont  # checked by the caller
        self.font = TTFont(path, lazy=True)
        self.cmap = self.font.getBestCmap()
        self.bitmaps = self.font["CBDT"].strikeData[0]
        # Sequences (keycaps, flags, joined emoji) are ligatures of the
        # glyphs of their code points.
        self.ligatures = {}
        for lookup in self.font["GSUB"].table.LookupList.Lookup:
            for table in lookup.SubTable:
                if lookup.LookupType == 7:
                    table = table.ExtSubTable
                if getattr(table, "LookupType", lookup.LookupType) != 4:
                    continue
                for first, entries in table.ligatures.items():
                    for entry in entries:
                        self.ligatures.setdefault((first, *entry.Component), entry.LigGlyph)

    def png(self, points):
        """The PNG of these code points, or None."""
        if not points:
            return None
        glyphs = [self.cmap.get(p) for p in points if p != VARIATION_SELECTOR]
        if not glyphs or None in glyphs:
            return None
        glyph = glyphs[0] if len(glyphs) == 1 else self.ligatures.get(tuple(glyphs))
        bitmap = self.bitmaps.get(glyph) if glyph else None
        data = getattr(bitmap, "imageData", b"") if bitmap is not None else b""
        return data if data.startswith(b"\x89PNG") else None


def font_missing(path):
    """Why the font's pictures cannot be had, or None when they can."""
    if not os.path.isfile(path):
        return "the font %s (fonts-noto-color-emoji) is missing" % path
    try:
        import fontTools  # noqa: F401
    except ImportError:
        return "fontTools (python3-fonttools) is missing"
    return None


def gif_missing():
    """Why the GIFs cannot be made, or None when they can."""
    try:
        import PIL  # noqa: F401
    except ImportError:
        return "Pillow (python3-pil) is missing"
    return None


def picture_svg(png):
    """The PNG in an SVG of the text's size: the pages ask for NNN.svg, and a
    browser scales the large bitmap down sharply, also on dense screens."""
    return ('<svg xmlns="http://www.w3.org/2000/svg" '
            'xmlns:xlink="http://www.w3.org/1999/xlink" width="%d" height="%d" '
            'viewBox="0 0 16 16"><image width="16" height="16" '
            'preserveAspectRatio="xMidYMid meet" xlink:href="data:image/png;base64,%s"/></svg>'
            % (SVG_SIZE, SVG_SIZE, base64.b64encode(png).decode("ascii"))).encode("ascii")


def placeholder_svg(number, label=""):
    """A numbered square, for numbers that have no picture."""
    label = html.escape(label or "emoji %d" % number)
    hue = (number * 47) % 360
    size = 8 if number < 100 else 6 if number < 1000 else 4
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
            'viewBox="0 0 16 16"><title>%s</title>'
            '<rect x="0.5" y="0.5" width="15" height="15" rx="4" '
            'fill="hsl(%d,70%%,50%%)" stroke="hsl(%d,70%%,30%%)"/>'
            '<text x="8" y="11.5" font-family="sans-serif" font-size="%d" '
            'text-anchor="middle" fill="#fff">%d</text></svg>'
            % (SVG_SIZE, SVG_SIZE, label, hue, hue, size, number)).encode("utf-8")


def to_gif(png, number):
    """One handset GIF, on white: handset pages are white and GIF has only
    all-or-nothing transparency, which would fray the edges. Without a
    picture, a square in the placeholder's colour."""
    from PIL import Image, ImageDraw
    canvas = Image.new("RGB", (GIF_SIZE, GIF_SIZE), "white")
    if png:
        with Image.open(io.BytesIO(png)) as image:
            rgba = image.convert("RGBA")
            rgba.thumbnail((GIF_SIZE, GIF_SIZE), getattr(Image, "Resampling", Image).LANCZOS)
            canvas.paste(rgba, ((GIF_SIZE - rgba.width) // 2, (GIF_SIZE - rgba.height) // 2), rgba)
    else:
        colour = "hsl(%d,70%%,50%%)" % ((number * 47) % 360)
        ImageDraw.Draw(canvas).rounded_rectangle((0, 0, GIF_SIZE - 1, GIF_SIZE - 1), 4, fill=colour)
    out = io.BytesIO()
    canvas.quantize(colors=64).save(out, "GIF")
    return out.getvalue()


def make(table, font, out):
    """Writes NNN.svg and NNN.gif for every number; answers how many numbers
    got a picture from the font."""
    os.makedirs(out, exist_ok=True)
    gifs = gif_missing() is None
    found = 0
    for number, comment, points in table:
        png = font.png(points) if font else None
        found += png is not None
        with open(os.path.join(out, "%03d.svg" % number), "wb") as f:
            f.write(picture_svg(png) if png else placeholder_svg(number, comment))
        if gifs:
            try:
                gif = to_gif(png, number)
            except (OSError, ValueError) as error:
                raise PictureError("no GIF for %d: %s" % (number, error))
            with open(os.path.join(out, "%03d.gif" % number), "wb") as f:
                f.write(gif)
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Makes the demo's emoji pictures")
    parser.add_argument("--emoji", default=os.path.join(here, "..", "Emoji.setting"))
    parser.add_argument("--out", required=True, help="folder for NNN.svg and NNN.gif")
    parser.add_argument("--font", default=FONT, help="a font with colour bitmaps (CBDT)")
    parser.add_argument("--quiet", action="store_true", help="say only what went wrong")
    args = parser.parse_args()

    table = read_table(args.emoji)
    missing = font_missing(args.font)

    # Made again only when the table, the font, the tools or this script changed.
    stamp_text = hashlib.sha256()
    for path in (args.emoji, os.path.abspath(__file__)):
        with open(path, "rb") as f:
            stamp_text.update(f.read())
    font_stamp = missing or "%s %d" % (args.font, os.stat(args.font).st_mtime_ns)
    stamp_text.update(("%s %s" % (font_stamp, gif_missing())).encode())
    stamp = os.path.join(args.out, "made")
    if os.path.isfile(stamp):
        with open(stamp) as f:
            if f.read() == stamp_text.hexdigest():
                return 0

    if missing:
        say("%s, so the emoji are numbered squares (scripts/setup.sh installs it)" % missing)
    if gif_missing():
        say("no handset GIFs: %s (scripts/setup.sh installs it)" % gif_missing())
    try:
        found = make(table, None if missing else EmojiFont(args.font), args.out)
    except (PictureError, OSError, KeyError) as error:
        say(str(error))
        return 1
    credit = os.path.join(args.out, "credit")
    if found:
        with open(credit, "w") as f:
            f.write("%s\n%s\n%s\n" % (CREDIT, CREDIT_URL, CREDIT_SHORT))
    elif os.path.exists(credit):
        os.remove(credit)
    with open(stamp, "w") as f:
        f.write(stamp_text.hexdigest())
    if not args.quiet:
        say("emoji pictures in %s: %d of %d numbers from the font, %d numbered squares"
            % (args.out, found, len(table), len(table) - found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
