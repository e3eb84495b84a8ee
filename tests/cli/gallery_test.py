#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog --thumbnails and --html run as a user runs them: the pictures' pixels read
back with zlib, one picture per art, and the gallery page loaded in headless Chromium.
Usage: gallery_test.py TINTREL_CATALOG [unittest arguments]. Exits 77 when a test needs
Chromium and there is none."""
import csv, io, os, shutil, struct, subprocess, sys, tempfile, unittest, zlib

CATALOG = sys.argv[1]
CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
NEEDS_CHROMIUM = ("page",)


def sauce(title, group, date=b"19960704", ice=True, spacing=0):
    """A record of ANSi art, 80 columns by 25 lines."""
    fields = b"".join(f.ljust(n)[:n] for f, n in ((b"SAUCE00", 7), (title, 35), (b"ink", 20),
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

    def test_page_shows_a_card_per_art_and_search_narrows_them(self):
        plain = self.catalog("art")[0]
        table, errors, status = self.catalog("--html", "out.html", "art")
        self.assertEqual((table, errors, status), (plain, b"", 0))
        page = open(self.path("out.html"), encoding="utf-8").read()
        self.assertNotIn("Sea <b>", page)  # no markup comes out of a title
        self.assertNotIn("http", page.replace("http-equiv", ""))  # nothing from the network
        # Six files, two of them the same art: five cards, the copies listed on one.
        dom = self.dom("out.html")
        self.assertEqual(dom.count('<article class="card">'), 5)
        self.assertIn("2 copies", dom)
        self.assertIn("5 of 5 drawings", dom)
        self.assertIn("Sea &lt;b&gt;", dom)
        self.assertIn("bad-date", dom)
        self.assertIn('data-ready-ms="', dom)
        # Search words all match, in any field of any copy, whatever their case.
        for query, cards in (("crew", 3), ("CREW%20moon", 1), ("again", 1), ("nothing", 0)):
            dom = self.dom("out.html", "#q=" + query)
            self.assertEqual(dom.count('<article class="card">'), cards, query)
            self.assertIn("%d of 5 drawings" % cards, dom)


if __name__ == "__main__":
    wanted = sys.argv[2:]
    if not CHROMIUM and any(word in name for name in wanted for word in NEEDS_CHROMIUM):
        print("chromium is not installed: skipped")
        sys.exit(77)
    unittest.main(argv=sys.argv[:1] + wanted)
