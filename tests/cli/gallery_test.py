#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog --thumbnails and --html run as a user runs them: the pictures' pixels read
back with zlib, one picture per art, and the gallery page loaded in headless Chromium.
Usage: gallery_test.py TINTREL_CATALOG [unittest arguments]. Exits 77 when a test needs
Chromium and there is none."""
import csv, io, json, os, re, struct, subprocess, sys, tempfile, unittest, zipfile, zlib
from browser import Browser, CHROMIUM

CATALOG = sys.argv[1]
NEEDS_CHROMIUM = ("page", "address", "full_view")


def read_png(path):
    """Width, height and rows of RGB triples of an 8-bit indexed PNG without filters."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    chunks, at = {}, 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks[kind] = chunks.get(kind, b"") + data[at + 8:at + 8 + length]
        at += 12 + length
    width, height, depth, color = struct.unpack(">IIBB", chunks[b"IHDR"][:10])
    assert (depth, color) == (8, 3)
    palette = [tuple(chunks[b"PLTE"][i:i + 3]) for i in range(0, len(chunks[b"PLTE"]), 3)]
    pixels = zlib.decompress(chunks[b"IDAT"])
    rows = []
    for y in range(height):
        line = pixels[y * (width + 1):(y + 1) * (width + 1)]
        assert line[0] == 0  # no filter
        rows.append([palette[i] for i in line[1:]])
    return width, height, rows


def sauce(title, group, date=b"19960704", ice=True, spacing=0, author=b"ink"):
    """A record of ANSi art, 80 columns by 25 lines."""
    fields = b"".join(f.ljust(n)[:n] for f, n in ((b"SAUCE00", 7), (title, 35), (author, 20),
                                                     (group, 20), (date, 8)))
    numbers = (0).to_bytes(4, "little") + bytes([1, 1]) + (80).to_bytes(2, "little")
    numbers += (25).to_bytes(2, "little") + bytes(4) + bytes([0, ice | spacing << 1])
    return b"\x1a" + fields + numbers + b"IBM VGA".ljust(22, b"\0")


