#!/usr/bin/env python3
"""Writes the sample images in examples/ (run from anywhere; the files are committed).

Every sample is an Image: a width, a height and rows of pixels, either (red, green, blue)
tuples or, with a palette, indices into it. A sample names its file and the options of the
writer that its extension picks from WRITERS; a new file format needs one writer function
and one entry there. Python 3 standard library only.
"""

import os
import struct

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")


class Image:
    def __init__(self, width, height, fill, palette=None):
        self.width = width
        self.height = height
        self.palette = palette
        self.rows = [[fill] * width for _ in range(height)]

    def put(self, x, y, value):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = value

    def rect(self, left, top, right, bottom, value):
        """Fills columns left..right-1 of rows top..bottom-1."""
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, value)

    def colour(self, x, y):
        value = self.rows[y][x]
        return self.palette[value] if self.palette is not None else value


# --- BMP -----------------------------------------------------------------------------

def _bmp_pixels(image, bits, top_down):
    """The pixel rows in file order, each padded to a multiple of 4 bytes."""
    order = range(image.height) if top_down else range(image.height - 1, -1, -1)
    data = bytearray()
    for y in order:
        row = bytearray()
        if bits in (1, 4, 8):
            per_byte = 8 // bits
            for start in range(0, image.width, per_byte):
                byte = 0
                for i in range(per_byte):
                    index = image.rows[y][start + i] if start + i < image.width else 0
                    byte |= index << (8 - bits * (i + 1))
                row.append(byte)
        else:
            for x in range(image.width):
                red, green, blue = image.colour(x, y)
                if bits == 16:
                    value = ((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3)
                    row += struct.pack("<H", value)
                elif bits == 24:
                    row += bytes((blue, green, red))
                else:
                    # The fourth byte is not part of the colour; 255 shows it is ignored.
                    row += bytes((blue, green, red, 255))
        row += bytes(-len(row) % 4)
        data += row
    return bytes(data)


def write_bmp(path, image, bits=24, top_down=False, pels_per_metre=2835):
    """A BITMAPINFOHEADER file: a colour table for 1, 4 and 8 bits, 5-6-5 bit fields for 16."""
    table = b""
    if bits <= 8:
        table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in image.palette)
    masks = struct.pack("<III", 0xF800, 0x07E0, 0x001F) if bits == 16 else b""
    pixels = _bmp_pixels(image, bits, top_down)
    offset = 14 + 40 + len(masks) + len(table)
    height = -image.height if top_down else image.height
    compression = 3 if bits == 16 else 0
    info = struct.pack("<IiiHHIIiiII", 40, image.width, height, 1, bits, compression,
                       len(pixels), pels_per_metre, pels_per_metre,
                       len(image.palette) if bits <= 8 else 0, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as out:
        out.write(head + info + masks + table + pixels)


WRITERS = {".bmp": write_bmp}


# --- The pictures ------------------------------------------------------------------------

def framed_landscape():
    """24 bits: a white frame, wider on the right and bottom, around a little landscape."""
    image = Image(80, 60, (255, 255, 255))
    for y in range(6, 48):
        for x in range(8, 70):
            sky = (90 + x * 2, 140 + y, 230 - x)
            hill = 38 + (x % 17 - 8) ** 2 // 9
            if (x - 52) ** 2 + (y - 16) ** 2 < 40:
                image.put(x, y, (255, 210, 40))
            elif y > hill:
                image.put(x, y, (40 + y, 120 + (x * 3) % 60, 40))
            else:
                image.put(x, y, sky)
    return image


def ringed_logo():
    """8 bits with its own 32-colour palette: a navy frame around coloured rings."""
    palette = [(20, 30, 90)] + [(40 + 6 * i, 255 - 7 * i, (90 * i) % 256) for i in range(31)]
    image = Image(120, 90, 0, palette)
    for y in range(12, 80):
        for x in range(15, 104):
            distance = ((x - 60) ** 2 + (y - 45) ** 2) ** 0.5
            image.put(x, y, 1 + int(distance / 3 + (x + y) % 3) % 31)
    return image


def scanned_page():
    """1 bit: a page of text with white margins; a few specks near the margins' ends are
    too small to stop a margin from counting as border."""
    white, black = 1, 0
    image = Image(200, 150, white, [(0, 0, 0), (255, 255, 255)])
    seed = 12345
    line_top = 16
    for line in range(10):
        x = 20
        end = 176 if line % 3 != 2 else 120
        while x < end:
            seed = (seed * 1103515245 + 12345) % 2 ** 31
            word = 6 + seed % 18
            image.rect(x, line_top, min(x + word, end), line_top + 7, black)
            x += word + 4
        line_top += 13
    for (x, y) in ((3, 4), (196, 9), (5, 140), (190, 146), (8, 2)):
        image.put(x, y, black)
    return image


def two_sided_icon():
    """4 bits: a green frame on the left and a red one on the right, judged apart."""
    palette = [(0, 160, 0), (200, 0, 0), (255, 255, 255), (0, 0, 0),
               (255, 200, 0), (0, 120, 255), (150, 0, 150), (120, 120, 120)]
    image = Image(64, 48, 2, palette)
    image.rect(0, 0, 9, 48, 0)
    image.rect(56, 0, 64, 48, 1)
    for y in range(48):
        for x in range(9, 56):
            image.put(x, y, 3 + (x // 4 + y // 4) % 5)
    return image


def grey_badge():
    """32 bits: a grey frame around a diagonal gradient."""
    image = Image(64, 48, (128, 128, 128))
    for y in range(5, 41):
        for x in range(7, 57):
            image.put(x, y, ((x * 4) % 256, (y * 6) % 256, ((x + y) * 3) % 256))
    return image


def top_down_tiles():
    """24 bits stored top-down: a black frame around coloured tiles."""
    image = Image(48, 40, (0, 0, 0))
    for y in range(4, 34):
        for x in range(3, 44):
            image.put(x, y, (60 * (x // 5 % 4), 50 * (y // 5 % 5), 200 - 20 * ((x + y) // 6 % 8)))
    return image


def chequered_tile():
    """16 bits (5-6-5): a cream frame around a chequerboard with a stripe."""
    image = Image(64, 48, (248, 240, 200))
    for y in range(6, 42):
        for x in range(4, 58):
            image.put(x, y, (200, 40, 40) if (x // 3 + y // 3) % 2 else (40, 40, 200))
        image.put(30, y, (250, 250, 0))
    return image


def edge_to_edge():
    """24 bits with content up to every edge: the tool leaves it alone."""
    image = Image(40, 30, (0, 0, 0))
    for y in range(30):
        for x in range(40):
            image.put(x, y, ((x * 6) % 256, (y * 8) % 256, ((x * y) * 2) % 256))
    return image


SAMPLES = [
    ("landscape_24bit.bmp", framed_landscape, {"bits": 24}),
    ("logo_8bit.bmp", ringed_logo, {"bits": 8}),
    ("page_1bit.bmp", scanned_page, {"bits": 1}),
    ("icon_4bit.bmp", two_sided_icon, {"bits": 4}),
    ("badge_32bit.bmp", grey_badge, {"bits": 32}),
    ("tiles_topdown_24bit.bmp", top_down_tiles, {"bits": 24, "top_down": True}),
    ("chequer_16bit.bmp", chequered_tile, {"bits": 16}),
    ("no_border_24bit.bmp", edge_to_edge, {"bits": 24}),
]


def main():
    for name, draw, options in SAMPLES:
        writer = WRITERS[os.path.splitext(name)[1]]
        writer(os.path.join(EXAMPLES, name), draw(), **options)


if __name__ == "__main__":
    main()
