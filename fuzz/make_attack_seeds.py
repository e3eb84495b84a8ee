#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the hostile inputs the catalogue must survive, made small, as seeds: into PACKS the packs
(long pax names, a 7z whose header asks a 4 GiB window, both ends of a split zip, a lone gzip led by
NUL bytes, a member name with a NUL, a stored zip inside a stored zip), into ART the files (a flood
of position requests, names and SAUCE fields that drive a terminal). Each stays within the targets'
max_len. Usage: make_attack_seeds.py PACKS ART"""
import gzip, io, os, shutil, subprocess, sys, tarfile, tempfile, zipfile, zlib

packs, art = sys.argv[1], sys.argv[2]
ART = b"\x1b[1;31mRed\x1b[0m\r\n"


def write(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def zipped(entries, method=zipfile.ZIP_STORED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            z.writestr(name, data)
    return buffer.getvalue()


names = io.BytesIO()
with tarfile.open(fileobj=names, mode="w:gz", format=tarfile.PAX_FORMAT) as t:
    for i in range(4):
        t.addfile(tarfile.TarInfo(("%d" % i).ljust(5000, "n")), io.BytesIO())
write(packs, "attack-long-names.tar.gz", names.getvalue())
write(packs, "attack-nul-led.gz", gzip.compress(bytes(1024) + ART, mtime=0))
write(packs, "attack-nul-name.zip", zipped([("a_b.ans", ART)]).replace(b"a_b.ans", b"a\0b.ans"))
write(packs, "attack-nested-stored.zip", zipped([("inner.zip", zipped([("ART.ANS", ART * 200)]))]))
# A split zip's first volume starts with the spanning mark; its last ends with a record whose disk
# numbers are not 0.
whole = zipped([("ART.ANS", ART * 50)], zipfile.ZIP_DEFLATED)
directory = whole.rfind(b"PK\x01\x02")
write(packs, "attack-split.z01", b"PK\x07\x08" + whole[:directory])
end = bytearray(whole[directory:])
end[-18:-14] = b"\x01\x00\x01\x00"
write(packs, "attack-split.zip", bytes(end))
if shutil.which("7z"):
    with tempfile.TemporaryDirectory() as work:
        write(work, "z.ans", bytes(100000))
        subprocess.run(["7z", "a", "-bd", "-mx1", "-m0=LZMA:d=1m", "-mhc=off", "p.7z", "z.ans"],
                       cwd=work, check=True, capture_output=True)
        with open(os.path.join(work, "p.7z"), "rb") as f:
            pack = bytearray(f.read())
    at = pack.rindex(b"\x23\x03\x01\x01\x05") + 6
    pack[at:at + 4] = b"\xff\xff\xff\xff"
    pack[28:32] = zlib.crc32(pack[32 + int.from_bytes(pack[12:20], "little"):]).to_bytes(4, "little")
    pack[8:12] = zlib.crc32(pack[12:32]).to_bytes(4, "little")
    write(packs, "attack-window.7z", bytes(pack))

write(art, "attack-report-flood.ans", b"\x1b[6n" * 1000)
write(art, "attack-terminal.ans", b"t\x1b]0;owned\x07\x1b[2J\x9b\xff" + ART + b"\x1aSAUCE00" +
      b"\x1b]0;title\x07".ljust(35) + b"\x1b[2J".ljust(20) + b"\x9b".ljust(20) + bytes(37))
