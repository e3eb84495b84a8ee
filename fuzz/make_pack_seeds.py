#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed packs of pack_reader_fuzz into a folder: zips of every method the reader
knows, nested, cut and streamed; tar, alone and compressed; a lone gzip; and 7z and LHA where
the tools are installed. Made anew on each run, so no binary is kept.
Usage: make_pack_seeds.py FOLDER"""
import bz2, gzip, io, lzma, os, shutil, subprocess, sys, tarfile, tempfile, zipfile

out = sys.argv[1]
art = b"\x1b[1;31mred\x1b[44m blue \xdb\xb1|07x\r\n" * 20 + b"\x1aSAUCE00"
members = [("ART.ANS", art), ("sub/", b""), ("sub/MORE.ANS", art[:90]), ("EMPTY.ANS", b"")]


def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def zipped(method, entries=members):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            z.writestr(name, data)
    return buffer.getvalue()


for name, method in (("stored", zipfile.ZIP_STORED), ("deflate", zipfile.ZIP_DEFLATED),
                     ("bzip2", zipfile.ZIP_BZIP2), ("lzma", zipfile.ZIP_LZMA)):
    write(name + ".zip", zipped(method))
deflated = zipped(zipfile.ZIP_DEFLATED)
write("nested.zip", zipped(zipfile.ZIP_DEFLATED, [("old/inner.zip", deflated), ("NEW.ANS", art)]))
write("cut.zip", deflated[:deflated.find(b"PK\x01\x02")])
write("empty.zip", zipped(zipfile.ZIP_STORED, []))
tar = io.BytesIO()
with tarfile.open(fileobj=tar, mode="w") as t:
    for name, data in members:
        info = tarfile.TarInfo(name)
        info.size = len(data)
        t.addfile(info, io.BytesIO(data))
write("plain.tar", tar.getvalue())
write("art.tar.gz", gzip.compress(tar.getvalue()))
write("art.tar.bz2", bz2.compress(tar.getvalue()))
write("art.tar.xz", lzma.compress(tar.getvalue()))
write("lone.gz", gzip.compress(art))
if shutil.which("zip"):  # a member of unknown size, as zip writes from a pipe
    write("streamed.zip", subprocess.run(["zip", "-q", "-", "-"], input=art, check=True,
                                         capture_output=True).stdout)
with tempfile.TemporaryDirectory() as folder:
    with open(os.path.join(folder, "ART.ANS"), "wb") as f:
        f.write(art)
    for pack, command in (("art.7z", ["7z", "a", "-bd"]), ("art.lzh", ["jlha", "a"])):
        if shutil.which(command[0]):
            subprocess.run(command + [pack, "ART.ANS"], cwd=folder, check=True, capture_output=True)
            shutil.copy(os.path.join(folder, pack), os.path.join(out, pack))
