#!/usr/bin/env python3
"""Draws the plug-in's five 16-colour bitmaps (module icons and symbols) and writes them as BMP files."""
import struct

# The standard 16-colour palette, as (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GRAY, RED, GREEN, YELLOW, BLUE, \
    MAGENTA, CYAN, WHITE = range(16)

# 3 x 5 letters for the labels.
FONT = {
    'I': ["###", ".#.", ".#.", ".#.", "###"], 'N': ["#.#", "###", "###", "###", "#.#"],
    'O': ["###", "#.#", "#.#", "#.#", "###"], 'U': ["#.#", "#.#", "#.#", "#.#", "###"],
    'T': ["###", ".#.", ".#.", ".#.", ".#."], 'E': ["###", "#..", "##.", "#..", "###"],
    'G': ["###", "#..", "#.#", "#.#", "###"], 'P': ["##.", "#.#", "##.", "#..", "#.."],
    'B': ["##.", "#.#", "##.", "#.#", "##."], '4': ["#.#", "#.#", "###", "..#", "..#"],
    '8': ["###", "#.#", "###", "#.#", "###"], '-': ["...", "...", "###", "...", "..."],
}


class Picture:
    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, light, dark):
        self.rect(x0, y0, x1, y0 + 1, light)
        self.rect(x0, y0, x0 + 1, y1, light)
        self.rect(x0, y1 - 1, x1, y1, dark)
        self.rect(x1 - 1, y0, x1, y1, dark)

    def text(self, x, y, s, colour, scale=1):
        for ch in s:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == '#':
                        self.rect(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                  y + (row + 1) * scale, colour)
            x += 4 * scale

    def arrow(self, x, y, length, colour, right=True):
        """A horizontal arrow with its tip at the right (or left) end, 5 pixels high."""
        self.rect(x, y + 2, x + length, y + 3, colour)
        for i in range(3):
            tip = x + length - 1 - i if right else x + i
            self.rect(tip, y + 2 - i, tip + 1, y + 3 + i, colour)

    def save(self, path):
        row_bytes = ((self.w + 1) // 2 + 3) & ~3
        pixels = bytearray()
        for y in reversed(range(self.h)):
            row = bytearray()
            for x in range(0, self.w, 2):
                hi = self.px[y][x]
                lo = self.px[y][x + 1] if x + 1 < self.w else 0
                row.append(hi << 4 | lo)
            pixels += row + bytes(row_bytes - len(row))
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
        offset = 14 + 40 + len(palette)
        header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
        with open(path, 'wb') as f:
            f.write(header + info + palette + pixels)


def icon(label, into):
    """26 x 24: a raised instrument face with the label and the data direction."""
    p = Picture(26, 24, SILVER)
    p.frame(0, 0, 26, 24, WHITE, GRAY)
    p.rect(3, 3, 23, 11, NAVY)
    p.text(5 if len(label) == 2 else 3, 5, label, YELLOW)
    p.arrow(4, 14, 18, RED if into else DKGREEN, right=not into)
    p.rect(4, 20, 22, 21, GRAY)
    return p


def symbol(label, colour, into=None):
    """64 x 48: the bus connector with its label and the data direction."""
    p = Picture(64, 48, WHITE)
    p.frame(0, 0, 64, 48, GRAY, BLACK)
    p.rect(8, 6, 56, 20, GRAY)          # connector shell
    p.rect(11, 9, 53, 17, BLACK)
    for x in range(13, 52, 3):          # 12 pins per row
        p.rect(x, 10, x + 2, 12, YELLOW)
        p.rect(x + 1, 14, x + 3, 16, YELLOW)
    p.text(32 - 2 * 4 * len(label) // 2, 25, label, colour, scale=2)
    if into is not None:
        p.arrow(12, 40, 40, colour, right=not into)
    return p


if __name__ == '__main__':
    icon("IN", True).save("exgpibin_ico.bmp")
    icon("OUT", False).save("exgpibout_ico.bmp")
    symbol("IN", RED, into=True).save("exieeein.bmp")
    symbol("OUT", DKGREEN, into=False).save("exieeeout.bmp")
    symbol("488", NAVY).save("exieee488.bmp")
