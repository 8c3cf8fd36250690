#!/usr/bin/env python3
"""Writes the sample images in examples/ (run from anywhere; the files are committed).

Every sample is an Image: a width, a height and rows of pixels, either (red, green, blue)
tuples or, with a palette, indices into it; PNG samples may also hold grey samples, (grey,
alpha) or (red, green, blue, alpha) tuples, at the bit depth of the file. A sample names its
file and the options of the writer that its extension picks from WRITERS; a new file format
needs one writer function and one entry there. Python 3 standard library only.
"""

import os
import struct
import zlib

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


# --- PNG -----------------------------------------------------------------------------

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}

# Adam7 passes: first column, first row, column step, row step.
ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2))


def _png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def _png_row(image, y, columns, colour_type, bit_depth):
    """The samples of the given columns of row y, packed at the bit depth."""
    samples = []
    for x in columns:
        value = image.rows[y][x]
        samples.extend(value if isinstance(value, tuple) else (value,))
    if bit_depth == 16:
        return b"".join(struct.pack(">H", sample) for sample in samples)
    if bit_depth == 8:
        return bytes(samples)
    row = bytearray()
    per_byte = 8 // bit_depth
    for start in range(0, len(samples), per_byte):
        byte = 0
        for i, sample in enumerate(samples[start:start + per_byte]):
            byte |= sample << (8 - bit_depth * (i + 1))
        row.append(byte)
    return bytes(row)


def _paeth(left, up, up_left):
    estimate = left + up - up_left
    near_left, near_up, near_up_left = (abs(estimate - left), abs(estimate - up),
                                        abs(estimate - up_left))
    if near_left <= near_up and near_left <= near_up_left:
        return left
    return up if near_up <= near_up_left else up_left


def _filtered(row, prior, stride):
    """The row with the filter whose bytes, read as signed, sum smallest (type byte first)."""
    best = None
    for kind in range(5):
        out = bytearray([kind])
        for i, byte in enumerate(row):
            left = row[i - stride] if i >= stride else 0
            up = prior[i]
            up_left = prior[i - stride] if i >= stride else 0
            predictor = (0, left, up, (left + up) // 2, _paeth(left, up, up_left))[kind]
            out.append((byte - predictor) % 256)
        cost = sum(min(byte, 256 - byte) for byte in out[1:])
        if best is None or cost < best[0]:
            best = (cost, bytes(out))
    return best[1]


def write_png(path, image, colour_type, bit_depth=8, interlace=False, text=None):
    """A PNG file: header, palette for colour type 3, an optional tEXt comment, the image data
    (every row with the cheapest of the five filters) and the end."""
    channels = CHANNELS[colour_type]
    stride = max(1, channels * bit_depth // 8)
    passes = ADAM7 if interlace else ((0, 0, 1, 1),)
    raw = bytearray()
    for first_x, first_y, step_x, step_y in passes:
        columns = range(first_x, image.width, step_x)
        if not columns:
            continue
        prior = None
        for y in range(first_y, image.height, step_y):
            row = _png_row(image, y, columns, colour_type, bit_depth)
            raw += _filtered(row, prior or bytes(len(row)), stride)
            prior = row
    head = struct.pack(">IIBBBBB", image.width, image.height, bit_depth, colour_type, 0, 0,
                       1 if interlace else 0)
    chunks = [_png_chunk(b"IHDR", head)]
    if colour_type == 3:
        chunks.append(_png_chunk(b"PLTE", b"".join(bytes(entry) for entry in image.palette)))
    if text is not None:
        chunks.append(_png_chunk(b"tEXt", b"Comment\0" + text.encode("latin-1")))
    chunks.append(_png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
    chunks.append(_png_chunk(b"IEND", b""))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + b"".join(chunks))


WRITERS = {".bmp": write_bmp, ".png": write_png}


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


def sunset_photo():
    """PNG truecolour: a white frame, wider at the bottom, around a sunset over the sea."""
    image = Image(96, 72, (255, 255, 255))
    for y in range(5, 60):
        for x in range(6, 90):
            if (x - 60) ** 2 + (y - 30) ** 2 < 60:
                image.put(x, y, (255, 220 - y, 60))
            elif y < 36:
                image.put(x, y, (250 - y * 2, 120 + y * 3, 90 + x))
            else:
                image.put(x, y, (20, 40 + (x * 7 + y * 3) % 50, 120 + y))
    return image


def flag_badge():
    """PNG indexed, 4 bits: a crimson frame around stripes and a star-like diamond."""
    palette = [(160, 20, 40), (255, 255, 255), (20, 60, 160), (250, 200, 0), (0, 130, 70),
               (30, 30, 30)]
    image = Image(60, 40, 0, palette)
    for y in range(4, 35):
        for x in range(5, 54):
            if abs(x - 29) + abs(y - 19) < 9:
                image.put(x, y, 3)
            else:
                image.put(x, y, 1 + (y // 4 + x // 12) % 2 + 3 * ((x + y) % 7 == 0))
    return image


def xray_scan():
    """PNG greyscale, 16 bits: a black frame around a soft radial gradient with detail in
    the low bytes."""
    image = Image(64, 64, 0)
    for y in range(7, 57):
        for x in range(5, 59):
            distance = ((x - 32) ** 2 + (y - 32) ** 2) ** 0.5
            image.put(x, y, (60000 - int(distance * 1400)) ^ ((x * 37 + y * 11) % 256))
    return image


def round_sticker():
    """PNG truecolour with alpha: a fully transparent frame around a round sticker whose edge
    is half transparent."""
    image = Image(56, 56, (0, 0, 0, 0))
    for y in range(6, 50):
        for x in range(4, 52):
            distance = ((x - 28) ** 2 + (y - 28) ** 2) ** 0.5
            alpha = 255 if distance < 20 else 128
            image.put(x, y, (230 - x * 2, 60 + y * 3, 180, alpha))
    return image


def woven_pattern():
    """PNG truecolour, Adam7-interlaced, with a comment: a beige frame around a weave."""
    image = Image(50, 38, (230, 215, 180))
    for y in range(3, 33):
        for x in range(4, 45):
            warp = (x // 3 + y // 6) % 2
            image.put(x, y, (140, 40 + x * 3, 60) if warp else (40, 80, 120 + y * 3))
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
    ("sunset_truecolour.png", sunset_photo, {"colour_type": 2}),
    ("flag_indexed_4bit.png", flag_badge, {"colour_type": 3, "bit_depth": 4}),
    ("xray_grey_16bit.png", xray_scan, {"colour_type": 0, "bit_depth": 16}),
    ("sticker_rgba.png", round_sticker, {"colour_type": 6}),
    ("weave_interlaced.png", woven_pattern,
     {"colour_type": 2, "interlace": True, "text": "A woven pattern, stored interlaced"}),
]


def main():
    for name, draw, options in SAMPLES:
        writer = WRITERS[os.path.splitext(name)[1]]
        writer(os.path.join(EXAMPLES, name), draw(), **options)


if __name__ == "__main__":
    main()
