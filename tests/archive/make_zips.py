#!/usr/bin/env python3
"""Writes the zip archives the tests read, from the sample images:
   make_zips.py OUTDIR SAMPLES

mixed.zip    image members by every ending and case, in folders, with a UTF-8
             name, a hostile name and a control character, beside members
             that are passed over (a text file, a folder) and an archive inside.
bad.zip      a bomb that says how large it is, one that says it is small, a
             member whose data fails its CRC, an image that reads well, an
             archive inside, an encrypted member and a last image after it.
hostile.zip  images under names that climb out of the folder, an absolute
             one, and two that differ only in case.
one.zip      one image beside a text file; two.zip two images.

fuzz/seeds/samples.zip and fuzz/seeds/mixed.zip are two.zip and mixed.zip.
"""
import os
import struct
import sys
import zipfile

WHEN = (2024, 1, 1, 0, 0, 0)


def add(z, name, data, method=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, WHEN)
    info.compress_type = method
    z.writestr(info, data)


def headers(data, name):
    """Offsets of the local and the central header of member `name`."""
    n = name.encode()
    local = data.index(b"PK\x03\x04")
    while data[local + 30:local + 30 + len(n)] != n:
        local = data.index(b"PK\x03\x04", local + 4)
    central = data.index(b"PK\x01\x02")
    while data[central + 46:central + 46 + len(n)] != n:
        central = data.index(b"PK\x01\x02", central + 4)
    return local, central


def patch(path, name, flag=0, size=None):
    """Sets general-purpose flag bits of a member, or states another size."""
    data = bytearray(open(path, "rb").read())
    local, central = headers(data, name)
    data[local + 6] |= flag
    data[central + 8] |= flag
    if size is not None:
        struct.pack_into("<I", data, local + 22, size)
        struct.pack_into("<I", data, central + 24, size)
    open(path, "wb").write(data)


def main(out, samples):
    os.makedirs(out, exist_ok=True)
    jv1 = open(os.path.join(samples, "newdos80-jv1.dsk"), "rb").read()
    dmk = open(os.path.join(samples, "double-density.dmk"), "rb").read()

    with zipfile.ZipFile(os.path.join(out, "mixed.zip"), "w") as z:
        add(z, "disks/one.dsk", b"one" * 100)
        add(z, "TWO.JV3", b"two", zipfile.ZIP_STORED)
        add(z, "readme.txt", b"not an image")
        add(z, "folder/", b"")
        add(z, "inner.zip", b"PK\x05\x06" + bytes(18))
        add(z, "caf\u00e9.Dmk", b"utf-8 name")
        add(z, "../../evil.jv1", b"hostile name")
        add(z, "ctl\x1b.dsk", b"control character")
        add(z, "short.dsk", b"S" * 40)
    patch(os.path.join(out, "mixed.zip"), "short.dsk", size=30)

    bad = os.path.join(out, "bad.zip")
    with zipfile.ZipFile(bad, "w") as z:
        add(z, "bomb.dsk", bytes(65 << 20))
        add(z, "liar.dsk", bytes(65 << 20))
        add(z, "corrupt.dsk", b"A" * 1000, zipfile.ZIP_STORED)
        add(z, "good.dsk", jv1)
        add(z, "nested.zip", b"PK\x05\x06" + bytes(18))
        add(z, "encrypted.dsk", jv1)
        add(z, "last.dsk", jv1)
    patch(bad, "liar.dsk", size=1000)
    patch(bad, "encrypted.dsk", flag=1)
    data = bytearray(open(bad, "rb").read())
    data[data.index(b"A" * 1000) + 500] ^= 1  # the stored data no longer matches its CRC
    open(bad, "wb").write(data)

    with zipfile.ZipFile(os.path.join(out, "hostile.zip"), "w") as z:
        add(z, "../../up.dsk", jv1)
        add(z, "/abs/root.dmk", dmk)
        add(z, "a/SAME.DSK", jv1)
        add(z, "b/same.dsk", jv1)
        add(z, "..\\..\\win.dsk", jv1)

    with zipfile.ZipFile(os.path.join(out, "one.zip"), "w") as z:
        add(z, "notes.txt", b"not an image")
        add(z, "disks/newdos80-jv1.dsk", jv1)
    with zipfile.ZipFile(os.path.join(out, "two.zip"), "w") as z:
        add(z, "newdos80-jv1.dsk", jv1)
        add(z, "double-density.dmk", dmk)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
