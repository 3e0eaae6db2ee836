#!/usr/bin/python3
"""Writes a damaged or hostile file under an asset name, made from our own assets.

    hostile-assets.py ASSETS CASE OUT

CASE names one of the kinds of file below; OUT is written. PNG chunks and Ogg pages get
valid checksums after they are changed, so that only a check of the contents finds them.
"""

import itertools
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

assets = Path(sys.argv[1])
case, out = sys.argv[2], Path(sys.argv[3])
terrain = (assets / "terrain.png").read_bytes()
music = (assets / "mellowsad beat.ogg").read_bytes()


# --- PNG: a list of (type, data) chunks, written back with fresh checksums ---

def png_chunks(data):
    chunks, at = [], 8
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        chunks.append((data[at + 4:at + 8], bytearray(data[at + 8:at + 8 + length])))
        at += 12 + length
    return chunks


def png_bytes(chunks):
    body = b"".join(struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data)) for kind, data in chunks)
    return terrain[:8] + body


def changed_header(**fields):
    """Our ramp with IHDR fields (width, height, depth, colour) replaced."""
    chunks = png_chunks(terrain)
    ihdr, names = chunks[0][1], ("width", "height", "depth", "colour")
    values = {**dict(zip(names, struct.unpack(">IIBB", ihdr[:10]))), **fields}
    ihdr[:10] = struct.pack(">IIBB", *(values[name] for name in names))
    return png_bytes(chunks)


def huge_png(side):
    """A side x side RGB image of black, which deflate packs about a thousand to one."""
    chunks = png_chunks(changed_header(width=side, height=side))
    packer, row, idat = zlib.compressobj(9), bytes(1 + 3 * side), bytearray()
    for _ in range(side):
        idat += packer.compress(row)
    idat += packer.flush()
    return png_bytes([chunks[0], (b"IDAT", idat), chunks[-1]])


def flipped_image_data(position, bit):
    """One bit flipped in the compressed image data, the chunk's checksum made to match."""
    chunks = png_chunks(terrain)
    idat = next(data for kind, data in chunks if kind == b"IDAT")
    idat[position % len(idat)] ^= 1 << bit
    return png_bytes(chunks)


def made(suffix, *command):
    """What the command writes to the file name of the suffix that stands for its "OUT"."""
    with tempfile.TemporaryDirectory() as folder:
        target = str(Path(folder) / ("made." + suffix))
        subprocess.run([target if word == "OUT" else word for word in command], check=True)
        return bytearray(Path(target).read_bytes())


def huge_psd():
    """An uncompressed Photoshop file declaring 23000 x 23000 pixels, just under 2 GiB of RGBA."""
    psd = made("psd", "convert", str(assets / "terrain.png"), "-compress", "None", "OUT")
    psd[14:22] = struct.pack(">II", 23000, 23000)
    return psd


# --- Ogg: pages, their checksums, and the Vorbis headers inside ---

def ogg_crc(page):
    crc = 0
    for byte in page:
        crc ^= byte << 24
        for _ in range(8):
            crc = (crc << 1) ^ 0x04C11DB7 if crc & 0x80000000 else crc << 1
        crc &= 0xFFFFFFFF
    return crc


def ogg_pages(data):
    """(start, header length, body length) of each page."""
    pages, at = [], 0
    while at < len(data) and data[at:at + 4] == b"OggS":
        segments = data[at + 26]
        body = sum(data[at + 27:at + 27 + segments])
        pages.append((at, 27 + segments, body))
        at += 27 + segments + body
    return pages


def fix_ogg_checksum(data, start, length):
    data[start + 22:start + 26] = b"\0\0\0\0"
    data[start + 22:start + 26] = struct.pack("<I", ogg_crc(data[start:start + length]))


class Bits:
    """A Vorbis packet's bits, least significant first, read in order."""

    def __init__(self, packet):
        self.bits = [(byte >> bit) & 1 for byte in packet for bit in range(8)]
        self.at = 0

    def read(self, count):
        value = sum(bit << n for n, bit in enumerate(self.bits[self.at:self.at + count]))
        self.at += count
        return value


def read_codebook(bits):
    """Where the book's dimension, lookup type and values lie, as bit positions."""
    assert bits.read(24) == 0x564342
    book = {"dimensions": bits.at}
    dimensions, entries = bits.read(16), bits.read(24)
    if bits.read(1):  # lengths given in runs
        bits.read(5)
        entry = 0
        while entry < entries:
            entry += bits.read((entries - entry).bit_length())
    else:
        sparse = bits.read(1)
        for _ in range(entries):
            if not sparse or bits.read(1):
                bits.read(5)
    book["lookup"] = bits.at
    lookup = bits.read(4)
    if lookup:
        bits.read(64)
        value_bits = bits.read(4) + 1
        bits.read(1)
        # Type 1 holds the most values whose power of the dimension stays within the entries.
        values = (next(v for v in itertools.count(1) if (v + 1) ** dimensions > entries)
                  if lookup == 1 else entries * dimensions)
        book["values"] = (bits.at, bits.at + values * value_bits)
        bits.read(values * value_bits)
    return book


