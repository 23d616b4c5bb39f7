#!/usr/bin/env python3
"""Bench-only package writer, used when tarnpack is not built.

    pack_show.py OUTPUT PLAYER SHOW_DESCRIPTION FILE...

Writes the player's image, the show description and the files back to back,
then one 264-byte record per entry (size, NUL-padded 260-byte name) from the
last entry to the first, then the entry count; marks the result executable.
"""
import os
import shutil
import struct
import sys

RECORD_NAME_BYTES = 260
MAX_ENTRIES = 99


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    output, entries = argv[1], argv[2:]
    if len(entries) > MAX_ENTRIES:
        sys.stderr.write("too many entries\n")
        return 2
    records = []
    with open(output, "wb") as out:
        for path in entries:
            name = os.path.basename(path).encode()
            if len(name) >= RECORD_NAME_BYTES:
                sys.stderr.write(f"name too long: {path}\n")
                return 2
            size = os.path.getsize(path)
            if size >= 2**31:
                sys.stderr.write(f"entry too large: {path}\n")
                return 2
            with open(path, "rb") as src:
                shutil.copyfileobj(src, out, 1 << 20)
            records.append(struct.pack("<I", size) + name.ljust(RECORD_NAME_BYTES, b"\0"))
        for record in reversed(records):
            out.write(record)
        out.write(struct.pack("<i", len(records)))
    os.chmod(output, 0o755)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
