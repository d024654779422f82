#!/usr/bin/env python3
"""Makes the demo's emoji pictures: NNN.svg for browsers, NNN.gif for handsets.

Each number of the emoji table gets the Twemoji picture of its Unicode
equivalent (the U+... that opens the comment after its <map> line). The
Twemoji package comes from the npm registry on first use and is kept in the
download folder. Numbers without an equivalent (the carriers' own marks),
and every number when the package cannot be had, get a numbered square.

    python3 pictures.py --emoji ../Emoji.setting --out DIR [--download DIR]

Needs rsvg-convert (librsvg2-bin) and Pillow (python3-pil) for the GIFs;
without them the handsets get no GIFs and the application sends a blank one.
"""

import argparse
import concurrent.futures
import hashlib
import html
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import xml.etree.ElementTree as ElementTree

PACKAGE = "@discordapp/twemoji@16.0.1"
CREDIT = ("Emoji graphics: Twemoji 16.0.1, copyright Twitter, Inc and other "
          "contributors, licensed under CC-BY 4.0")
LICENSE_URL = "https://creativecommons.org/licenses/by/4.0/"
GIF_SIZE = 16  # handset emoji are 12 to 20 pixels
SVG_SIZE = 16  # beside text of 16 pixels, as in most browsers
SVG_NAME = re.compile(r"^[0-9a-f]+(-[0-9a-f]+)*\.svg$")


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


def twemoji_file(svg_dir, points):
    """The package's file for these code points: Twemoji names drop leading
    zeros and mostly the variation selector FE0F."""
    if not points:
        return None
    bare = [p for p in points if p != 0xFE0F]
    for variant in (points, bare, bare + [0xFE0F]):
        path = os.path.join(svg_dir, "-".join("%x" % p for p in variant) + ".svg")
        if os.path.isfile(path):
            return path
    return None


def sized(svg):
    """Twemoji's SVGs have only a viewBox, so an img without a size would be
    drawn as wide as the page: give the root the size of the text."""
    start = svg.find(b"<svg")
    end = svg.find(b">", start)
    if start < 0 or end < 0 or re.search(rb"\swidth=", svg[start:end]):
        return svg
    return svg[:start + 4] + b' width="%d" height="%d"' % (SVG_SIZE, SVG_SIZE) + svg[start + 4:]


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


def download(folder):
    """The package's SVG folder under folder, fetched with npm when missing;
    None when it cannot be had."""
    svg_dir = os.path.join(folder, "twemoji", "svg")
    done = os.path.join(folder, "twemoji", "complete")
    if os.path.isfile(done):
        return svg_dir
    if not shutil.which("npm"):
        say("npm is not installed, so the Twemoji pictures cannot be fetched; "
            "the emoji are numbered squares (scripts/setup.sh demo installs npm)")
        return None
    os.makedirs(folder, exist_ok=True)
    say("fetching the emoji pictures (%s) from the npm registry, once" % PACKAGE)
    with tempfile.TemporaryDirectory(dir=folder) as work:
        try:
            run = subprocess.run(
                ["npm", "pack", "--loglevel=error", "--fetch-retries=1", "--fetch-timeout=30000",
                 "--pack-destination", work, PACKAGE],
                cwd=work, capture_output=True, text=True, timeout=180)
        except subprocess.TimeoutExpired:
            run = None
        tarballs = [f for f in os.listdir(work) if f.endswith(".tgz")]
        if run is None or run.returncode != 0 or not tarballs:
            reason = "no answer in 180 s" if run is None else npm_error(run)
            say("could not fetch %s from the npm registry (%s); the emoji are "
                "numbered squares until a later run can reach it" % (PACKAGE, reason))
            return None
        unpacked = os.path.join(work, "twemoji")
        os.makedirs(os.path.join(unpacked, "svg"))
        # Only plain files by names we expect are written: a tarball is
        # outside input, its paths are not trusted.
        with tarfile.open(os.path.join(work, tarballs[0])) as tar:
            for member in tar.getmembers():
                name = os.path.basename(member.name)
                if not member.isfile():
                    continue
                if member.name == "package/dist/svg/" + name and SVG_NAME.match(name):
                    target = os.path.join(unpacked, "svg", name)
                elif member.name in ("package/LICENSE", "package/README.md"):
                    target = os.path.join(unpacked, name)
                else:
                    continue
                with tar.extractfile(member) as source, open(target, "wb") as out:
                    shutil.copyfileobj(source, out)
        with open(os.path.join(unpacked, "complete"), "w") as stamp:
            stamp.write(PACKAGE + "\n")
        shutil.rmtree(os.path.join(folder, "twemoji"), ignore_errors=True)
        os.rename(unpacked, os.path.join(folder, "twemoji"))
    return svg_dir


