#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tintrel-catalog on what an attacker would hand it, each attack made small here: the rows, the
status and every byte on standard error.
Usage: hostile_test.py TINTREL_CATALOG [unittest arguments]"""
import csv, gzip, io, os, subprocess, sys, tarfile, tempfile, unittest

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


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[2:])
