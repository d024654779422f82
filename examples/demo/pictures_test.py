#!/usr/bin/env python3
"""Checks of the demo's picture step, offline.

    python3 examples/demo/pictures_test.py [-v]

The checks against the Twemoji package and the made pictures need a
`make demo` first (they look in $VANTOMER_BUILD, default build/); without it
they are skipped.
"""

import os
import tempfile
import unittest

import pictures

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "Emoji.setting")
BUILD = os.environ.get("VANTOMER_BUILD", os.path.join(HERE, "..", "..", "build"))
PACKAGE_SVG = os.path.join(BUILD, "demo-download", "twemoji", "svg")
MADE = os.path.join(BUILD, "demo", "emoji")
NUMBERS = list(range(1, 167)) + list(range(1001, 1087))


class ReadTable(unittest.TestCase):
    def test_every_number_once_with_its_unicode(self):
        table = pictures.read_table(TABLE)
        self.assertEqual([n for n, _, _ in table], NUMBERS)
        points = {n: p for n, _, p in table}
        for number, expected in [(1, [0x2600]), (125, [0x31, 0x20E3]), (1001, [0x1F3AC]),
                                 (108, None), (166, [0x1F197])]:
            self.assertEqual(points[number], expected, number)

    def test_a_comment_speaks_only_for_the_map_before_it(self):
        with tempfile.NamedTemporaryFile("w", suffix=".setting", delete=False) as f:
            f.write('<EmojiTable><!-- U+2601 -->\n<map num="1"/>\n<map num="2"/> <!-- U+2600 -->\n'
                    '<map num="1" comment="later"/> <!-- U+2614 --></EmojiTable>')
        self.addCleanup(os.remove, f.name)
        self.assertEqual(pictures.read_table(f.name), [(1, "", None), (2, "", [0x2600])])


class TwemojiFile(unittest.TestCase):
    def test_names(self):
        with tempfile.TemporaryDirectory() as folder:
            for name in ("31-20e3.svg", "2764.svg", "1f441-fe0f.svg"):
                open(os.path.join(folder, name), "w").close()
            for points, expected in [
                ([0x31, 0x20E3], "31-20e3.svg"),      # leading zeros dropped
                ([0x2764, 0xFE0F], "2764.svg"),       # selector dropped
                ([0x1F441], "1f441-fe0f.svg"),        # selector added
                ([0x2600], None),
                (None, None),
            ]:
                found = pictures.twemoji_file(folder, points)
                self.assertEqual(found and os.path.basename(found), expected, points)


@unittest.skipUnless(os.path.isdir(PACKAGE_SVG), "no Twemoji package (run make demo)")
class AgainstThePackage(unittest.TestCase):
    def test_every_unicode_emoji_of_the_table_has_a_picture(self):
        lacking = [(n, p) for n, _, p in pictures.read_table(TABLE)
                   if p and not pictures.twemoji_file(PACKAGE_SVG, p)]
        self.assertEqual(lacking, [])


@unittest.skipUnless(os.path.isfile(os.path.join(MADE, "made")), "no pictures made (run make demo)")
class MadePictures(unittest.TestCase):
    def test_every_number_has_an_svg_and_a_small_gif(self):
        for number in NUMBERS:
            with open(os.path.join(MADE, "%03d.svg" % number), "rb") as f:
                # a size of its own, or an img without one fills the page
                self.assertRegex(f.read(), rb"<svg[^>]*\swidth=\"1\d\"", number)
            with open(os.path.join(MADE, "%03d.gif" % number), "rb") as f:
                head = f.read(10)
            self.assertEqual(head[:3], b"GIF", number)
            width, height = int.from_bytes(head[6:8], "little"), int.from_bytes(head[8:10], "little")
            self.assertTrue(12 <= width <= 20 and 12 <= height <= 20, (number, width, height))


if __name__ == "__main__":
    unittest.main()
