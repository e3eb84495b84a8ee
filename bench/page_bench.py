#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""How quickly the gallery page of a large archive opens in headless Chromium, by the page's own
clock, in a browser that has shown a page before: packs of art with their FILE_ID.DIZ, NFO and a picture, some art shared between packs, and
files outside packs, catalogued with pictures; then the page opened at every drawing, and a pack
view reached from it as a click reaches it.
Usage: bench/page_bench.py TINTREL_CATALOG [packs, default 800] [members a pack, default 124]
       [loose files, default 1000] [rounds, default 3]"""
import os, random, subprocess, sys, tempfile, time, zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cli"))
from browser import Browser  # noqa: E402

catalog = os.path.abspath(sys.argv[1])
packs, members, loose, rounds = (int(a) for a in (sys.argv[2:] + ["800", "124", "1000", "3"][len(sys.argv) - 2:]))
chance = random.Random(31)
authors = ["%s%d" % (chance.choice(["ink", "zed", "Mo", "KAOS", "lord"]), i) for i in range(1500)]
groups = ["%s %d" % (chance.choice(["Blocktronics", "ACiD", "iCE", "Fire", "Mimic"]), i) for i in range(200)]


def sauce(title, author, group, date):
    fields = b"".join(f.ljust(n)[:n] for f, n in ((b"SAUCE00", 7), (title, 35), (author, 20),
                                                     (group, 20), (date, 8)))
    numbers = (0).to_bytes(4, "little") + bytes([1, 1]) + (80).to_bytes(2, "little")
    numbers += (25).to_bytes(2, "little") + bytes(4) + bytes([0, 1])
    return b"\x1a" + fields + numbers + b"IBM VGA".ljust(22, b"\0")


def drawing(n):
    """Some 30 lines of art: short colour changes between one to four block glyphs."""
    out = bytearray()
    for _ in range(chance.randint(20, 40)):
        for _ in range(chance.randint(8, 20)):
            out += b"\x1b[%d;%dm" % (chance.choice((0, 1)), 30 + chance.randrange(8))
            out += bytes(chance.choice((0xdb, 0xb0, 0xb1, 0xb2, 0xdc, 0xdf, 0x20)) for _ in
                         range(chance.randint(1, 4)))
        out += b"\x1b[0m\r\n"
    date = b"%04d%02d%02d" % (chance.randint(1990, 2020), chance.randint(1, 12), chance.randint(1, 28))
    return bytes(out) + sauce(b"Art %d" % n, chance.choice(authors).encode(),
                              chance.choice(groups).encode(), date)


with tempfile.TemporaryDirectory() as work:
    os.makedirs(os.path.join(work, "art/loose"))
    made, shared = 0, []
    for p in range(packs):
        with zipfile.ZipFile(os.path.join(work, "art/pack%04d.zip" % p), "w") as pack:
            pack.writestr("FILE_ID.DIZ", b"\x1b[1;36mPACK %d\r\n\x1b[0mart of the month\r\n" % p)
            pack.writestr("pack%d.nfo" % p, b"\x1b[35m" + b"about the pack\r\n" * 40)
            pack.writestr("LOGO.PNG", b"\x89PNG\r\n\x1a\n" + bytes(100))
            for m in range(members - 3):
                # One drawing in twenty is one another pack holds too.
                data = chance.choice(shared) if shared and m % 20 == 0 else drawing(made)
                shared.append(data) if len(shared) < 500 else None
                pack.writestr("ART%03d.ANS" % m, data)
                made += 1
    for i in range(loose):
        with open(os.path.join(work, "art/loose/file%d.ans" % i), "wb") as f:
            f.write(drawing(made + i))
    os.mkdir(os.path.join(work, "site"))
    started = time.monotonic()
    run = subprocess.run([catalog, "--thumbnails", "site/pics", "--html", "site/index.html", "-o",
                          "site/art.csv", "art"], cwd=work, stderr=subprocess.PIPE)
    with open(os.path.join(work, "site/art.csv"), "rb") as f:
        rows = f.read().count(b"\n") - 1
    print("catalogued %d rows in %.1f s (status %d), page %.1f MB" % (
        rows, time.monotonic() - started, run.returncode,
        os.path.getsize(os.path.join(work, "site/index.html")) / 1e6))
    page = "file://" + os.path.join(work, "site/index.html")
    for round in range(rounds):
        browser = Browser()
        try:
            # A fresh browser's first page waits for its fonts to be found; a reader's has them.
            browser.open(page + "#/")
            cold = browser.run("Number(document.body.dataset.readyMs)")
            browser.open(page + "#/")
            first = browser.run("Number(document.body.dataset.readyMs)")
            read = browser.run("performance.getEntriesByType('navigation')[0].responseEnd")
            browser.run("location.hash = '#/pack/' + encodeURIComponent('art/pack%04d.zip')" %
                        (packs // 2))
            browser.wait("document.body.dataset.view == 'pack'")
            pack = browser.run("Number(document.body.dataset.viewMs)")
            cards = browser.run("document.querySelectorAll('#cards .card').length")
            browser.run("history.back()")
            browser.wait("document.body.dataset.view != 'pack'")
            back = browser.run("Number(document.body.dataset.viewMs)")
            print("round %d: first view %d ms (the file read and parsed as HTML by %d ms; %d ms in a"
                  " fresh browser), a pack view %d ms (%d cards drawn), back %d ms" % (
                      round + 1, first, read, cold, pack, cards, back))
        finally:
            browser.close()
