#!/usr/bin/env python3
"""A reader of store files written from the description of the format alone, so that the tests
can check what the engine writes against something that shares none of its code.

    qdb_reader.py FILE [PASSWORD]

Prints every admin entry and then every item, one a line, each list in ascending key order (the
file holds them descending):

    admin <key in hex> <value in hex>
    item <key in hex> <value in hex>

A value that lies outside the data section, or a compressed value that does not expand to a
whole item, is printed as "-". A file that is not a readable store prints the reason on
standard error and exits with status 1. Only the Python standard library is used.
"""

import hashlib
import struct
import sys

MIN_CHUNK = 1024
MAX_CHUNK = 524288
IF_ADMIN = 1
IF_COMPRESSED = 2


class NotAStore(Exception):
    pass


def int32(data, offset):
    if offset < 0 or offset + 4 > len(data):
        raise NotAStore("an int32 reaches beyond the end at %d" % offset)
    return struct.unpack_from("<i", data, offset)[0]


def marker(data, offset):
    """A marker is read as text up to its first zero byte."""
    return data[offset:offset + 4].split(b"\0", 1)[0]


def chunk_length(section_length):
    return max(MIN_CHUNK, min(MAX_CHUNK, section_length))


def scramble(chunk, key):
    """XORs the chunk with the generator seeded by the key; the same call undoes it."""
    seed = 0
    for i in range(0, 20, 4):
        seed ^= struct.unpack_from("<I", key, i)[0]
    out = bytearray(chunk)
    words = len(out) // 4
    s = seed
    for i in range(words):
        s = (s * 1664525 + 1013904223) & 0xFFFFFFFF
        struct.pack_into("<I", out, 4 * i, struct.unpack_from("<I", out, 4 * i)[0] ^ s)
    for i in range(4 * words, len(out)):
        s = (s * 1664525 + 1013904223) & 0xFFFFFFFF
        out[i] ^= s & 0xFF
    return bytes(out)


def unscramble_section(section, key):
    step = chunk_length(len(section))
    return b"".join(scramble(section[i:i + step], key) for i in range(0, len(section), step))


def expand_block(block):
    if len(block) < 2:
        return b""
    if block[0] == 0x80:
        return bytes(block[1:])
    out = bytearray()
    i = 3
    control = block[1] * 256 + block[2]
    bits = 16
    while i < len(block):
        if bits == 0:
            control = block[i] * 256 + block[i + 1]
            i += 2
            bits = 16
        if control & 0x8000:
            distance = block[i] * 16 + (block[i + 1] >> 4)
            if distance != 0:
                if distance > len(out):
                    raise ValueError("a match reaches before the start")
                for _ in range((block[i + 1] & 15) + 3):
                    out.append(out[-distance])
                i += 2
            else:
                count = (block[i + 1] * 256 + block[i + 2]) + 16
                out.extend(bytes([block[i + 3]]) * count)
                i += 4
        else:
            out.append(block[i])
            i += 1
        control = (control << 1) & 0xFFFF
        bits -= 1
    return bytes(out)


def expand_item(stored):
    out = bytearray()
    at = 0
    while at < len(stored):
        if at + 2 > len(stored):
            raise ValueError("a block length is cut off")
        m = struct.unpack_from("<H", stored, at)[0]
        if at + 2 + m > len(stored):
            raise ValueError("a block is cut off")
        out.extend(expand_block(stored[at + 2:at + 2 + m]))
        at += 2 + m
    return bytes(out)


def layout(data, length_offset):
    """(data section start, its length, index section start, its length), or None."""
    if length_offset + 4 > len(data):
        return None
    d = int32(data, length_offset)
    start = length_offset + 4
    if d < 0 or start + d + 8 > len(data) or marker(data, start + d) != b"QIX":
        return None
    x = int32(data, start + d + 4)
    index_start = start + d + 8
    if x < 0 or index_start + x > len(data):
        return None
    return start, d, index_start, x


def read_store(data, password):
    if len(data) < 4 or marker(data, 0) != b"QDB":
        raise NotAStore("no QDB signature")
    key = None
    found = None
    if marker(data, 4) == b"QPW":
        found = layout(data, 28)
        if found is not None:
            key = hashlib.sha1(password.encode("latin-1")[:255]).digest()
            if hashlib.sha1(key).digest() != data[8:28]:
                raise NotAStore("wrong password")
    if found is None:
        found = layout(data, 4)
    if found is None:
        raise NotAStore("the sections do not fit the file")
    start, d, index_start, x = found
    section = data[start:start + d]
    index = data[index_start:index_start + x]
    if key is not None:
        section = unscramble_section(section, key)
        index = unscramble_section(index, key)

    count = int32(index, 0)
    if count < 0:
        raise NotAStore("a negative entry count")
    at = 4
    admins, items = [], []
    for _ in range(count):
        zero = index.find(b"\0", at)
        if zero < 0:
            raise NotAStore("the index ends inside a key")
        name = index[at:zero][:255]
        at = zero + 1
        position, length, flags = int32(index, at), int32(index, at + 4), int32(index, at + 8)
        at += 12
        value = None
        if 0 <= position and 0 <= length and position + length <= d:
            value = section[position:position + length]
            if flags & IF_COMPRESSED and not flags & IF_ADMIN:
                try:
                    value = expand_item(value)
                except (ValueError, IndexError):
                    value = None
        (admins if flags & IF_ADMIN else items).append((name, value))
    # Entries are written from the highest key down: turned round once, they ascend.
    admins.reverse()
    items.reverse()
    return admins, items


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    password = sys.argv[2] if len(sys.argv) == 3 else ""
    with open(sys.argv[1], "rb") as store:
        data = store.read()
    try:
        admins, items = read_store(data, password)
    except NotAStore as problem:
        print("not a readable store: %s" % problem, file=sys.stderr)
        return 1
    for kind, entries in (("admin", admins), ("item", items)):
        for name, value in entries:
            print("%s %s %s" % (kind, name.hex(), "-" if value is None else value.hex()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
