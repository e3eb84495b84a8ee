#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog on packs made here: every member's row is the row the same bytes give as a
file on disk, and damaged, odd and hostile packs cost only what is damaged.
Usage: pack_test.py TINTREL_CATALOG [unittest arguments]"""
import csv, gzip, io, os, random, shutil, subprocess, sys, tarfile, tempfile, unittest, zipfile

CATALOG = sys.argv[1]
# Columns that depend on where the bytes lie, not on the bytes.
PLACE = ("path", "pack", "member")


def art(seed, size=3000):
    rng = random.Random(seed)
    parts = []
    while sum(map(len, parts)) < size:
        parts.append(rng.choice([b"\x1b[%d;%dm" % (rng.randrange(30, 38), rng.randrange(40, 48)),
                                 b"\xdb\xb1\xb0", b"text ", b"\x1b[1m", b"\r\n", b"|%02d" % rng.randrange(16)]))
    return b"".join(parts) + b"\x1aSAUCE00" + b"Title %d" % seed + bytes(100)


def wide_art(width=160):
    """A drawing wider than 80 columns whose record says so, the record at the end of its bytes."""
    line = b"".join(b"\x1b[%dm%s" % (31 + i % 7, b"\xdb" * 10) for i in range(width // 10))
    record = (b"SAUCE00" + b"Wide".ljust(35) + b" " * 40 + b"20260101" + bytes(4) + bytes([1, 1]) +
              width.to_bytes(2, "little") + (30).to_bytes(2, "little") + bytes(4) + bytes(24))
    return line * 30 + b"\x1a" + record


def make_zip(path, members, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in members:
            z.writestr(name, data)


class Packs(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        self.members = [("ART%d.ANS" % i, art(i)) for i in range(3)]

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.root, name)

    def run_catalog(self, *args):
        run = subprocess.run([CATALOG, *args], cwd=self.root, capture_output=True)
        rows = list(csv.DictReader(io.StringIO(run.stdout.decode("utf-8", "surrogateescape"))))
        return rows, run.stderr.decode(), run.returncode

    def file_rows(self, members):
        """The rows the members' bytes give as files on disk, by name."""
        os.makedirs(self.path("loose"), exist_ok=True)
        for i, (_, data) in enumerate(members):
            with open(self.path("loose/%d" % i), "wb") as f:
                f.write(data)
        rows = self.run_catalog(*["loose/%d" % i for i in range(len(members))])[0]
        return {name: row for (name, _), row in zip(members, rows)}

    def assert_members_as_files(self, rows, pack, members, prefix=""):
        expected = self.file_rows(members)
        self.assertEqual([r["member"] for r in rows[1:]], [prefix + n for n, _ in members])
        for row in rows[1:]:
            self.assertEqual(row["pack"], pack)
            self.assertEqual(row["path"], pack + "/" + row["member"])
            want = expected[row["member"][len(prefix):]]
            self.assertEqual({k: v for k, v in row.items() if k not in PLACE},
                             {k: v for k, v in want.items() if k not in PLACE}, row["member"])

    def test_every_kind_of_pack_gives_its_members_as_files(self):
        # A wide drawing is drawn at its record's width whether its member is whole or streamed.
        self.members.append(("WIDE.ANS", wide_art()))
        with open(self.path("plain.tar"), "wb") as f:
            with tarfile.open(fileobj=f, mode="w") as tar:
                for name, data in self.members:
                    info = tarfile.TarInfo(name)
                    info.size = len(data)
                    tar.addfile(info, io.BytesIO(data))
        with open(self.path("plain.tar"), "rb") as t, gzip.open(self.path("art.tar.gz"), "wb") as g:
            g.write(t.read())
        kinds = {"stored.zip": zipfile.ZIP_STORED, "deflate.zip": zipfile.ZIP_DEFLATED,
                 "bzip2.zip": zipfile.ZIP_BZIP2, "lzma.zip": zipfile.ZIP_LZMA}
        for name, method in kinds.items():
            make_zip(self.path(name), self.members, method)
        tools = {"art.7z": ["7z", "a", "-bd", "art.7z"], "art.lzh": ["jlha", "a", "art.lzh"]}
        os.makedirs(self.path("src"))
        for name, data in self.members:
            with open(self.path("src/" + name), "wb") as f:
                f.write(data)
        for pack, command in tools.items():
            if shutil.which(command[0]):
                subprocess.run(command + [n for n, _ in self.members], cwd=self.path("src"),
                               check=True, capture_output=True)
                os.rename(self.path("src/" + pack), self.path(pack))
            else:
                print("skipped: %s needs %s" % (pack, command[0]), file=sys.stderr)
        packs = sorted(list(kinds) + ["plain.tar", "art.tar.gz"] +
                       [p for p in tools if os.path.exists(self.path(p))])
        for pack in packs:
            rows, errors, status = self.run_catalog(pack)
            self.assertEqual((errors, status), ("", 0), pack)
            self.assertEqual((rows[0]["path"], rows[0]["member"], rows[0]["colors"]), (pack, "", ""))
            with open(self.path(pack), "rb") as f:
                self.assertEqual(int(rows[0]["size"]), len(f.read()))
            self.assert_members_as_files(rows, pack, self.members)
        # Row bytes do not depend on how many packs are read at once.
        self.assertEqual(self.run_catalog("-j1", *packs), self.run_catalog("-j3", *packs))

    def test_names_nesting_and_recognition_by_content(self):
        inner = io.BytesIO()
        make_zip(inner, self.members[:1])
        make_zip(self.path("outer.zip"), [("NEW.ANS", art(7)), ("old/inner.zip", inner.getvalue()),
                                          ("folder/", b"")])
        # An inner pack too large to hold in memory is read from a temporary file.
        large = io.BytesIO()
        make_zip(large, [("NOISE.BIN", random.Random(5).randbytes(5 << 20)), ("ART.ANS", art(8))],
                 zipfile.ZIP_STORED)
        make_zip(self.path("large.zip"), [("inner.zip", large.getvalue())], zipfile.ZIP_STORED)
        self.assertEqual([(r["member"], r["error"]) for r in self.run_catalog("large.zip")[0]], [
            ("", ""), ("inner.zip", ""), ("inner.zip/NOISE.BIN", ""), ("inner.zip/ART.ANS", "")])
        rows = self.run_catalog("outer.zip")[0]
        self.assertEqual([(r["path"], r["member"], bool(r["md5"]), bool(r["colors"])) for r in rows], [
            ("outer.zip", "", True, False), ("outer.zip/NEW.ANS", "NEW.ANS", True, True),
            ("outer.zip/old/inner.zip", "old/inner.zip", True, False),
            ("outer.zip/old/inner.zip/ART0.ANS", "old/inner.zip/ART0.ANS", True, True)])
        self.assertTrue(all(r["pack"] == "outer.zip" for r in rows))
        # A name without the UTF-8 flag is code page 437; a climbing name is only a name.
        make_zip(self.path("names.zip"), [("CAFX.ANS", art(1)), ("../../up.ans", art(2))])
        with open(self.path("names.zip"), "rb") as f:
            data = f.read().replace(b"CAFX", b"CAF\x82")
        with open(self.path("names.zip"), "wb") as f:
            f.write(data)
        self.assertEqual([r["member"] for r in self.run_catalog("names.zip")[0][1:]],
                         ["CAF\u00e9.ANS", "../../up.ans"])
        # A page saved under a pack's name is a file; a pack under an art name is a pack, and
        # with packs left shut it is data, no art.
        with open(self.path("page.zip"), "wb") as f:
            f.write(b"<html><body>404</body></html>\n")
        shutil.copy(self.path("outer.zip"), self.path("ART.ANS"))
        rows = self.run_catalog("page.zip", "ART.ANS")[0]
        self.assertEqual([(r["path"], r["pack"], r["verdict"]) for r in rows][:2],
                         [("page.zip", "", "low"), ("ART.ANS", "ART.ANS", "")])
        rows = self.run_catalog("--no-packs", "ART.ANS")[0]
        self.assertEqual([(r["path"], r["pack"], r["format"], r["verdict"]) for r in rows],
                         [("ART.ANS", "", "data", "")])

    def test_damage_costs_only_what_is_damaged(self):
        os.makedirs(self.path("src"))
        with open(self.path("src/ART0.ANS"), "wb") as f:
            f.write(self.members[0][1])
        make_zip(self.path("cut.zip"), self.members)
        with open(self.path("cut.zip"), "rb") as f:
            data = f.read()
        with open(self.path("cut.zip"), "wb") as f:  # the central directory cut off
            f.write(data[:data.find(b"PK\x01\x02") + 20])
        make_zip(self.path("crc.zip"), self.members, zipfile.ZIP_STORED)
        with open(self.path("crc.zip"), "rb") as f:
            data = bytearray(f.read())
        data[data.find(b"ART0.ANS") + 40] ^= 0xFF
        with open(self.path("crc.zip"), "wb") as f:
            f.write(data)
        make_zip(self.path("implode.zip"), self.members, zipfile.ZIP_STORED)
        with open(self.path("implode.zip"), "rb") as f:
            data = bytearray(f.read())
        for header in (b"PK\x03\x04", b"PK\x01\x02"):  # the first member's method becomes 6
            at = data.find(header)
            data[at + (8 if header == b"PK\x03\x04" else 10)] = 6
        with open(self.path("implode.zip"), "wb") as f:
            f.write(data)
        if shutil.which("arj"):
            subprocess.run(["arj", "a", "../old.arj", "ART0.ANS"], cwd=self.path("src"),
                           check=True, capture_output=True)
        else:  # the first bytes of an ARJ header are all it takes to be told
            with open(self.path("old.arj"), "wb") as f:
                f.write(b"\x60\xea\x2c\x00" + bytes(60))
        rows, errors, status = self.run_catalog("cut.zip", "crc.zip", "implode.zip", "old.arj")
        self.assertEqual(status, 1)
        found = [(r["path"], r["error"], bool(r["md5"])) for r in rows]
        self.assertEqual(found, [
            ("cut.zip", "recovered: no central directory; members read from their local headers", True),
            ("cut.zip/ART0.ANS", "", True), ("cut.zip/ART1.ANS", "", True), ("cut.zip/ART2.ANS", "", True),
            ("crc.zip", "", True), ("crc.zip/ART0.ANS", "damaged: CRC mismatch", False),
            ("crc.zip/ART1.ANS", "", True), ("crc.zip/ART2.ANS", "", True),
            ("implode.zip", "", True), ("implode.zip/ART0.ANS", "unsupported method: implode", False),
            ("implode.zip/ART1.ANS", "", True), ("implode.zip/ART2.ANS", "", True),
            ("old.arj", "unsupported pack format: ARJ", True)])
        self.assertEqual(errors.count("\n"), 4)

    def test_limits_give_an_error_row_and_the_run_goes_on(self):
        make_zip(self.path("big.zip"), [("A.ANS", b" " * 5000), ("B.ANS", b" " * 5000), ("C.ANS", b"x")])
        nested = b"".join(m for _, m in self.members[:1])
        for depth in range(5):
            buffer = io.BytesIO()
            make_zip(buffer, [("level%d.zip" % depth if depth else "ART.ANS", nested)])
            nested = buffer.getvalue()
        with open(self.path("deep.zip"), "wb") as f:
            f.write(nested)
        rows, _, status = self.run_catalog("--pack-limit", "8000", "big.zip", "deep.zip")
        self.assertEqual(status, 1)
        limit = "pack limit reached: more than 8000 bytes expanded"
        self.assertEqual([(r["path"], r["error"]) for r in rows], [
            ("big.zip", limit), ("big.zip/A.ANS", ""), ("big.zip/B.ANS", limit),
            ("deep.zip", ""), ("deep.zip/level4.zip", ""), ("deep.zip/level4.zip/level3.zip", ""),
            ("deep.zip/level4.zip/level3.zip/level2.zip", ""),
            ("deep.zip/level4.zip/level3.zip/level2.zip/level1.zip",
             "nesting limit reached: a pack inside 4 packs")])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
