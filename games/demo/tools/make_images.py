#!/usr/bin/env python3
"""Draws the demo's images: the sheet png/demo.png (button faces, gems, title) and the icon
png/icon.png. Pure Python (zlib and struct), so the output is the same byte for byte everywhere.
The regions of the sheet are listed in sets/demo.png.json; keep the two in step.

Usage: python3 games/demo/tools/make_images.py [GAME_DIR]   (default: the folder above this script)
"""
import os
import struct
import sys
import zlib


class Image:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = bytearray(width * height * 4)

    def put(self, x, y, rgba):
        if 0 <= x < self.width and 0 <= y < self.height:
            i = (y * self.width + x) * 4
            self.pixels[i:i + 4] = bytes(rgba)

    def fill(self, left, top, right, bottom, rgba):
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, rgba)

    def png(self):
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        rows = b"".join(b"\x00" + bytes(self.pixels[y * self.width * 4:(y + 1) * self.width * 4])
                        for y in range(self.height))
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)  # 8-bit RGBA
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
                chunk(b"IEND", b""))


def button(img, left, top, width, height, face, edge, mark):
    """A framed button face with a 'play' triangle."""
    img.fill(left, top, left + width, top + height, edge)
    img.fill(left + 3, top + 3, left + width - 3, top + height - 3, face)
    # Lighter upper half: a simple bevel.
    light = tuple(min(255, c + 24) for c in face[:3]) + (255,)
    img.fill(left + 3, top + 3, left + width - 3, top + height // 2, light)
    cx, cy = left + width // 2, top + height // 2
    for dx in range(0, 24):
        half = (24 - dx) * 14 // 24
        for dy in range(-half, half + 1):
            img.put(cx - 10 + dx, cy + dy, mark)


def gem(img, left, top, size, rgb):
    """A round gem with a highlight; transparent outside the circle."""
    r = size / 2.0
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - r, y + 0.5 - r
            d2 = dx * dx + dy * dy
            if d2 <= (r - 1) ** 2:
                shade = 1.0 - 0.45 * (d2 / (r * r))
                c = [int(v * shade) for v in rgb]
                if (dx + r * 0.35) ** 2 + (dy + r * 0.35) ** 2 < (r * 0.22) ** 2:
                    c = [255, 255, 255]
                img.put(left + x, top + y, tuple(c) + (255,))
            elif d2 <= r * r:
                img.put(left + x, top + y, (20, 20, 30, 255))


# 5 x 7 block letters for the title.
GLYPHS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "V": ["X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."],
    "Q": [".XXX.", "X...X", "X...X", "X...X", "X.X.X", "X..X.", ".XX.X"],
}


def title(img, left, top, text, scale, rgba, shadow):
    x = left
    for ch in text:
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, on in enumerate(row):
                if on == "X":
                    px, py = x + gx * scale, top + gy * scale
                    img.fill(px + 3, py + 3, px + scale + 3, py + scale + 3, shadow)
        for gy, row in enumerate(rows):
            for gx, on in enumerate(row):
                if on == "X":
                    px, py = x + gx * scale, top + gy * scale
                    img.fill(px, py, px + scale, py + scale, rgba)
        x += 6 * scale


def sheet():
    img = Image(512, 256)
    button(img, 0, 0, 200, 64, (48, 96, 176, 255), (20, 32, 64, 255), (240, 240, 250, 255))      # play_normal
    button(img, 0, 64, 200, 64, (72, 136, 224, 255), (240, 240, 250, 255), (255, 255, 255, 255))  # play_hover
    button(img, 0, 128, 200, 64, (32, 64, 120, 255), (10, 16, 32, 255), (190, 200, 220, 255))     # play_pressed
    gem(img, 208, 0, 48, (230, 60, 60))    # gem_red
    gem(img, 256, 0, 48, (60, 200, 90))    # gem_green
    gem(img, 304, 0, 48, (70, 110, 240))   # gem_blue
    title(img, 208, 64, "KVQ", 10, (250, 200, 60, 255), (90, 50, 10, 255))  # title: 173 x 73 at (208, 64)
    return img


def icon():
    img = Image(32, 32)
    for y in range(32):
        for x in range(32):
            img.put(x, y, (40 + x * 6, 40 + y * 6, 160, 255))
    img.fill(8, 8, 24, 24, (250, 250, 250, 255))
    img.fill(12, 12, 20, 20, (40, 40, 60, 255))
    return img


def main():
    game = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    out = os.path.join(game, "png")
    os.makedirs(out, exist_ok=True)
    for name, img in (("demo.png", sheet()), ("icon.png", icon())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(img.png())


if __name__ == "__main__":
    main()
