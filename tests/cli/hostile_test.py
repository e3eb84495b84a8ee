#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog on what an attacker would hand it, each attack made small here: the rows, the
status and every byte on standard error.
Usage: hostile_test.py TINTREL_CATALOG [unittest arguments]"""
import csv, gzip, io, json, os, random, resource, signal, sqlite3, subprocess, sys, tarfile, tempfile
import unittest, zipfile, zlib

CATALOG = sys.argv[1]
ART = b"\x1b[1;31mRed\x1b[0m\r\n"


class Attacks:
    """Makes each attack under `root`; every maker returns the path to give the catalogue."""

    def __init__(self, root):
        self.root = root

    def write(self, name, data):
        with open(os.path.join(self.root, name), "wb") as f:
            f.write(data)
        return name

    def escape_name(self):
        """A name that sets the terminal's title and clears its screen, on a pipe: an error row."""
        name = b"t\x1b]0;owned\x07\x1b[2J\x9b\xff.ans"
        os.mkfifo(os.path.join(self.root, name))
        return name

    def deep_tree(self, depth=400):
        """A file whose path is over 8 KB, past what one system call takes."""
        fd = os.open(self.root, os.O_RDONLY)
        for _ in range(depth):
            os.mkdir("d" * 19, dir_fd=fd)
            inner = os.open("d" * 19, os.O_RDONLY, dir_fd=fd)
            os.close(fd)
            fd = inner
        with open(os.open("deep.ans", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd), "wb") as f:
            f.write(ART)
        os.close(fd)
        return b"tree/" + b"/".join([b"d" * 19] * depth) + b"/deep.ans"

    def broken_links(self):
        os.makedirs(os.path.join(self.root, b"links"))
        os.symlink(b"nowhere.ans", os.path.join(self.root, b"links/dangling.ans"))
        os.symlink(b"loop.ans", os.path.join(self.root, b"links/loop.ans"))
        self.write(b"links/real.ans", ART)
        return b"links"

    def long_names(self, count, size=60000):
        """A tar.gz of empty members whose pax names are `size` bytes long."""
        buffer = io.BytesIO()
        with tarfile.open(fileobj=buffer, mode="w:gz", format=tarfile.PAX_FORMAT) as pack:
            for i in range(count):
                member = tarfile.TarInfo(("%06d" % i).ljust(size, "n"))
                pack.addfile(member, io.BytesIO())
        return self.write(b"names.tar.gz", buffer.getvalue())

    def patched_dictionary(self, size=100_000, window=b"\xff\xff\xff\xff"):
        """A 7z of `size` zero bytes whose header says its LZMA window is `window` (4 GiB)."""
        self.write(b"z.ans", bytes(size))
        subprocess.run(["7z", "a", "-bd", "-mx1", "-m0=LZMA:d=1m", "-mhc=off", "p.7z", "z.ans"],
                       cwd=self.root, check=True, capture_output=True)
        os.remove(os.path.join(self.root, b"z.ans"))
        with open(os.path.join(self.root, b"p.7z"), "rb") as f:
            pack = bytearray(f.read())
        at = pack.rindex(b"\x23\x03\x01\x01\x05") + 6  # LZMA's coder: its properties
        pack[at:at + 4] = window
        header = pack[32 + int.from_bytes(pack[12:20], "little"):]
        pack[28:32] = zlib.crc32(header).to_bytes(4, "little")
        pack[8:12] = zlib.crc32(pack[12:32]).to_bytes(4, "little")
        return self.write(b"p.7z", bytes(pack))

    def nested_stored(self, size=6000):
        """A stored zip in a stored zip, its one member `size` bytes."""
        inner = io.BytesIO()
        with zipfile.ZipFile(inner, "w") as pack:
            pack.writestr("ART.ANS", ART * (size // len(ART)))
        with zipfile.ZipFile(os.fsdecode(os.path.join(self.root, b"outer.zip")), "w") as pack:
            pack.writestr("inner.zip", inner.getvalue())
        return b"outer.zip"

    def nul_name(self):
        """A zip member named "a", NUL, "b.ans": zipfile cuts such a name, so it is patched in."""
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w") as pack:
            pack.writestr("a_b.ans", ART)
        return self.write(b"nul.zip", buffer.getvalue().replace(b"a_b.ans", b"a\0b.ans"))

    def split_zip(self):
        """Three volumes of 64 KiB at most: art.z01, art.z02 and art.zip, the last given a comment;
        and a copy of it without, under another name."""
        self.write(b"big.ans", random.Random(1).randbytes(150000))
        subprocess.run(["zip", "-q", "-s", "64k", "art.zip", "big.ans"], cwd=self.root, check=True)
        os.remove(os.path.join(self.root, b"big.ans"))
        with open(os.path.join(self.root, b"art.zip"), "rb") as f:
            last = f.read()
        self.write(b"last.bin", last)
        self.write(b"art.zip", last[:-2] + b"\x05\x00notes")
        return [b"art.z01", b"art.z02", b"art.zip", b"last.bin"]

    def nul_led_gzip(self):
        return self.write(b"nul.gz", gzip.compress(bytes(1024) + ART, mtime=0))


class Hostile(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name.encode()
        self.attacks = Attacks(self.root)

    def tearDown(self):
        self.dir.cleanup()

    def catalog(self, *args):
        run = subprocess.run([CATALOG, *args], cwd=self.root, capture_output=True)
        text = run.stdout.decode("utf-8", "surrogateescape")
        rows = [(r["path"].encode("utf-8", "surrogateescape"), r["error"])
                for r in csv.DictReader(io.StringIO(text, newline=""))]
        return rows, run.stderr, run.returncode

    def test_names_reach_standard_error_escaped_and_the_table_exact(self):
        name = self.attacks.escape_name()
        rows, errors, status = self.catalog(name)
        self.assertEqual((rows, status), ([(name, "not a regular file")], 1))
        self.assertEqual(errors, b"tintrel-catalog: 't'$'\\033'']0;owned'$'\\a\\033''[2J'"
                         b"$'\\233\\377''.ans': not a regular file\n")

    def test_the_output_and_the_list_are_named_escaped(self):
        shown = b"'no/'$'\\033''[2J"
        for args, said in [
                (["-o", b"no/\x1b[2J.csv", "x"], b"cannot write " + shown + b".csv'"),
                (["-f", "sqlite", "-o", b"no/\x1b[2J.db", "x"], b"cannot write " + shown + b".db'"),
                (["--files-from", b"no/\x1b[2J"], b"cannot read " + shown + b"'")]:
            with self.subTest(args=args):
                _, errors, status = self.catalog(*args)
                self.assertEqual(status, 2)
                self.assertTrue(errors.startswith(b"tintrel-catalog: " + said + b": No such file"),
                                errors)

    def test_every_file_of_a_deep_tree_has_a_row(self):
        os.mkdir(os.path.join(self.root, b"tree"))
        self.attacks.root = os.path.join(self.root, b"tree")
        deep = self.attacks.deep_tree()
        self.assertGreater(len(deep), 8000)
        rows, errors, status = self.catalog("tree")
        self.assertEqual((rows, errors, status), ([(deep, "")], b"", 0))

    def test_followed_links_that_lead_nowhere_have_error_rows(self):
        folder = self.attacks.broken_links()
        loop = "cannot open: Too many levels of symbolic links"
        rows, errors, status = self.catalog("-L", folder)
        self.assertEqual((rows, status), ([(b"links/dangling.ans", "cannot open: No such file or directory"),
                                           (b"links/loop.ans", loop), (b"links/real.ans", "")], 1))
        self.assertEqual(errors.count(b"\n"), 2)
        self.assertEqual(self.catalog(folder)[1:], (b"", 0))

    def test_split_zip_volumes_have_error_rows_that_say_so(self):
        volumes = self.attacks.split_zip()
        rows, errors, status = self.catalog(".")
        split = "unsupported: a volume of a split zip (zip -s); join the volumes with zip -s 0 to read them"
        self.assertEqual((rows, status), ([(b"./" + v, split) for v in volumes], 1))
        self.assertEqual(errors, b"".join(b"tintrel-catalog: ./%s: %s\n" % (v, split.encode())
                                          for v in volumes))

    def test_a_nul_led_gzip_is_a_one_member_pack(self):
        pack = self.attacks.nul_led_gzip()
        rows, errors, status = self.catalog(pack)
        self.assertEqual((rows, errors, status), ([(b"nul.gz", ""), (b"nul.gz/nul", "")], b"", 0))

    def test_a_7z_window_past_the_limit_is_refused(self):
        pack = self.attacks.patched_dictionary()
        rows, errors, status = self.catalog(pack)
        refused = "unsupported: an LZMA window of 4294967295 bytes"
        self.assertEqual((rows, status), ([(b"p.7z", refused)], 1))
        self.assertEqual(errors, b"tintrel-catalog: p.7z: " + refused.encode() + b"\n")
        self.assertLess(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, 60 << 10)
        # The window the pack was made with is within the limit, and the member is read.
        self.attacks.patched_dictionary(window=(1 << 20).to_bytes(4, "little"))
        self.assertEqual(self.catalog(pack)[0], [(b"p.7z", ""), (b"p.7z/z.ans", "")])

    def test_long_names_are_cut_and_the_rows_stay_in_order(self):
        pack = self.attacks.long_names(120, size=4200)
        rows, errors, status = self.catalog(pack)
        cut = "name cut: 4200 bytes, the first 4096 kept"
        names = [(b"names.tar.gz/" + (b"%06d" % i).ljust(4096, b"n"), cut) for i in range(120)]
        self.assertEqual((rows, status), ([(b"names.tar.gz", "")] + names, 1))
        lines = errors.split(b"\n")
        self.assertEqual(lines[:100], [b"tintrel-catalog: %s: %s" % (p, cut.encode()) for p, _ in names[:100]])
        self.assertEqual(lines[100:], [b"tintrel-catalog: names.tar.gz: 20 more error rows", b""])

    def test_a_nested_pack_counts_once_against_the_limit(self):
        pack = self.attacks.nested_stored()
        rows, errors, status = self.catalog("--pack-limit", "8000", pack)
        self.assertEqual((rows, errors, status), ([(b"outer.zip", ""), (b"outer.zip/inner.zip", ""),
                                                   (b"outer.zip/inner.zip/ART.ANS", "")], b"", 0))

    def test_nul_in_a_member_name_is_the_same_in_every_table(self):
        pack = self.attacks.nul_name()
        member = "a\u2400b.ans"
        self.assertEqual(self.catalog(pack)[0][1], (("nul.zip/" + member).encode(), ""))
        lines = subprocess.run([CATALOG, "-f", "jsonl", pack], cwd=self.root, capture_output=True).stdout
        self.assertEqual(json.loads(lines.splitlines()[1])["member"], member)
        subprocess.run([CATALOG, "-f", "sqlite", "-o", "t.db", pack], cwd=self.root, check=True)
        with sqlite3.connect(os.path.join(self.root, b"t.db")) as db:
            self.assertEqual(db.execute("SELECT member FROM files WHERE member != ''").fetchall(), [(member,)])

    def test_a_full_disk_during_an_update_leaves_the_earlier_database(self):
        os.makedirs(os.path.join(self.root, b"art"))
        self.attacks.write(b"art/first.ans", ART)
        subprocess.run([CATALOG, "-f", "sqlite", "-o", "t.db", "art"], cwd=self.root, check=True)
        for i in range(300):
            self.attacks.write(b"art/%d.ans" % i, random.Random(i).randbytes(3000))
        size = os.path.getsize(os.path.join(self.root, b"t.db"))

        def small_disk():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (size + 8192, size + 8192))
        run = subprocess.run([CATALOG, "-f", "sqlite", "--update", "-o", "t.db", "art"], cwd=self.root,
                             capture_output=True, preexec_fn=small_disk)
        self.assertEqual((run.returncode, run.stderr), (2, b"tintrel-catalog: cannot write t.db: File too large\n"))
        self.assertEqual(sorted(os.listdir(self.root)), [b"art", b"t.db"])
        with sqlite3.connect("file:%s?mode=ro" % os.path.join(self.dir.name, "t.db"), uri=True) as db:
            self.assertEqual(db.execute("SELECT path FROM files").fetchall(), [("art/first.ans",)])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