def npm_error(run):
    """npm's error in one line: its "code" line (ECONNREFUSED, E404...)."""
    lines = [line for line in run.stderr.splitlines() if line.strip()]
    for line in lines:
        if " code " in line:
            return line.strip()
    return lines[0].strip() if lines else "npm exited with %d" % run.returncode


def to_gif(svg_path, gif_path):
    """One handset GIF, on white: handset pages are white and GIF has only
    all-or-nothing transparency, which would fray the edges."""
    from PIL import Image  # only needed here; checked by the caller
    png = subprocess.run(
        ["rsvg-convert", "--width", str(GIF_SIZE), "--height", str(GIF_SIZE),
         "--keep-aspect-ratio", "--background-color", "white", svg_path],
        capture_output=True, check=True, timeout=60).stdout
    with Image.open(io.BytesIO(png)) as image:
        canvas = Image.new("RGB", (GIF_SIZE, GIF_SIZE), "white")
        rgba = image.convert("RGBA")
        canvas.paste(rgba, ((GIF_SIZE - rgba.width) // 2, (GIF_SIZE - rgba.height) // 2), rgba)
        canvas.quantize(colors=64).save(gif_path, "GIF")


def gif_tools():
    """Why the GIFs cannot be made, or None when they can."""
    if not shutil.which("rsvg-convert"):
        return "rsvg-convert (librsvg2-bin) is missing"
    try:
        import PIL  # noqa: F401
    except ImportError:
        return "Pillow (python3-pil) is missing"
    return None


def make(table, svg_dir, out):
    """Writes NNN.svg and NNN.gif for every number; answers how many numbers
    got a Twemoji picture."""
    os.makedirs(out, exist_ok=True)
    found = 0
    for number, comment, points in table:
        source = twemoji_file(svg_dir, points) if svg_dir else None
        target = os.path.join(out, "%03d.svg" % number)
        if source:
            with open(source, "rb") as f:
                svg = f.read()
            with open(target, "wb") as f:
                f.write(sized(svg))
            found += 1
        else:
            with open(target, "wb") as svg:
                svg.write(placeholder_svg(number, comment))
    missing = gif_tools()
    if missing:
        say("no handset GIFs: %s (scripts/setup.sh demo installs it)" % missing)
        return found
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        jobs = {n: pool.submit(to_gif, os.path.join(out, "%03d.svg" % n), os.path.join(out, "%03d.gif" % n))
                for n, _, _ in table}
        for number, job in jobs.items():
            try:
                job.result()
            except (OSError, ValueError, subprocess.SubprocessError) as error:
                failed.append(number)
                last = error
    if failed:
        # The application sends a blank GIF for these; the next run tries again.
        raise PictureError("no GIF for %d numbers (%s ...): %s"
                           % (len(failed), ", ".join(map(str, failed[:5])), last))
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Makes the demo's emoji pictures")
    parser.add_argument("--emoji", default=os.path.join(here, "..", "Emoji.setting"))
    parser.add_argument("--out", required=True, help="folder for NNN.svg and NNN.gif")
    parser.add_argument("--download", help="folder that keeps the fetched package "
                        "(default: the parent of --out)")
    args = parser.parse_args()

    table = read_table(args.emoji)
    svg_dir = download(args.download or os.path.dirname(os.path.abspath(args.out)))

    # Made again only when the table, the package or this script changed.
    stamp_text = hashlib.sha256()
    for path in (args.emoji, os.path.abspath(__file__)):
        with open(path, "rb") as f:
            stamp_text.update(f.read())
    stamp_text.update(("%s %s %s" % (svg_dir, PACKAGE, gif_tools())).encode())
    stamp = os.path.join(args.out, "made")
    if os.path.isfile(stamp):
        with open(stamp) as f:
            if f.read() == stamp_text.hexdigest():
                return 0

    try:
        found = make(table, svg_dir, args.out)
    except PictureError as error:
        say(str(error))
        return 1
    credit = os.path.join(args.out, "credit")
    if found:
        with open(credit, "w") as f:
            f.write("%s\n%s\n" % (CREDIT, LICENSE_URL))
    elif os.path.exists(credit):
        os.remove(credit)
    with open(stamp, "w") as f:
        f.write(stamp_text.hexdigest())
    say("emoji pictures in %s: %d of %d numbers from Twemoji, %d numbered squares"
        % (args.out, found, len(table), len(table) - found))
    return 0


if __name__ == "__main__":
    sys.exit(main())
