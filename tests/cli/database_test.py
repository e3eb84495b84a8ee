#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog -f sqlite on folders and packs made here: typed columns that answer numeric
queries right, an update that gives what a fresh run gives, and failures that leave the earlier
database as it was.
Usage: database_test.py TINTREL_CATALOG [unittest arguments]"""
import base64, csv, fcntl, io, json, os, random, re, resource, signal, sqlite3, subprocess, sys
import tempfile, time, unittest, zipfile

CATALOG = sys.argv[1]
INTEGER = {"size", "blue", "green", "cyan", "red", "magenta", "yellow", "gray", "colors_used",
           "total_chars", "low_ascii", "high_ascii", "file_size", "width", "lines", "tinfo1",
           "tinfo2", "tinfo3", "tinfo4", "sauce", "ice_colors", "mtime_ns", "screen_width",
           "screen_lines", "ice", "extended_colors", "frames"}
HOUR_AGO = time.time() - 3600


def art(seed, size):
    """Art of a few colours, mostly one, padded with spaces to `size` bytes."""
    rng = random.Random(seed)
    main = rng.randrange(1, 8)
    cells = b"".join(b"\x1b[%d;%dm\xdb\xdb" % (30 + (main if rng.random() < 0.6 else rng.randrange(8)),
                                                 40 + rng.randrange(8)) for _ in range(rng.randrange(3, 60)))
    return cells.ljust(size, b" ")


def sauce(title, comments=(), date=b"19960704"):
    record = b"SAUCE00" + title.ljust(35) + b"ink".ljust(20) + b"Crew".ljust(20) + date
    record += bytes(4) + bytes([1, 1]) + (80).to_bytes(2, "little") + bytes(6)
    record += bytes([len(comments), 1]) + b"IBM VGA".ljust(22, b"\0")
    return b"\x1a" + (b"COMNT" + b"".join(c.ljust(64) for c in comments) if comments else b"") + record


def dump(path):
    """Every table's rows, sorted, and the schema; the run's start time left out."""
    with sqlite3.connect(path) as db:
        db.text_factory = bytes
        tables = [t for (t,) in db.execute("SELECT name FROM sqlite_schema WHERE type = 'table'")]
        out = {t: sorted(db.execute(f"SELECT * FROM {t.decode()}"), key=repr) for t in tables}
        out[b"catalog_run"] = [r[:4] for r in out[b"catalog_run"]]
        out[b"schema"] = sorted(db.execute("SELECT sql FROM sqlite_schema"), key=repr)
        return out


class Database(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        os.makedirs(self.path("art/sub"))
        sizes = [900, 9987, 2_707_077, 50, 12_000, 130_000, 0, 700]
        for i, size in enumerate(sizes):
            self.write("art/%d.ans" % i, art(i, size) + (sauce(b"No. %d" % i) if i % 2 else b""))
        self.write("art/sub/commented.ans", art(20, 500) + sauce(b"Said", [b"one", b"two, three"]))
        self.write("art/sub/odd.ans", art(22, 500) + sauce(b"Odd", date=b"19961340")[1:])
        self.write("art/sub/twin.ans", art(1, 9987) + sauce(b"Twin"))  # the same art as art/1.ans
        self.write("art/sub/caf\xe9.ans".encode("latin-1"), art(21, 300))
        self.make_zip("art/pack.zip", 30, 3)

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.root.encode() if isinstance(name, bytes) else self.root, name)

    def write(self, name, data, when=HOUR_AGO):
        with open(self.path(name), "wb") as f:
            f.write(data)
        os.utime(self.path(name), (when, when))  # older than the run: an update may keep it

    def make_zip(self, name, seed, members, when=HOUR_AGO):
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
            for m in range(members):
                z.writestr("ART%d.ANS" % m, art(seed + m, 2000) + sauce(b"Packed"))
        self.write(name, buffer.getvalue(), when)

    def run_catalog(self, *args, **popen):
        run = subprocess.run([CATALOG, *args], cwd=self.root, capture_output=True, **popen)
        return run.stderr.decode(), run.returncode

    def test_types_and_nulls_are_those_of_the_columns(self):
        pictures = ("--thumbnails", "pictures")  # the thumbnail column filled too
        self.assertEqual(self.run_catalog("-f", "sqlite", *pictures, "-o", "art.db", "art",
                                          "gone.ans")[1], 1)
        lines = subprocess.run([CATALOG, "-f", "jsonl", *pictures, "art", "gone.ans"], cwd=self.root,
                               capture_output=True).stdout.splitlines()
        want = {}
        for row in map(json.loads, lines):
            if "path_base64" in row:
                row["path"] = base64.b64decode(row.pop("path_base64"))
            want[row["path"].encode() if isinstance(row["path"], str) else row["path"]] = row
        db = sqlite3.connect(self.path("art.db"))
        db.text_factory = bytes
        names = [c[1].decode() for c in db.execute("PRAGMA table_info(files)")]
        self.assertEqual(names, list(row) + ["mtime_ns"])
        for name in names:  # every column holds its type somewhere, and NULL unless it is the path
            kinds = {k.decode() for (k,) in db.execute(f'SELECT DISTINCT typeof("{name}") FROM files')}
            kind = "integer" if name in INTEGER else "text"
            self.assertEqual(kinds, {kind} if name == "path" else {kind, "null"}, name)
        for record in db.execute("SELECT * FROM files"):
            row = want.pop(record[0])
            on_disk = self.path(record[1] or record[0])
            row["mtime_ns"] = os.stat(on_disk).st_mtime_ns if row["md5"] else None
            for name, value in zip(names, record):
                expected = row[name]
                if isinstance(expected, list):
                    expected = ("\n" if name == "comments" else " ").join(map(str, expected))
                expected = expected.encode() if isinstance(expected, str) else expected
                self.assertEqual(value, expected, (record[0], name))
        self.assertEqual(want, {})
        # The comments and warnings a row per item, the comments in their order.
        for table, item, column in (("sauce_comments", "text", "comments"),
                                    ("sauce_warnings", "warning", "sauce_warnings")):
            got = {}
            order = "line" if item == "text" else "warning"
            for path, value in db.execute(f"SELECT path, {item} FROM {table} ORDER BY path, {order}"):
                got.setdefault(path.decode(), []).append(value.decode())
            expected = {json.loads(l)["path"]: json.loads(l)[column] for l in lines}
            self.assertEqual(got, {p: v if item == "text" else sorted(v) for p, v in expected.items() if v})
        self.assertEqual(db.execute("PRAGMA user_version").fetchone()[0], 3)
        # The manual gives the schema as it is.
        with open(os.path.join(os.path.dirname(__file__), "../../man/tintrel-catalog.1")) as f:
            manual = f.read()
        manual = manual[manual.index("CREATE TABLE files"):manual.index(".EE", manual.index("CREATE TABLE files"))]
        shown = subprocess.run(["sqlite3", "art.db", ".schema"], cwd=self.root, capture_output=True).stdout
        squeeze = lambda text: re.sub(r"\s+|/\*.*?\*/", "", text)
        self.assertEqual(squeeze(manual), squeeze(shown.decode()))

    def test_numeric_queries_answer_right(self):
        self.run_catalog("-f", "sqlite", "-o", "art.db", "art")
        self.write("art.csv", subprocess.run([CATALOG, "art"], cwd=self.root, capture_output=True).stdout)
        with open(self.path("art.csv"), newline="", errors="surrogateescape") as f:
            rows = list(csv.DictReader(f))
        answers = [str(sum(1 for r in rows if r["blue"] and int(r["blue"]) > 50)),
                   str(max(int(r["size"]) for r in rows if r["size"]))]
        queries = ["SELECT count(*) FROM art WHERE blue > 50", "SELECT max(size) FROM art"]
        ask = lambda db, *sql: subprocess.run(["sqlite3", db, *sql], cwd=self.root, capture_output=True,
                                              check=True).stdout.decode().splitlines()
        self.assertEqual(ask("art.db", *[q.replace("art", "files") for q in queries]), answers)
        # The CSV imported with its types declared agrees; imported as it is, it compares text.
        typed = ("CREATE TABLE art AS SELECT path, CAST(nullif(size, '') AS INTEGER) AS size, "
                 "CAST(nullif(blue, '') AS INTEGER) AS blue FROM raw")
        self.assertEqual(ask("typed.db", ".import --csv art.csv raw", typed, *queries), answers)
        self.assertNotEqual(ask("text.db", ".import --csv art.csv art", *queries), answers)
        self.assertEqual(ask("art.db", "SELECT copies, paths FROM duplicates"),
                         ['2|["art/1.ans","art/sub/twin.ans"]'])

    def test_update_gives_what_a_fresh_run_gives(self):
        self.make_zip("art/gone.zip", 40, 2)
        self.write("art/racy.ans", art(80, 600), time.time())
        self.assertEqual(self.run_catalog("-f", "sqlite", "-o", "art.db", "art"), ("", 0))
        self.write("art/new.ans", art(50, 400))                        # added
        self.write("art/1.ans", art(51, 9987), time.time() - 1800)     # changed, the same size
        self.write("art/3.ans", art(52, 80))                          # changed size, mtime now
        os.utime(self.path("art/4.ans"))                               # touched, no more
        os.remove(self.path("art/5.ans"))                              # gone
        os.remove(self.path("art/gone.zip"))                           # a pack gone
        self.make_zip("art/pack.zip", 60, 5, time.time() - 900)        # a pack changed
        self.make_zip("art/0.ans", 70, 2)                              # a file become a pack
        racy = os.stat(self.path("art/racy.ans")).st_mtime_ns          # changed within a clock tick
        self.write("art/racy.ans", art(81, 600))
        os.utime(self.path("art/racy.ans"), ns=(racy, racy))
        with open(self.path("art/2.ans"), "rb") as held:               # unchanged: not opened
            fcntl.flock(held, fcntl.LOCK_EX)
            self.assertEqual(self.run_catalog("-f", "sqlite", "--update", "-o", "art.db", "art"), ("", 0))
        self.assertEqual(self.run_catalog("-f", "sqlite", "-o", "fresh.db", "art"), ("", 0))
        self.assertEqual(dump(self.path("art.db")), dump(self.path("fresh.db")))
        # Fewer paths, other pack options: still what a fresh run of the same command gives.
        for args in (["art/sub", "art/pack.zip"], ["--no-packs", "art/sub", "art/pack.zip"]):
            note, status = self.run_catalog("-f", "sqlite", "--update", "-o", "art.db", *args)
            self.assertEqual((bool(note), status), (args[0] == "--no-packs", 0), note)
            self.run_catalog("-f", "sqlite", "-o", "fresh.db", *args)
            self.assertEqual(dump(self.path("art.db")), dump(self.path("fresh.db")), args)

    def test_failures_leave_the_database_as_it_was(self):
        self.run_catalog("-f", "sqlite", "-o", "art.db", "art")
        for i in range(300):
            self.write("art/sub/more%d.ans" % i, art(i, 200))
        with open(self.path("art.db"), "rb") as f:
            before = f.read()
        def limit():  # a disk that takes the database as it is and nothing more
            resource.setrlimit(resource.RLIMIT_FSIZE, (len(before), len(before)))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        for update in ([], ["--update"]):
            errors, status = self.run_catalog("-f", "sqlite", *update, "-o", "art.db", "art",
                                              preexec_fn=limit)
            self.assertEqual((errors, status), ("tintrel-catalog: cannot write art.db: File too large\n", 2))
            os.mkfifo(self.path("list"))
            run = subprocess.Popen([CATALOG, "-f", "sqlite", *update, "-o", "art.db", "--files-from",
                                    "list"], cwd=self.root)
            with open(self.path("list"), "wb") as paths:
                paths.write(b"".join(b"art/sub/more%d.ans\n" % i for i in range(300)))
                paths.flush()
                time.sleep(0.5)
                run.send_signal(signal.SIGINT)
                self.assertEqual(run.wait(), -signal.SIGINT)
            os.remove(self.path("list"))
            self.assertEqual(sorted(os.listdir(self.root)), ["art", "art.db"])
            with open(self.path("art.db"), "rb") as f:
                self.assertEqual(f.read(), before)
        # A file that is no database of this version is refused, never replaced.
        with sqlite3.connect(self.path("later.db")) as db:
            db.execute("PRAGMA application_id = 1953066612")
            db.execute("PRAGMA user_version = 4")
        sqlite3.connect(self.path("other.db")).execute("CREATE TABLE notes (text)")
        self.write("table.csv", b"path,size\n")
        for name, why in (("later.db", "is a database of another version of tintrel-catalog (4, "
                           "this one writes 3)"), ("other.db", "is not a database of tintrel-catalog"),
                          ("table.csv", "is not a database of tintrel-catalog")):
            with open(self.path(name), "rb") as f:
                before = f.read()
            for update in ([], ["--update"]):
                self.assertEqual(self.run_catalog("-f", "sqlite", *update, "-o", name, "art"),
                                 (f"tintrel-catalog: {name} {why}: it is left as it is\n", 2))
            with open(self.path(name), "rb") as f:
                self.assertEqual(f.read(), before)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
