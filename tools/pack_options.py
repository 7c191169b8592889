#!/usr/bin/env python3
"""Turns the crash reporter's option list into the block the module carries:
UTF-8 with a byte-order mark, one CRLF-terminated key=value line each, compressed
with zlib."""
import sys
import zlib


def main(source, target):
    with open(source, encoding="utf-8") as f:
        lines = [line.rstrip("\r\n") for line in f if line.strip()]
    block = "\ufeff".encode("utf-8") + "".join(line + "\r\n" for line in lines).encode("utf-8")
    with open(target, "wb") as f:
        f.write(zlib.compress(block, 9))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