def skip_floors(bits):
    for _ in range(bits.read(6) + 1):
        assert bits.read(16) == 1, "only floor type 1 is read here"
        classes = [bits.read(4) for _ in range(bits.read(5))]
        class_dimensions = []
        for _ in range(max(classes, default=-1) + 1):
            class_dimensions.append(bits.read(3) + 1)
            subclasses = bits.read(2)
            if subclasses:
                bits.read(8)
            bits.read(8 * (1 << subclasses))
        bits.read(2)
        range_bits = bits.read(4)
        bits.read(range_bits * sum(class_dimensions[c] for c in classes))


def first_residue_stage_book(bits):
    """The first residue's first stage book, and where the residue's type lies."""
    bits.read(6)
    residue_type = bits.at
    bits.read(16 + 24 + 24 + 24)
    classifications = bits.read(6) + 1
    bits.read(8)
    cascades = []
    for _ in range(classifications):
        low = bits.read(3)
        cascades.append(low | (bits.read(5) << 3 if bits.read(1) else 0))
    stage_book = next(bits.read(8) for cascade in cascades for stage in range(8)
                      if cascade >> stage & 1)
    return stage_book, residue_type


def residue_book_of_no_dimension():
    """Our music whose first residue is of type 0 and its first stage book of dimension 0,
    with no values so that the rest of the setup header still reads the same: the decoder
    divides a partition's length by that dimension."""
    data = bytearray(music)
    start, header, body = ogg_pages(data)[1]
    # The second page holds the comment and the setup header, whole, and nothing else.
    lacing = data[start + 27:start + header]
    assert sum(value < 255 for value in lacing) == 2 and lacing[-1] < 255
    packets = bytes(data[start + header:start + header + body])
    at = packets.index(b"\x05vorbis")
    comment, setup = packets[:at], packets[at:]
    bits = Bits(setup[7:])
    books = [read_codebook(bits) for _ in range(bits.read(8) + 1)]
    bits.read(16 * (bits.read(6) + 1))  # the time domain transforms, of 16 bits each
    skip_floors(bits)
    stage_book, residue_type = first_residue_stage_book(bits)
    book = books[stage_book]
    changed = bits.bits[:]
    changed[residue_type:residue_type + 16] = [0] * 16
    changed[book["dimensions"]:book["dimensions"] + 16] = [0] * 16
    changed[book["lookup"]:book["lookup"] + 4] = [0, 1, 0, 0]  # type 2: dimensions x entries values
    del changed[slice(*book["values"])]
    changed += [0] * (-len(changed) % 8)
    setup = setup[:7] + bytes(sum(bit << n for n, bit in enumerate(changed[at:at + 8]))
                              for at in range(0, len(changed), 8))
    # The two packets back on their page, the setup's lacing for its new length.
    lacing = b"".join(b"\xff" * (len(p) // 255) + bytes([len(p) % 255]) for p in (comment, setup))
    page = bytearray(data[start:start + 26]) + bytes([len(lacing)]) + lacing + comment + setup
    data[start:start + header + body] = page
    fix_ogg_checksum(data, start, len(page))
    return data


def vorbis_rate(rate):
    """Our music declaring another sample rate in its identification header."""
    data = bytearray(music)
    pages = ogg_pages(data)
    body = pages[0][0] + pages[0][1]
    data[body + 12:body + 16] = struct.pack("<I", rate)
    fix_ogg_checksum(data, pages[0][0], pages[0][1] + pages[0][2])
    return data


def wav_at(rate):
    """16-bit Wave of our music's first second, through sox, its format chunk declaring
    another sample rate."""
    wav = made("wav", "sox", str(assets / "mellowsad beat.ogg"), "-b", "16", "OUT", "trim", "0",
               "1")
    rate_at = wav.find(b"fmt ") + 12
    wav[rate_at:rate_at + 4] = struct.pack("<I", rate)
    return wav


CASES = {
    # the ramp
    "flipped image data": lambda: flipped_image_data(693, 3),
    "RGB at 4 bits": lambda: changed_header(depth=4, colour=2),
    "16384 x 16384 black": lambda: huge_png(16384),
    "huge Photoshop file": huge_psd,
    # the music
    "Wave at 2^32-1 Hz": lambda: wav_at(0xFFFFFFFF),
    "Vorbis with a residue book of no dimension": residue_book_of_no_dimension,
    "Vorbis at 2^32-1 Hz": lambda: vorbis_rate(0xFFFFFFFF),
}

# Our files followed by zeros that take no room on the disk.
TAILS = {"PNG and 2 MiB of junk": (terrain, 2 << 20), "Vorbis and 1 GiB of junk": (music, 1 << 30)}

data, tail = TAILS[case] if case in TAILS else (CASES[case](), 0)
with open(out, "wb") as file:
    file.write(data)
    file.truncate(len(data) + tail)
