#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog over a folder of every format a collection holds, made here: each file's
format, its screen and colour columns, its art digest and whether it gets a picture.
Usage: format_test.py TINTREL_CATALOG [unittest arguments]"""
import hashlib, json, os, subprocess, sys, tempfile, unittest

CATALOG = sys.argv[1]


def sauce(data_type=1, file_type=1, width=80, lines=25, flags=0):
    """A record with no byte 26 and no comments in front of it."""
    return (b"SAUCE00" + b"Shown".ljust(35) + b"ink".ljust(20) + b"Crew".ljust(20) + b"20260101" +
            bytes(4) + bytes([data_type, file_type]) + width.to_bytes(2, "little") +
            lines.to_bytes(2, "little") + bytes(4) + bytes([0, flags]) + bytes(22))


PALETTE = bytes(range(48))
CELLS = b"A\x1fB\x1f\xdb\x4e\xdb\x4e \x07x\x02\xb0\x13\xb0\x13"  # 4 columns, 2 rows
FILES = {
    "plain.xb": b"XBIN\x1a\x04\0\x02\0\x08\x03" + PALETTE + b"\x18" * 2048 + CELLS,
    "packed.xb": b"XBIN\x1a\x04\0\x02\0\x10\x04\x81\x1fAB\xc1\xdb\x4e\x01 \x07x\x02\x41\xb0\x13\x13",
    "cells.bin": CELLS[:8] + bytes(312) + CELLS[8:] + bytes(312),
    "art.adf": b"\x01" + PALETTE * 4 + b"\x3c" * 4096 + CELLS[:8] + bytes(152),
    "art.idf": b"\x041.4\0\0\0\0\x03\0\x01\0A\x1fB\x1f\x01\0\x02\0\xdb\x4e" + CELLS[8:] +
               b"\x3c" * 4096 + PALETTE,
    "art.tnd": b"\x18TUNDRA24\x06A\0\xff\xff\xff\0\0\0\xaaB",
    "art.pcb": b"@X1FAB@X4E\xdb\xdb\r\n@X07 @X02x@X13\xb0\xb0",
    "art.avt": b"\x16\x01\x1fAB\x16\x01\x4e\x19\xdb\x02\r\n",
    "art.rip": b"!|c0F|L00001122\r\n",
    "art.ans": b"\x1b[1;34mblue\x1b[0m\r\n\x1a",
    "note.txt": b"plain text\r\n",
    "photo.png": b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR" + bytes(range(200)),
    "photo.jpg": b"\xff\xd8\xff\xe0\0\x10JFIF\0" + bytes(range(200)),
    # A record with no byte 26 in front: the art is the text in front of it alone.
    "bare.ans": b"\x1b[31mred\r\n" + sauce(lines=1),
    "bare-26.ans": b"\x1b[31mred\r\n\x1a",
    # An editor's NUL byte in art that its record says is ANSi.
    "nul.ans": b"\x1b[32m\0green\r\n" + sauce(),
}


class Formats(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        os.mkdir(os.path.join(self.root, "art"))
        for name, data in FILES.items():
            with open(os.path.join(self.root, "art", name), "wb") as f:
                f.write(data)
        run = subprocess.run([CATALOG, "-f", "jsonl", "--thumbnails", "pics", "art"],
                             cwd=self.root, capture_output=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.rows = {os.path.basename(r["path"]): r for r in map(json.loads, run.stdout.splitlines())}

    def tearDown(self):
        self.dir.cleanup()

    def test_each_format_gives_its_own_columns(self):
        # name: format, screen_width, screen_lines, colors_used, has palette-sized colours
        expected = {
            "plain.xb": ("xbin", 4, 2, 6), "packed.xb": ("xbin", 4, 2, 6),
            "cells.bin": ("bin", 4, 2, 6), "art.adf": ("adf", 4, 1, 4),
            "art.idf": ("idf", 4, 2, 6), "art.tnd": ("tundra", 2, 1, 2),
            "art.pcb": ("pcboard", 4, 2, 6), "art.avt": ("avatar", 4, 1, 4),
            "art.ans": ("ansi", 4, 1, 2), "note.txt": ("ascii", 10, 1, 1),
        }
        for name, (fmt, width, lines, used) in expected.items():
            row = self.rows[name]
            self.assertEqual((row["format"], row["screen_width"], row["screen_lines"],
                              row["colors_used"], row["error"]), (fmt, width, lines, used, None),
                             name)
            self.assertIsNotNone(row["thumbnail"], name)
        self.assertEqual(self.rows["plain.xb"]["bg16"], self.rows["packed.xb"]["bg16"])
        rip = self.rows["art.rip"]
        self.assertEqual((rip["format"], rip["screen_width"], rip["thumbnail"]),
                         ("ripscrip", None, None))

    def test_pictures_and_sounds_are_not_art(self):
        png, jpg = self.rows["photo.png"], self.rows["photo.jpg"]
        self.assertNotEqual(png["md5"], jpg["md5"])
        for row in (png, jpg):
            self.assertEqual(row["format"], "image")
            for column in ("art_md5", "colors", "colors_used", "verdict", "screen_width",
                           "fg16", "thumbnail", "error"):
                self.assertIsNone(row[column], column)

    def test_the_art_ends_where_its_record_begins(self):
        bare, ended = self.rows["bare.ans"], self.rows["bare-26.ans"]
        self.assertEqual(bare["art_md5"], ended["art_md5"])
        self.assertEqual((bare["screen_lines"], bare["sauce_warnings"]), (1, ["no-eof-marker"]))
        nul = self.rows["nul.ans"]
        self.assertEqual((nul["format"], nul["screen_width"]), ("ansi", 6))
        self.assertTrue(os.path.exists(os.path.join(self.root, nul["thumbnail"])))

    def test_files_too_large_to_hold_are_read_alike(self):
        # Over 1 MiB: read in chunks, the record read ahead from the file's end.
        ansi = b"\x1b[31mred, and more red text\r\n" * 60000
        files = {"big.ans": ansi + sauce(lines=60000),
                 "big.xb": b"XBIN\x1a\x50\0\x40\x1f\x10\0" + b"\xdb\x1a" * 80 * 8000 +
                           sauce(data_type=6, file_type=0, width=80, lines=8000)}
        for name, data in files.items():
            with open(os.path.join(self.root, name), "wb") as f:
                f.write(data)
        run = subprocess.run([CATALOG, "-f", "jsonl", "big.ans", "big.xb"], cwd=self.root,
                             capture_output=True)
        big, xbin = map(json.loads, run.stdout.splitlines())
        self.assertEqual((big["format"], big["screen_lines"], big["art_md5"]),
                         ("ansi", 60000, hashlib.md5(ansi).hexdigest()))
        self.assertEqual((xbin["format"], xbin["screen_width"], xbin["screen_lines"],
                          xbin["green"], xbin["blue"], xbin["error"]), ("xbin", 80, 8000, 50, 50, None))

    def test_a_broken_header_is_the_rows_error(self):
        with open(os.path.join(self.root, "art", "broken.xb"), "wb") as f:
            f.write(b"XBIN\x1a\0\0\x19\0\x10\0A\x07")
        run = subprocess.run([CATALOG, "-f", "jsonl", "art/broken.xb"], cwd=self.root,
                             capture_output=True)
        row = json.loads(run.stdout)
        self.assertEqual((run.returncode, row["format"]), (1, "xbin"))
        self.assertTrue(row["error"].startswith("not readable as xbin: "), row["error"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