class Gallery(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        os.makedirs(self.path("art/more"))
        drawings = {
            "sunset.ans": b"\x1b[1;33;44m\xdb\xdb\xb1 sun \x1b[0m\r\n" + sauce(b"Sunset", b"Crew"),
            "more/sunset copy.ans": b"\x1b[1;33;44m\xdb\xdb\xb1 sun \x1b[0m\r\n" +
                                    sauce(b"Sunset again", b"Other"),
            "more/moon.ans": b"\x1b[37m moon \xdc\xdf\r\n" + sauce(b"Moon", b"Crew"),
            "more/sea.ans": b"\x1b[36;44m~~~~\r\n" + sauce(b"Sea <b>", b"Crew", date=b"19961399"),
            "plain.txt": b"just words\r\n",
            "program.exe": b"MZ\x90\x00\x03\x00\x00\x00\x04\x00" * 40,
        }
        for name, data in drawings.items():
            with open(self.path("art/" + name), "wb") as f:
                f.write(data)

    def tearDown(self):
        self.dir.cleanup()

    def path(self, name):
        return os.path.join(self.root, name)

    def catalog(self, *args):
        run = subprocess.run([CATALOG, *args], cwd=self.root, capture_output=True)
        return run.stdout, run.stderr, run.returncode

    def dom(self, page, fragment=""):
        """The page's document once loaded, as headless Chromium leaves it."""
        profile = tempfile.mkdtemp(dir=self.root)
        run = subprocess.run(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
             "--no-first-run", "--disable-background-networking", "--disable-component-update",
             "--disable-sync", "--user-data-dir=" + profile, "--dump-dom",
             "file://" + self.path(page) + fragment], capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout.decode()

    def test_pictures_are_drawn_once_per_art_and_named_in_the_table(self):
        with open(self.path("art/blocks.ans"), "wb") as f:  # yellow, blue, then bright blue on iCE
            f.write(b"\x1b[1;33m\xdb\x1b[0;44m \x1b[0;5;44m \x1b[0m\r\n" + sauce(b"B", b"C", ice=True))
        with open(self.path("art/wide.ans"), "wb") as f:  # 9-pixel cells; the drawing uses iCE
            f.write(b"\x1b[0;5;44m\xc4\xc4\xb3\x1b[0m\r\n" * 3 + sauce(b"W", b"C", ice=False, spacing=2))
        with zipfile.ZipFile(self.path("art/pack.zip"), "w") as pack:  # the same art in a pack
            pack.write(self.path("art/sunset.ans"), "SUNSET.ANS")
        table, errors, status = self.catalog("--thumbnails", "pics", "-j", "4", "art")
        self.assertEqual((errors, status), (b"", 0))
        rows = {r["path"]: r for r in csv.DictReader(io.StringIO(table.decode(), newline=""))}
        pictures = {path: row["thumbnail"] for path, row in rows.items()}
        self.assertEqual(pictures["art/sunset.ans"], pictures["art/more/sunset copy.ans"])
        self.assertEqual(pictures["art/sunset.ans"], pictures["art/pack.zip/SUNSET.ANS"])
        self.assertEqual(pictures["art/pack.zip"], "")
        self.assertEqual(pictures["art/sunset.ans"], "pics/%s.png" % rows["art/sunset.ans"]["art_md5"])
        self.assertEqual(pictures["art/program.exe"], "")  # a binary has none
        self.assertEqual(sorted(os.listdir(self.path("pics"))),  # no temporary file is left
                         sorted({p[5:] for p in pictures.values() if p}))
        width, height, pixels = read_png(self.path(pictures["art/blocks.ans"]))
        self.assertEqual((width, height), (320, 8))
        for x, color in ((1, (255, 255, 85)), (5, (0, 0, 170)), (9, (85, 85, 255)), (13, (0, 0, 0))):
            self.assertEqual({pixels[y][x] for y in range(8)}, {color}, x)
        # 9-pixel cells are 4 pixels by 7 here. A bright background the record does not flag is
        # still shown, since the drawing uses it.
        width, height, pixels = read_png(self.path(pictures["art/wide.ans"]))
        self.assertEqual((width, height), (320, 21))
        self.assertEqual(pixels[0][0], (85, 85, 255))
        # At one pixel per font pixel the 9th column of the line repeats its 8th; that of the
        # vertical bar (0xB3, outside 0xC0-0xDF) is background.
        width, height, pixels = read_png(self.catalog_picture("--thumbnail-width", "0", "art/wide.ans"))
        self.assertEqual((width, height), (720, 48))
        line = [y for y in range(16) if pixels[y][7] == (170, 170, 170)]
        self.assertTrue(line)
        self.assertEqual({pixels[y][8] for y in line}, {(170, 170, 170)})
        self.assertEqual({pixels[y][26] for y in range(16)}, {(85, 85, 255)})

    def test_full_pictures_replace_a_planted_link_and_leave_its_target(self):
        import hashlib
        with open(self.path("art/sunset.ans"), "rb") as f:
            art_md5 = hashlib.md5(f.read().split(b"\x1a")[0]).hexdigest()
        os.makedirs(self.path("full"))
        with open(self.path("outside.png"), "wb") as f:
            f.write(b"not a picture")
        os.symlink("../outside.png", self.path("full/%s.png" % art_md5))
        table, errors, status = self.catalog("--pictures", "full", "--thumbnails", "pics", "art")
        self.assertEqual((errors, status), (b"", 0))
        rows = {r["path"]: r for r in csv.DictReader(io.StringIO(table.decode(), newline=""))}
        self.assertEqual(rows["art/sunset.ans"]["picture"], "full/%s.png" % art_md5)
        self.assertEqual(rows["art/program.exe"]["picture"], "")  # a binary has none
        self.assertFalse(os.path.islink(self.path("full/%s.png" % art_md5)))
        with open(self.path("outside.png"), "rb") as f:
            self.assertEqual(f.read(), b"not a picture")
        width, height, pixels = read_png(self.path("full/%s.png" % art_md5))
        self.assertEqual((width, height), (640, 16))  # one line of 80 cells, 8 by 16
        self.assertEqual(pixels[0][0], (255, 255, 85))  # the block in bright yellow
        self.assertEqual(self.catalog("--pictures", "pics", "--thumbnails", "pics", "art")[2], 2)

    def catalog_picture(self, *args):
        table, _, status = self.catalog("--thumbnails", "full", *args)
        self.assertEqual(status, 0)
        return self.path(next(csv.DictReader(io.StringIO(table.decode())))["thumbnail"])

    def test_page_shows_a_card_per_art_and_search_narrows_them(self):
        plain = self.catalog("art")[0]
        table, errors, status = self.catalog("--html", "out.html", "art")
        self.assertEqual((table, errors, status), (plain, b"", 0))
        os.mkdir(self.path("site"))
        self.assertEqual(self.catalog("--thumbnails", "pics", "--html", "site/out.html", "art")[2], 0)
        with open(self.path("site/out.html"), encoding="utf-8") as f:
            page = f.read()
        self.assertIn('data-pictures="../pics/"', page)
        self.assertNotIn("Sea <b>", page)  # no markup comes out of a title
        self.assertNotIn("http", page.replace("http-equiv", ""))  # nothing from the network
        # Six files, two of them the same art and one no art: four cards, the copies listed on one.
        dom = self.dom("site/out.html")
        self.assertEqual(dom.count('<article class="card">'), 4)
        self.assertEqual(dom.count('src="../pics/'), 4)
        self.assertIn("2 copies", dom)
        self.assertIn("4 of 4 drawings", dom)
        self.assertIn("1 files outside packs are no art", dom)
        self.assertIn("Sea &lt;b&gt;", dom)
        self.assertIn("bad-date", dom)
        self.assertIn('data-ready-ms="', dom)
        # Search words all match, in any field of any copy, whatever their case.
        for query, cards in (("crew", 3), ("CREW%20moon", 1), ("again", 1), ("nothing", 0)):
            dom = self.dom("site/out.html", "#q=" + query)
            self.assertEqual(dom.count('<article class="card">'), cards, query)
            self.assertIn("%d of 4 drawings" % cards, dom)

    def test_records_hold_the_table_values_by_column_name(self):
        with zipfile.ZipFile(self.path("art/pack.zip"), "w") as pack:
            pack.write(self.path("art/sunset.ans"), "SUNSET.ANS")
        with open(self.path("art/broken.zip"), "wb") as f:  # a pack's own row that failed
            f.write(b"PK\x03\x04" + bytes(40))
        table, _, status = self.catalog("-f", "jsonl", "--thumbnails", "pics", "--html", "out.html",
                                        "art")
        self.assertEqual(status, 1)
        with open(self.path("out.html"), encoding="utf-8") as f:
            page = f.read()
        start = page.index('<script id="rows" type="application/json">')
        data = json.loads(page[page.index(">", start) + 1:page.index("</script>", start)])
        names, records = data[0], data[1:-1]
        self.assertIsNone(data[-1])
        # Every row, a pack's own included, in table order.
        rows = [json.loads(line) for line in table.decode().splitlines()]
        self.assertEqual([record[names.index("path")] for record in records],
                         [row["path"] for row in rows])
        self.assertIn("art/pack.zip", [row["path"] for row in rows])
        for row, record in zip(rows, records):
            self.assertEqual(len(record), len(names))
            self.assertEqual(dict(zip(names, record)), {name: row[name] for name in names})
        # The script reads no field that the page does not name.
        script = page[page.rindex("<script>"):]
        wanted = set(re.findall(r"\bF\.(\w+)", script) + re.findall(r'\["(\w+)", "#', script))
        self.assertTrue({"path", "blue", "gray", "sauce_warnings"} <= wanted)
        self.assertLessEqual(wanted, set(names))

    def make_site(self):
        """Two packs sharing a drawing, one with its FILE_ID.DIZ, NFO and a picture that is no
        art, and two drawings outside packs; the page beside its pictures, the packs one folder up."""
        files = {"FILE_ID.DIZ": b"\x1b[1;36mCOOL PACK\r\n", "a.nfo": b"\x1b[35mabout us\r\n",
                 "SUNSET.ANS": b"\x1b[33;44m sun\r\n" + sauce(b"Sunset", b"Crew"),
                 "LOGO.PNG": b"\x89PNG\r\n\x1a\n" + bytes(40),
                 "MOON.ANS": b"\x1b[37m moon\r\n" + sauce(b"Moon", b"crew", b"19960101", author=b"INK"),
                 "SEA.ANS": b"\x1b[36m sea\r\n" + sauce(b"Sea", b"Other", b"19970301", author=b"zed")}
        for pack, members in (("a", ("FILE_ID.DIZ", "a.nfo", "SUNSET.ANS", "LOGO.PNG", "MOON.ANS")),
                              ("b", ("SUNSET.ANS", "SEA.ANS"))):
            with zipfile.ZipFile(self.path("art/%s.zip" % pack), "w") as f:
                for name in members:
                    f.writestr(name, files[name])
        for name, data in (("loose.ans", b"\x1b[31m loose\r\n" + sauce(b"Loose", b"Crew", b"19970505")),
                           ("undated.ans", b"\x1b[32m none\r\n" + sauce(b"Undated", b"", b"", author=b"zed"))):
            with open(self.path("art/" + name), "wb") as f:
                f.write(data)
        for name in ("sunset.ans", "more/sunset copy.ans", "more/moon.ans", "more/sea.ans",
                     "plain.txt", "program.exe"):
            os.remove(self.path("art/" + name))
        os.mkdir(self.path("site"))
        status = self.catalog("--thumbnails", "site/pics", "--html", "site/index.html", "art")[2]
        self.assertEqual(status, 0)
        self.browser = Browser()
        self.addCleanup(self.browser.close)
        return "file://" + self.path("site/index.html")

    def titles(self, where, pictures=""):
        return self.browser.run("[...document.querySelectorAll('%s .card .title%s')]"
                                ".map(node => node.alt || node.textContent)" % (where, pictures))

    def test_addresses_show_their_views(self):
        page = self.make_site()
        # The cards, the packs' titles and the pictures above them, and text above them.
        for hash, cards, top, shown in (
                ("#/pack/art%2Fa.zip", ["FILE_ID.DIZ", "a.nfo", "Sunset", "Moon"],
                 ["FILE_ID.DIZ", "a.nfo"], ["LOGO.PNG", "art/b.zip"]),
                ("#/artist/ink", ["Moon", "Sunset", "Loose"], [], ["INK"]),
                ("#/group/crew?sort=date-new", ["Loose", "Sunset", "Moon"], [], []),
                ("#/year/1997", ["Loose"], ["b.zip"], []),
                ("#/year/1996", [], ["FILE_ID.DIZ", "a.zip"], []),
                ("#/search?q=crew+sun", ["Sunset"], [], []),
                ("#q=zed", ["Sea", "Undated"], [], []),
                ("#/", ["FILE_ID.DIZ", "a.nfo", "Sunset", "Moon", "Sea", "Loose", "Undated"], [], [])):
            self.browser.open(page + hash)
            self.assertEqual(self.titles("#cards"), cards, hash)
            self.assertEqual(self.titles("#top", ", #top img"), top, hash)
            top = self.browser.run("document.getElementById('top').innerText")
            for text in shown:
                self.assertIn(text, top, hash)
            # Each picture is found where the address says.
            self.browser.wait("[...document.images].every(i => i.complete)")
            self.assertTrue(self.browser.run("[...document.images].every(i => i.naturalWidth)"))

    def test_a_card_opens_the_full_view_and_back_returns(self):
        page = self.make_site()
        for hash in ("#/pack/art%2Fa.zip", "#/search?q=crew&sort=date-new", "#/artist/ink"):
            self.browser.open(page + hash)
            cards = self.titles("#cards")
            self.browser.run("[...document.querySelectorAll('.card')].find(card => card"
                             ".querySelector('.title').textContent == 'Moon').querySelector('a')"
                             ".click()")
            self.browser.wait("document.body.dataset.view == 'file'")
            self.assertEqual(self.browser.run("location.hash"), "#/file/art%2Fa.zip%2FMOON.ANS")
            self.assertEqual(self.browser.run("document.querySelector('h1').textContent"), "Moon")
            self.assertTrue(self.browser.run("document.querySelector('.canvas img').naturalWidth"))
            links = self.browser.run("[...document.querySelectorAll('.links a')]"
                                     ".map(a => a.getAttribute('href'))")
            self.assertEqual(links, ["#/pack/art%2Fa.zip", "../art/a.zip"])
            self.browser.run("history.back()")
            self.browser.wait("document.body.dataset.view != 'file'")
            self.assertEqual(self.browser.run("location.hash"), hash)
            self.assertEqual(self.titles("#cards"), cards)

    def test_boxes_are_kept_in_the_address(self):
        page = self.make_site()
        for start, box, key, value, event, address, cards in (
                ("#/", "search", "value", "crew ", "input", "#/?q=crew", ["Sunset", "Moon", "Loose"]),
                ("#/", "group", "value", "OTHER", "input", "#/?group=OTHER", ["Sea"]),
                ("#/", "warned", "checked", True, "change", "#/?warned=1",
                 ["Sunset", "Moon", "Sea", "Loose", "Undated"]),
                ("#/artist/ink", "sort", "value", "date-new", "change", "#/artist/ink?sort=date-new",
                 ["Loose", "Sunset", "Moon"]),
                ("#/pack/art%2Fa.zip", "sort", "value", "size-large", "change",
                 "#/pack/art%2Fa.zip?sort=size-large", ["Sunset", "Moon", "FILE_ID.DIZ", "a.nfo"])):
            self.browser.open(page + start)
            self.browser.run("const box = document.getElementById('%s'); box.%s = %s; box.dispatchEvent"
                             "(new Event('%s'))" % (box, key, json.dumps(value), event))
            self.browser.wait("location.hash == %s" % json.dumps(address))
            self.assertEqual(self.browser.run("document.getElementById('%s').%s" % (box, key)), value)
            self.assertEqual(self.titles("#cards"), cards, address)
            self.browser.open(page + address)  # the address alone gives the same view
            self.assertEqual(self.titles("#cards"), cards, address)


if __name__ == "__main__":
    wanted = sys.argv[2:]
    if not CHROMIUM and any(word in name for name in wanted for word in NEEDS_CHROMIUM):
        print("chromium is not installed: skipped")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1] + wanted)
