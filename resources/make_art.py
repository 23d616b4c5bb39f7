#!/usr/bin/env python3
"""Draws TarnPlayer's bitmaps and icon and writes them as Windows BMP/ICO files,
and the icon once more as a PNG for the Linux desktop.

The control bar buttons are 32 x 32 pixels at 4 bits per pixel, black (or the
grey 153,153,153 for the disabled look) on white. The closing splash is
420 x 154 at 24 bits per pixel with the product name in a pixel font drawn
here. The icon is one 32 x 32 true-colour image with an AND mask.

Run once from this folder (python3 make_art.py); the files it writes are
committed and embedded in the program at build time.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GREY = (153, 153, 153)


# ---- Files -----------------------------------------------------------------

def bmp_4bit(pixels, palette):
    """pixels: rows top to bottom of palette indexes; palette: up to 16 RGB."""
    height = len(pixels)
    width = len(pixels[0])
    row_bytes = ((width * 4 + 31) // 32) * 4
    pal = list(palette) + [(0, 0, 0)] * (16 - len(palette))
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray(row_bytes)
        for x, index in enumerate(row):
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
        body += line
    palette_bytes = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(body), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette_bytes)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + palette_bytes + bytes(body)


def bmp_24bit(pixels):
    """pixels: rows top to bottom of (r, g, b)."""
    height = len(pixels)
    width = len(pixels[0])
    row_bytes = ((width * 24 + 31) // 32) * 4
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += bytes(row_bytes - len(line))
        body += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + bytes(body)


def ico_32bit(pixels):
    """pixels: 32 rows of (r, g, b, a); one image, 32 bits per pixel."""
    size = len(pixels)
    xor = bytearray()
    for row in reversed(pixels):
        for (r, g, b, a) in row:
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


# ---- Button drawing --------------------------------------------------------

def png_rgba(pixels):
    """pixels: rows top to bottom of (r, g, b, a)."""
    height = len(pixels)
    width = len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for colour in row:
            raw += bytes(colour)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def blank(size=32, value=0):
    return [[value] * size for _ in range(size)]


def triangle(canvas, apex_x, base_x, top, bottom, value):
    """A filled triangle with a vertical base at base_x spanning top..bottom
    and its apex at apex_x on the middle row; points left or right."""
    mid = (top + bottom) / 2.0
    half = (bottom - top) / 2.0
    length = abs(base_x - apex_x)
    step = 1 if apex_x > base_x else -1
    for y in range(top, bottom + 1):
        reach = length * (1.0 - abs(y + 0.5 - (mid + 0.5)) / (half + 0.5))
        for i in range(0, length + 1):
            if i <= reach:
                canvas[y][base_x + step * i] = value


def rect(canvas, x0, y0, x1, y1, value):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            canvas[y][x] = value


def cross(canvas, value):
    for i in range(8, 24):
        for d in (-1, 0, 1):
            for (x, y) in ((i + d, i), (31 - i + d, i)):
                if 0 <= x < 32:
                    canvas[y][x] = value


def buttons():
    palette = [WHITE, BLACK, GREY]
    out = {}

    def double_triangles(pointing_left, value):
        c = blank()
        if pointing_left:
            triangle(c, 5, 15, 8, 23, value)
            triangle(c, 15, 25, 8, 23, value)
        else:
            triangle(c, 26, 16, 8, 23, value)
            triangle(c, 16, 6, 8, 23, value)
        return c

    out[103] = double_triangles(True, 1)
    out[118] = double_triangles(True, 2)
    out[104] = double_triangles(False, 1)
    out[116] = double_triangles(False, 2)

    pause = blank()
    rect(pause, 9, 8, 13, 23, 1)
    rect(pause, 18, 8, 22, 23, 1)
    out[105] = pause

    resume = blank()
    triangle(resume, 24, 10, 7, 24, 1)
    out[106] = resume

    close = blank()
    cross(close, 1)
    out[107] = close

    return {ident: bmp_4bit(pixels, palette) for ident, pixels in out.items()}


# ---- The closing splash ----------------------------------------------------

# A small pixel font: 5 columns, 9 rows (7 above the base line, 2 below).
GLYPHS = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#..", ".....", "....."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#....", ".....", "....."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####", ".....", "....."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#", ".....", "....."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."],
    "y": [".....", ".....", "#...#", "#...#", "#...#", ".####", "....#", "#...#", ".###."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."],
    "h": ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#", ".....", "....."],
    "k": ["#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####.", ".....", "....."],
    "f": ["..##.", ".#...", "####.", ".#...", ".#...", ".#...", ".#...", ".....", "....."],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#.", ".....", "....."],
    "t": [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##.", ".....", "....."],
    "c": [".....", ".....", ".###.", "#....", "#....", "#....", ".###.", ".....", "....."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", ".....", "....."],
    "g": [".....", ".....", ".####", "#...#", "#...#", ".####", "....#", "#...#", ".###."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_text(canvas, text, left, top, scale, colour, shadow=None):
    for layer, (dx, dy, c) in enumerate(((scale // 2, scale // 2, shadow), (0, 0, colour))):
        if c is None:
            continue
        x = left
        for ch in text:
            glyph = GLYPHS[ch]
            for gy, line in enumerate(glyph):
                for gx, mark in enumerate(line):
                    if mark != "#":
                        continue
                    for sy in range(scale):
                        for sx in range(scale):
                            px = x + gx * scale + sx + dx
                            py = top + gy * scale + sy + dy
                            if 0 <= px < len(canvas[0]) and 0 <= py < len(canvas):
                                canvas[py][px] = c
            x += 6 * scale


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def splash():
    width, height = 420, 154
    sky_top, sky_low = (18, 32, 64), (58, 96, 140)
    water_top, water_low = (30, 70, 96), (10, 30, 48)
    horizon = 104
    c = [[(0, 0, 0)] * width for _ in range(height)]
    for y in range(height):
        if y < horizon:
            colour = mix(sky_top, sky_low, y / (horizon - 1))
        else:
            colour = mix(water_top, water_low, (y - horizon) / (height - horizon - 1))
        for x in range(width):
            c[y][x] = colour

    # Two mountains meeting the water, and their reflection in it.
    ridge = (44, 58, 78)
    snow = (226, 232, 240)
    for (peak_x, peak_y, spread) in ((120, 80, 80), (300, 74, 100)):
        for x in range(width):
            rise = horizon - peak_y - abs(x - peak_x) * (horizon - peak_y) / spread
            if rise <= 0:
                continue
            top = int(horizon - rise)
            for y in range(top, horizon):
                c[y][x] = snow if y < peak_y + 8 else ridge
            for y in range(horizon, min(height, horizon + int(rise * 0.5))):
                if (y - horizon) % 3 != 2:
                    c[y][x] = mix(ridge, c[y][x], 0.55)

    # Ripples on the water.
    for (y, x0, x1) in ((118, 40, 120), (126, 260, 380), (136, 150, 250), (144, 20, 90)):
        for x in range(x0, x1):
            c[y][x] = mix(c[y][x], (170, 200, 220), 0.5)

    name = "TarnPlayer"
    scale = 5
    left = (width - text_width(name, scale)) // 2
    draw_text(c, name, left, 14, scale, (250, 246, 232), shadow=(8, 16, 32))

    line = "thanks for watching"
    scale2 = 2
    left2 = (width - text_width(line, scale2)) // 2
    draw_text(c, line, left2, 60, scale2, (214, 228, 240), shadow=(8, 16, 32))

    # A thin frame around the picture.
    frame = (200, 210, 225)
    for x in range(width):
        c[0][x] = c[height - 1][x] = frame
    for y in range(height):
        c[y][0] = c[y][width - 1] = frame
    return bmp_24bit(c)


# ---- The icon --------------------------------------------------------------

def icon_pixels():
    size = 32
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            # A rounded square: cut the corners by distance from the inner box.
            dx = max(0, max(3 - x, x - 28))
            dy = max(0, max(3 - y, y - 28))
            if dx * dx + dy * dy > 9:
                continue
            colour = mix((40, 80, 140), (20, 40, 80), y / 31)
            px[y][x] = colour + (255,)
    # A white play triangle over a small lake line.
    for y in range(8, 22):
        reach = 12 * (1.0 - abs(y - 14.5) / 7.0)
        for x in range(11, 24):
            if x - 11 <= reach:
                px[y][x] = (250, 250, 250, 255)
    for x in range(7, 25):
        px[25][x] = (140, 190, 220, 255)
        if 10 <= x < 22:
            px[27][x] = (110, 160, 200, 255)
    return px


def main():
    files = {}
    for ident, data in buttons().items():
        files["button_%d.bmp" % ident] = data
    files["splash_110.bmp"] = splash()
    files["icon_122.ico"] = ico_32bit(icon_pixels())
    files["tarnplayer.png"] = png_rgba(icon_pixels())
    for name, data in sorted(files.items()):
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(data)
        print(name, len(data))


if __name__ == "__main__":
    main()
