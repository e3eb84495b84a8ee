#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog run as a user runs it, on folders of art made here: its rows agree with
tintrel, read back with csv, json and sqlite3, and keep order, names and errors exact.
Usage: catalog_test.py TINTREL_CATALOG TINTREL [unittest arguments]"""
import base64, csv, fcntl, io, json, os, random, resource, shlex, signal, subprocess, sys
import stat, tempfile, time, unittest

CATALOG, TINTREL = sys.argv[1], sys.argv[2]
HOSTILE = [b"two words.ans", b'say "hi".ans', b"a,b,,c.ans", b"line\nbreak.ans",
           b"caf\xc3\xa9.ans", b"latin \xe9\xff\x80.ans", b".hidden.ans"]


def sauce(title, author=b"ink", group=b"Crew", date=b"19960704", comments=(), width=80, lines=25,
          flags=1):
    """A record of ANSi art, 80 columns by 25 lines, iCE colours on, behind its comment block."""
    fields = b"".join(f.ljust(n)[:n] for f, n in ((b"SAUCE00", 7), (title, 35), (author, 20),
                                                     (group, 20), (date, 8)))
    numbers = (0).to_bytes(4, "little") + bytes([1, 1]) + width.to_bytes(2, "little")
    numbers += lines.to_bytes(2, "little") + bytes(4) + bytes([len(comments), flags])
    block = b"COMNT" + b"".join(c.ljust(64) for c in comments) if comments else b""
    return b"\x1a" + block + fields + numbers + b"IBM VGA".ljust(22, b"\0")


def art(seed):
    rng = random.Random(seed)
    parts = []
    for _ in range(rng.randrange(5, 400)):
        parts.append(rng.choice([b"\x1b[%d;%dm" % (rng.randrange(30, 38), rng.randrange(40, 48)),
                                 b"|%02d" % rng.randrange(24), b"\xdb\xb1\xb0", b"text ",
                                 b"\x1b[1m", b"\r\n", b"\x1b[%dC" % rng.randrange(9)]))
    return b"".join(parts)


class Catalog(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name.encode()
        os.makedirs(self.path(b"art/sub dir/deeper"))
        files = {b"art/%d.ans" % i: art(i) + (sauce(b"No. %d" % i) if i % 2 else b"")
                 for i in range(12)}
        files[b"art/sub dir/empty.ans"] = b""
        files[b"art/sub dir.ans"] = art(98)  # "." sorts before the "/" of the folder
        files[b"art/sub dir/deeper/commented.ans"] = art(99) + sauce(
            b"Title, \"quoted\"", comments=[b"first line", b"second, with comma"])
        # The same art with another record: the same art_md5, another md5.
        files[b"art/a-copy.ans"] = art(3) + sauce(b"Renamed", author=b"other")
        files.update({b"art/sub dir/" + name: art(100 + i) for i, name in enumerate(HOSTILE)})
        for name, data in files.items():
            with open(self.path(name), "wb") as f:
                f.write(data)
        os.symlink(b"0.ans", self.path(b"art/link.ans"))

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.root, name)

    def catalog(self, *args, stdin=None, **popen):
        run = subprocess.run([CATALOG, *args], cwd=self.root, input=stdin, capture_output=True,
                             **popen)
        return run.stdout, run.stderr, run.returncode

    def csv_rows(self, table):
        text = table.decode("utf-8", "surrogateescape")
        return list(csv.DictReader(io.StringIO(text, newline="")))

    def paths(self, table):
        return [r["path"].encode("utf-8", "surrogateescape") for r in self.csv_rows(table)]

    def test_rows_agree_with_tintrel(self):
        table, errors, status = self.catalog("art")
        self.assertEqual((errors, status), (b"", 0))
        rows = self.csv_rows(table)
        self.assertEqual(len(rows), 23)
        for row in rows:
            path = row["path"].encode("utf-8", "surrogateescape")
            line = subprocess.run([TINTREL, path], cwd=self.root, capture_output=True).stdout
            fields = line.decode("latin-1").rstrip("\n").split(",")
            words = fields[1:fields.index(row["colors_used"], 1)]
            self.assertEqual(fields[0], row["md5"], path)
            self.assertEqual(" ".join(words), row["colors"], path)
            self.assertEqual(fields[len(words) + 2], row["verdict"], path)
            sauce_part = ",".join(fields[len(words) + 3:])
            if row["sauce"] == "true" and '"' not in row["title"]:
                expected = '"%s","%s","%s",%s' % (row["title"], row["author"], row["group"],
                                                  row["date"])
                self.assertEqual(sauce_part, expected, path)
            else:
                self.assertEqual(sauce_part == ",,,", row["sauce"] == "false", path)

    def test_order_and_bytes_do_not_depend_on_jobs(self):
        for fmt in ("csv", "jsonl"):
            one = self.catalog("-j", "1", "-f", fmt, "art")[0]
            self.assertEqual(self.catalog("-j4", "--format=" + fmt, "art")[0], one)
        paths = self.paths(self.catalog("art")[0])
        self.assertEqual(paths, sorted(paths))
        self.assertNotIn(b"art/link.ans", paths)
        self.assertIn(b"art/link.ans", self.paths(self.catalog("-L", "art")[0]))

    def test_csv_and_json_lines_hold_the_same_table(self):
        table = self.catalog("art")[0]
        self.assertTrue(table.startswith(b"path,pack,member,size,md5,art_md5,screen_md5,screen_sig,colors,blue,"))
        rows = list(csv.reader(io.StringIO(table.decode("utf-8", "surrogateescape"), newline="")))
        self.assertEqual({len(r) for r in rows}, {65})
        lines = self.catalog("-f", "jsonl", "art")[0].splitlines()
        self.assertEqual(len(lines), len(rows) - 1)
        for row, line in zip(rows[1:], lines):
            obj = json.loads(line)
            self.assertEqual(list(obj)[:2], ["path", "path_base64"] if "path_base64" in obj
                             else ["path", "pack"])
            raw = base64.b64decode(obj["path_base64"]) if "path_base64" in obj else None
            self.assertEqual(raw or obj["path"].encode(), row[0].encode("utf-8", "surrogateescape"))
            for name, value in zip(rows[0], row):
                got = obj[name]
                if isinstance(got, list):
                    got = ("\n" if name == "comments" else " ").join(map(str, got))
                elif isinstance(got, bool):
                    got = str(got).lower()
                if name != "path":
                    self.assertEqual("" if got is None else str(got), value, name)
        commented = [json.loads(l) for l in lines if b"commented" in l][0]
        self.assertEqual(commented["comments"], ["first line", "second, with comma"])
        self.assertEqual((commented["width"], commented["ice_colors"]), (80, True))

    def test_screen_columns_describe_the_drawing(self):
        os.makedirs(self.path(b"screen"))
        line = b"\x1b[1;33;44m" + b"\xdb" * 40 + b"\x1b[5;40m" + b" " * 40
        # A full line and CR LF after it leave an empty line; a record narrower than 80 columns is
        # checked against the drawing drawn at 80, a wider one draws it; blink stays on.
        files = {  # name: bytes, screen_width to bg16, the record's warnings
            b"wide.ans": (line + b"\r\n\x1b[0m" + b"ab" + sauce(b"w", width=40, flags=0),
                          [80, 3, "cp437", True, False, 1, [0, 0, 0, 0, 0, 0, 0, 2] + [0] * 6
                           + [40, 0], [160, 40] + [0] * 6 + [40] + [0] * 7],
                          ["width-mismatch", "lines-mismatch", "ice-unflagged"]),
            b"wider.ans": (line * 2 + sauce(b"w", width=160, lines=2),
                           [160, 1, "cp437", True, False, 1, [0] * 14 + [80, 0],
                            [0, 40] + [0] * 6 + [80, 40] + [0] * 6], []),
            b"utf8.ans": ("\x1b[38;2;255;0;0m█▀\r\n\x1b[2J\x1b[Hé".encode(),
                          [1, 1, "utf-8", False, True, 2, [0, 0, 0, 0, 1] + [0] * 11,
                           [1] + [0] * 15], None),
        }
        for name, (data, _, _) in files.items():
            with open(self.path(b"screen/" + name), "wb") as f:
                f.write(data)
        columns = ["screen_width", "screen_lines", "charset", "ice", "extended_colors", "frames",
                   "fg16", "bg16"]
        table, errors, status = self.catalog("-f", "jsonl", "screen")
        self.assertEqual((errors, status), (b"", 0))
        rows = {json.loads(l)["path"]: json.loads(l) for l in table.splitlines()}
        csv_rows = {r["path"]: r for r in self.csv_rows(self.catalog("screen")[0])}
        for name, (_, values, warnings) in files.items():
            row, path = rows["screen/" + name.decode()], "screen/" + name.decode()
            self.assertEqual([row[c] for c in columns], values, name)
            self.assertEqual(csv_rows[path]["bg16"], " ".join(map(str, values[7])), name)
            self.assertEqual(row["sauce_warnings"], warnings, name)

    def test_sqlite_finds_the_same_art_twice(self):
        with open(self.path(b"table.csv"), "wb") as f:
            f.write(self.catalog("art")[0])
        query = ("SELECT path FROM art WHERE art_md5 IN (SELECT art_md5 FROM art GROUP BY art_md5"
                 " HAVING count(*) > 1) ORDER BY path;")
        found = subprocess.run(["sqlite3", ":memory:", ".import --csv table.csv art", query],
                               cwd=self.root, capture_output=True, check=True).stdout
        self.assertEqual(found, b"art/3.ans\nart/a-copy.ans\n")

    def test_error_rows_go_on_and_end_with_1(self):
        os.mkfifo(self.path(b"art.fifo"))
        with open(self.path(b"art/0.ans"), "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            table, errors, status = self.catalog("missing.ans", "art.fifo", "/proc/self/mem",
                                                 "art/0.ans", "art/1.ans")
        rows = self.csv_rows(table)
        self.assertEqual(status, 1)
        self.assertEqual([r["error"] for r in rows], [
            "cannot open: No such file or directory", "not a regular file",
            "cannot read: Input/output error", "locked by another process", ""])
        self.assertEqual(rows[0]["md5"] + rows[0]["sauce"], "")
        self.assertEqual(errors.count(b"\n"), 4)
        self.assertEqual(self.catalog("-f", "xml", "art")[2], 2)
        self.assertEqual(self.catalog("-j", "0", "art")[2], 2)

    def test_files_from_keeps_input_order(self):
        names = [b"art/5.ans", b"art/sub dir/line\nbreak.ans", b"art/1.ans"]
        for flag, sep in ((["-0"], b"\0"), ([], b"\n")):
            listed = sep.join(n for n in names if flag or b"\n" not in n) + sep
            self.assertEqual(self.paths(self.catalog(*flag, "--files-from", "-", stdin=listed)[0]),
                             [n for n in names if flag or b"\n" not in n])

    def test_output_file_stays_whole_unless_the_run_succeeds(self):
        with open(self.path(b"table.csv"), "wb") as f:
            f.write(b"earlier\n")
        def limit():  # a disk that takes 1000 bytes
            resource.setrlimit(resource.RLIMIT_FSIZE, (1000, 1000))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        _, errors, status = self.catalog("-o", "table.csv", "art", preexec_fn=limit)
        self.assertEqual(status, 2)
        self.assertRegex(errors, rb"^tintrel-catalog: cannot write table.csv: File too large\n$")
        os.mkfifo(self.path(b"list"))
        run = subprocess.Popen([CATALOG, "-o", "table.csv", "--files-from", "list"], cwd=self.root)
        with open(self.path(b"list"), "wb") as paths:
            paths.write(b"art/0.ans\n")
            paths.flush()
            time.sleep(0.5)
            run.send_signal(signal.SIGINT)
            self.assertEqual(run.wait(), -signal.SIGINT)
        self.assertEqual(sorted(os.listdir(self.root)), [b"art", b"list", b"table.csv"])
        # A list that cannot be read to its end (a folder) leaves the earlier table too.
        self.assertEqual(self.catalog("-o", "table.csv", "--files-from", "art")[2], 2)
        with open(self.path(b"table.csv"), "rb") as f:
            self.assertEqual(f.read(), b"earlier\n")
        self.assertEqual(self.catalog("-o", "table.csv", "art")[2], 0)
        with open(self.path(b"table.csv"), "rb") as f:
            self.assertEqual(f.read(), self.catalog("art")[0])
        if os.geteuid() == 0:  # a device (a copy of /dev/null) is written to, never replaced
            os.mknod(self.path(b"device"), 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            self.assertEqual(self.catalog("-o", "device", "art")[2], 0)
            self.assertTrue(stat.S_ISCHR(os.stat(self.path(b"device")).st_mode))
        # A table written inside the folder it walks is not a row of itself.
        self.assertEqual(self.catalog("-o", "art/t.csv", "art")[2], 0)
        with open(self.path(b"art/t.csv"), "rb") as f:
            self.assertNotIn(b"t.csv", f.read())

    def test_progress_only_on_a_terminal(self):
        _, errors, _ = self.catalog("-o", "plain.csv", "art")
        self.assertEqual(errors, b"")
        command = shlex.quote(CATALOG) + " -o tty.csv art"
        shown = subprocess.run(["script", "-qec", command, "/dev/null"],
                               cwd=self.root, capture_output=True).stdout
        # The files done of how many, and at the end the run summed up.
        self.assertRegex(shown, rb"\r23 of 23 files, ([0-9.]+) MB of \1 MB, [0-9.]+ MB/s, 0:00 left, 0 errors")
        self.assertRegex(shown, rb"tintrel-catalog: 23 files, 23 rows, [0-9.]+ MB read in [0-9.]+ s; 0 errors, "
                                rb"1 copy of art met before\r?\n$")
        with open(self.path(b"plain.csv"), "rb") as a, open(self.path(b"tty.csv"), "rb") as b:
            self.assertEqual(a.read(), b.read())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
