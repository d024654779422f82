#!/usr/bin/env python3
"""Checks of the demo's picture step, offline.

    python3 examples/demo/pictures_test.py [-v]

The checks against the font need fonts-noto-color-emoji, python3-fonttools
and python3-pil, which `scripts/setup.sh` installs; without them they are
skipped, and the skip names the commands that run them.
"""

import os
import tempfile
import unittest

import pictures

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE = os.path.join(HERE, "..", "Emoji.setting")
NUMBERS = list(range(1, 167)) + list(range(1001, 1087))
MISSING = pictures.font_missing(pictures.FONT) or pictures.gif_missing()
SKIP = "%s: run `scripts/setup.sh`, then `/usr/bin/python3 %s` from the top of the checkout" % (
    MISSING, os.path.relpath(os.path.abspath(__file__), os.path.join(HERE, "..", "..")))


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


@unittest.skipIf(MISSING, SKIP)
class FromTheFont(unittest.TestCase):
    def test_sequences_and_variation_selectors(self):
        font = pictures.EmojiFont(pictures.FONT)
        for points, found in [([0x2600], True), ([0x2764, 0xFE0F], True),  # selector dropped
                              ([0x31, 0x20E3], True), ([0x1F1EF, 0x1F1F5], True),  # keycap, flag
                              ([0x41], False), ([0x31, 0x31], False), (None, False)]:
            self.assertEqual(font.png(points) is not None, found, points)

    def test_every_number_gets_a_small_svg_and_gif(self):
        table = pictures.read_table(TABLE)
        with tempfile.TemporaryDirectory() as out:
            found = pictures.make(table, pictures.EmojiFont(pictures.FONT), out)
            # Only the carriers' own marks, which Unicode lacks, are squares.
            self.assertEqual(found, len([n for n, _, p in table if p]))
            for number in NUMBERS:
                with open(os.path.join(out, "%03d.svg" % number), "rb") as f:
                    # a size of its own, or an img without one fills the page
                    self.assertRegex(f.read(), rb"<svg[^>]*\swidth=\"16\"", number)
                with open(os.path.join(out, "%03d.gif" % number), "rb") as f:
                    head = f.read(10)
                self.assertEqual(head[:3], b"GIF", number)
                self.assertEqual((head[6:8], head[8:10]), (b"\x10\x00", b"\x10\x00"), number)


if __name__ == "__main__":
    unittest.main()
