#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog's screen_md5 and screen_sig on one drawing stored many ways, made here; the
curation views on made packs; --compare on a made stash.
Usage: digest_test.py TINTREL_CATALOG [unittest arguments]"""
import csv, hashlib, io, os, random, sqlite3, subprocess, sys, tempfile, unittest, zipfile

CATALOG = sys.argv[1]
ANSI = [0, 4, 2, 6, 1, 5, 3, 7]  # a VGA colour's number in the ANSI sequences


def drawing(seed, lines=16):
    """Rows of 80 (glyph, attribute) cells: bands of blocks and shades, words, black gaps."""
    rng = random.Random(seed)
    rows = []
    for _ in range(lines):
        row, column = [], 0
        while column < 80:
            run = min(80 - column, rng.randrange(3, 14))
            glyph = rng.choice(b"\xdb\xb0\xb1\xb2\xdc  Ax")
            attr = rng.randrange(16) | rng.randrange(8) << 4
            row += [(glyph, attr)] * run
            column += run
        rows.append(row)
    return rows


def lean_ansi(rows):
    """Colours set only when they change, black gaps as cursor moves, CR LF after each row."""
    out, pen = b"", None
    for row in rows:
        while row and row[-1][0] in b" \0" and row[-1][1] >> 4 == 0:
            row = row[:-1]
        gap = 0
        for glyph, attr in row:
            if glyph == 32 and attr >> 4 == 0:
                gap += 1
                continue
            if gap:
                out += b"\x1b[%dC" % gap
                gap = 0
            if attr != pen:
                fg, bg = attr & 15, attr >> 4
                out += b"\x1b[0;%s%d;%dm" % (b"1;" if fg > 7 else b"", 30 + ANSI[fg & 7], 40 + ANSI[bg])
                pen = attr
            out += bytes([glyph])
        if len(row) < 80:  # a glyph in the last column has gone to the next line already
            out += b"\r\n"
    return out


def full_ansi(rows):
    """Every cell with its colours set again, rows wrapping at the 80th column."""
    return b"".join(b"\x1b[%d;%d;%dm%c" % (1 if a & 8 else 22, 30 + ANSI[a & 7], 40 + ANSI[a >> 4], g)
                    for row in rows for g, a in row)


def xbin(rows, compressed, palette=b""):
    head = b"XBIN\x1a" + (80).to_bytes(2, "little") + len(rows).to_bytes(2, "little") + b"\x10"
    head += bytes([(1 if palette else 0) | (4 if compressed else 0)]) + palette
    if not compressed:
        return head + b"".join(bytes([g, a]) for row in rows for g, a in row)
    for row in rows:  # a run of one cell repeated, or of cells as they are, 64 at most
        at = 0
        while at < 80:
            same = 1
            while at + same < 80 and same < 64 and row[at + same] == row[at]:
                same += 1
            if same > 1:
                head += bytes([0xC0 | same - 1, *row[at]])
            else:
                head += bytes([0, *row[at]])
            at += same
    return head


def sauce(title=b"Shown", kind=(1, 1), tinfo=(80, 16)):
    """A record of ANSi art, or with `kind` (5, 40) of BinaryText 80 columns wide."""
    return (b"\x1aSAUCE00" + title.ljust(35) + b"ink".ljust(20) + b"Crew".ljust(20) + b"20260101" +
            bytes(4) + bytes(kind) + b"".join(n.to_bytes(2, "little") for n in tinfo) + bytes(6) +
            bytes(22))


VGA_PALETTE = bytes([0, 0, 0, 0, 0, 42, 0, 42, 0, 0, 42, 42, 42, 0, 0, 42, 0, 42, 42, 21, 0, 42, 42, 42,
                     21, 21, 21, 21, 21, 63, 21, 63, 21, 21, 63, 63, 63, 21, 21, 63, 21, 63, 63, 63, 21,
                     63, 63, 63])


def changed(rows, row, column, cell):
    rows = [list(r) for r in rows]
    rows[row][column] = cell
    return rows


class Digest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name

    def tearDown(self):
        self.dir.cleanup()

    def write(self, name, data):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def table(self, *paths):
        run = subprocess.run([CATALOG, "-j", "1", *paths], capture_output=True, cwd=self.root)
        self.assertEqual(run.returncode, 0, run.stderr)
        return {r["path"]: r for r in csv.DictReader(io.StringIO(run.stdout.decode()))}

    def test_one_drawing_stored_many_ways_has_one_screen_md5(self):
        art = drawing(1)
        ways = {
            "lean.ans": lean_ansi(art), "full.ans": full_ansi(art),
            "unix.ans": lean_ansi(art).replace(b"\r\n", b"\n"),
            "recorded.ans": lean_ansi(art) + sauce(b"Rewritten"),
            "plain.xb": xbin(art, False), "packed.xb": xbin(art, True),
            "palette.xb": xbin(art, True, VGA_PALETTE), "cells.bin": xbin(art, False)[11:] + sauce(kind=(5, 40), tinfo=(0, 0)),
        }
        for name, data in ways.items():
            self.write("ways/" + name, data)
        rows = self.table("ways")
        digests = {name: rows["ways/" + name]["screen_md5"] for name in ways}
        self.assertEqual(len(set(digests.values())), 1, digests)
        self.assertRegex(digests["lean.ans"], "^[0-9a-f]{32}$")
        self.assertEqual(len({rows[p]["screen_sig"] for p in rows}), 1)

        # A cell changed: another digest, a signature a few bits away.
        self.write("one/cell.ans", lean_ansi(changed(art, 5, 40, (ord("Z"), 0x1E))))
        other = self.table("one")["one/cell.ans"]
        self.assertNotEqual(other["screen_md5"], digests["lean.ans"])
        distance = bin(int(other["screen_sig"], 16) ^ int(rows["ways/lean.ans"]["screen_sig"], 16))
        self.assertLessEqual(distance.count("1"), 3)

    def test_views_find_the_same_and_near_art_and_packs_that_share_it(self):
        one, two, three, four = (drawing(seed) for seed in (1, 2, 3, 4))
        packs = {"first.zip": {"a.ans": lean_ansi(one), "b.ans": lean_ansi(two), "c.ans": lean_ansi(three)},
                 "again.zip": {"one.xb": xbin(one, True), "two.ans": full_ansi(two), "d.ans": lean_ansi(four)},
                 "other.zip": {"four.ans": lean_ansi(four) + sauce()}}
        for pack, members in packs.items():
            with zipfile.ZipFile(os.path.join(self.root, pack), "w") as z:
                for name, data in members.items():
                    z.writestr(name, data)
        self.write("loose/near.ans", lean_ansi(changed(three, 8, 10, (ord("Q"), 0x4F))))
        run = subprocess.run([CATALOG, "-f", "sqlite", "-o", "art.db", "first.zip", "again.zip",
                              "other.zip", "loose"], capture_output=True, cwd=self.root)
        self.assertEqual(run.returncode, 0, run.stderr)
        with sqlite3.connect(os.path.join(self.root, "art.db")) as db:
            overlap = sorted(db.execute("SELECT * FROM pack_overlap"))
            same = sorted(db.execute("SELECT copies, paths FROM screen_duplicates"))
            near = sorted(db.execute("SELECT path, other FROM near_copies"))
        self.assertEqual(overlap, [("again.zip", "first.zip", 2, 3, 3, 66.7, 66.7),
                                   ("again.zip", "other.zip", 1, 3, 1, 33.3, 100.0)])
        self.assertEqual(same, [(2, '["again.zip/d.ans","other.zip/four.ans"]'),
                                (2, '["again.zip/one.xb","first.zip/a.ans"]'),
                                (2, '["again.zip/two.ans","first.zip/b.ans"]')])
        self.assertEqual(near, [("first.zip/c.ans", "loose/near.ans")])

    def test_compare_tells_each_file_of_a_stash_what_the_catalogue_holds(self):
        one, two = drawing(1), drawing(2)
        self.write("archive/one.ans", lean_ansi(one) + sauce())
        self.write("archive/two.ans", lean_ansi(two))
        subprocess.run([CATALOG, "-f", "sqlite", "-o", "art.db", "archive"], check=True,
                       capture_output=True, cwd=self.root)
        stash = {"1-copy.ans": lean_ansi(two), "2-retitled.ans": lean_ansi(one) + sauce(b"New title"),
                 "3-as-xbin.xb": xbin(two, True),
                 "4-touched.ans": lean_ansi(changed(one, 3, 30, (ord("#"), 0x2A))),
                 "5-unknown.ans": lean_ansi(drawing(9))}
        for name, data in stash.items():
            self.write("stash/" + name, data)
        with open(os.path.join(self.root, "art.db"), "rb") as f:
            before = hashlib.md5(f.read()).hexdigest()
        run = subprocess.run([CATALOG, "-j", "2", "--compare", "art.db", "stash"], capture_output=True,
                             cwd=self.root)
        self.assertEqual((run.returncode, run.stderr), (0, b""))
        lines = run.stdout.decode().splitlines()
        self.assertEqual([line.split("\t")[:3] for line in lines], [
            ["same file", "stash/1-copy.ans", "archive/two.ans"],
            ["same art", "stash/2-retitled.ans", "archive/one.ans"],
            ["looks the same", "stash/3-as-xbin.xb", "archive/two.ans"],
            ["near copy", "stash/4-touched.ans", "archive/one.ans"],
            ["new", "stash/5-unknown.ans", ""]])
        self.assertLessEqual(int(lines[3].split("\t")[3]), 3, lines[3])
        with open(os.path.join(self.root, "art.db"), "rb") as f:
            self.assertEqual(hashlib.md5(f.read()).hexdigest(), before)
        missing = subprocess.run([CATALOG, "--compare", "none.db", "stash"], capture_output=True,
                                 cwd=self.root)
        self.assertEqual(missing.returncode, 2)
        self.assertFalse(os.path.exists(os.path.join(self.root, "none.db")))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
