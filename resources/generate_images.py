#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Draws Corvane's own icons, splash, busy cursor and dialog picture as PNG files.

Run from this folder: python3 generate_images.py. Needs nothing beyond Python.
"""
import math
import struct
import zlib

FONT = {  # 3x5 pixel glyphs, rows top to bottom
    'A': ['010', '101', '111', '101', '101'], 'B': ['110', '101', '110', '101', '110'],
    'C': ['011', '100', '100', '100', '011'], 'D': ['110', '101', '101', '101', '110'],
    'E': ['111', '100', '110', '100', '111'], 'F': ['111', '100', '110', '100', '100'],
    'G': ['011', '100', '101', '101', '011'], 'H': ['101', '101', '111', '101', '101'],
    'I': ['111', '010', '010', '010', '111'], 'J': ['001', '001', '001', '101', '010'],
    'K': ['101', '101', '110', '101', '101'], 'L': ['100', '100', '100', '100', '111'],
    'M': ['101', '111', '111', '101', '101'], 'N': ['110', '101', '101', '101', '101'],
    'O': ['010', '101', '101', '101', '010'], 'P': ['110', '101', '110', '100', '100'],
    'Q': ['010', '101', '101', '110', '011'], 'R': ['110', '101', '110', '101', '101'],
    'S': ['011', '100', '010', '001', '110'], 'T': ['111', '010', '010', '010', '010'],
    'U': ['101', '101', '101', '101', '111'], 'V': ['101', '101', '101', '101', '010'],
    'W': ['101', '101', '111', '111', '101'], 'X': ['101', '101', '010', '101', '101'],
    'Y': ['101', '101', '010', '010', '010'], 'Z': ['111', '001', '010', '100', '111'],
    '0': ['111', '101', '101', '101', '111'], '1': ['010', '110', '010', '010', '111'],
    '2': ['110', '001', '010', '100', '111'], '3': ['110', '001', '010', '001', '110'],
    '4': ['101', '101', '111', '001', '001'], '5': ['111', '100', '110', '001', '110'],
    '6': ['011', '100', '111', '101', '111'], '7': ['111', '001', '010', '010', '010'],
    '8': ['111', '101', '111', '101', '111'], '9': ['111', '101', '111', '001', '110'],
    '.': ['000', '000', '000', '000', '010'], ' ': ['000', '000', '000', '000', '000'],
    '+': ['000', '010', '111', '010', '000'], '-': ['000', '000', '111', '000', '000'],
    '?': ['110', '001', '010', '000', '010'], '/': ['001', '001', '010', '100', '100'],
    ',': ['000', '000', '000', '010', '100'],
}


class Image:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, c):
        if not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        a = c[3] / 255.0
        out_a = a + p[3] / 255.0 * (1 - a)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = int((c[i] * a + p[i] * p[3] / 255.0 * (1 - a)) / out_a + 0.5)
        p[3] = int(out_a * 255 + 0.5)

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.blend(x, y, c)

    def round_rect(self, x0, y0, x1, y1, r, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + r - x - 0.5, 0, x - (x1 - r) + 0.5)
                dy = max(y0 + r - y - 0.5, 0, y - (y1 - r) + 0.5)
                if dx * dx + dy * dy <= r * r:
                    self.blend(x, y, c)

    def disc(self, cx, cy, r, c, inner=0.0):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner <= d <= r:
                    self.blend(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1.0):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            t = i / n
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, c)

    def text(self, x, y, s, c, scale=1):
        for ch in s.upper():
            glyph = FONT.get(ch, FONT['?'])
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit == '1':
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                                  y + (gy + 1) * scale, c)
            x += 4 * scale

    def save(self, path):
        raw = b''.join(b'\x00' + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            return (struct.pack('>I', len(data)) + kind + data
                    + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
        png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', self.w, self.h, 8, 6, 0, 0, 0))
               + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))
        with open(path, 'wb') as f:
            f.write(png)


def text_width(s, scale):
    return len(s) * 4 * scale - scale


def badge(path, letters, colour):
    """A program icon: a rounded badge in the program's colour with its initials."""
    img = Image(16, 16)
    img.round_rect(0, 0, 16, 16, 3, colour + (255,))
    img.round_rect(1, 1, 15, 8, 2, (255, 255, 255, 40))
    scale = 2 if len(letters) <= 2 else 1
    w = text_width(letters, scale)
    img.text((16 - w) // 2, (16 - 5 * scale) // 2, letters, (255, 255, 255, 255), scale)
    img.save(path)


WHITE = (240, 240, 240, 255)
BLUE = (100, 140, 175, 255)
BROWN = (155, 115, 80, 255)
GREEN = (90, 160, 90, 255)
RED = (190, 70, 60, 255)


def action(path, draw):
    img = Image(16, 16)
    draw(img)
    img.save(path)


def sheet(img, colour=WHITE):
    img.rect(2, 2, 14, 14, (60, 60, 60, 255))
    img.rect(3, 3, 13, 13, colour)


def grid(img):
    img.rect(1, 2, 15, 14, (70, 70, 70, 255))
    img.rect(2, 3, 14, 13, WHITE)
    for y in (6, 9):
        img.rect(2, y, 14, y + 1, (120, 120, 120, 255))
    img.rect(6, 3, 7, 13, (120, 120, 120, 255))
    img.rect(2, 3, 14, 5, BLUE)


def main():
    for name, letters, colour in [
            ('3d/3DE16.png', '3D', (200, 120, 40)), ('3d/pf16.png', 'PF', (60, 120, 200)),
            ('3d/bj16.png', 'BJ', (150, 60, 150)), ('3d/se16.png', 'SE', (40, 150, 110)),
            ('3d/mm16.png', 'MM', (170, 60, 60)), ('3d/maya16.png', 'MY', (40, 140, 160)),
            ('3d/max16.png', 'MX', (30, 110, 120)), ('3d/blender16.png', 'BL', (230, 120, 20)),
            ('2d/nuke16.png', 'NK', (220, 160, 30)), ('2d/shake16.png', 'SH', (110, 110, 200)),
            ('2d/fusion16.png', 'FU', (90, 170, 50)), ('2d/affter16.png', 'AE', (120, 70, 200)),
            ('2d/combustion16.png', 'CB', (210, 80, 40)),
            ('2d/flame16.png', 'FL', (200, 50, 90))]:
        badge(name, letters, colour)

    action('3d/add.png', lambda i: (i.disc(8, 8, 7, GREEN), i.rect(4, 7, 12, 9, WHITE), i.rect(7, 4, 9, 12, WHITE)))
    fi = 'others/file_icos/'
    action(fi + 'database_table.png', lambda i: (grid(i), i.disc(12, 12, 3.5, GREEN)))
    action(fi + 'database_refresh.png', lambda i: (i.disc(8, 8, 6.5, BLUE, 4.5), i.rect(9, 1, 15, 6, (0, 0, 0, 0)), i.line(9, 2, 13, 5, BLUE, 2)))
    action(fi + 'table_refresh.png', lambda i: (grid(i), i.disc(11, 11, 4.5, BROWN, 2.5)))
    action(fi + 'table_save.png', lambda i: (grid(i), i.rect(8, 8, 15, 15, BLUE), i.rect(10, 8, 13, 11, WHITE)))
    action(fi + 'application_add.png', lambda i: (sheet(i), i.rect(3, 3, 13, 5, BLUE), i.disc(11, 11, 4, GREEN), i.rect(9, 10, 13, 12, WHITE), i.rect(10, 9, 12, 13, WHITE)))
    action(fi + 'application_side_contract.png', lambda i: (sheet(i), i.rect(3, 3, 7, 13, BLUE), i.line(12, 8, 8, 8, (40, 40, 40, 255), 1.5), i.line(8, 8, 10, 6, (40, 40, 40, 255), 1.5), i.line(8, 8, 10, 10, (40, 40, 40, 255), 1.5)))
    action(fi + 'application_side_expand.png', lambda i: (sheet(i), i.rect(9, 3, 13, 13, BLUE), i.line(4, 8, 8, 8, (40, 40, 40, 255), 1.5), i.line(8, 8, 6, 6, (40, 40, 40, 255), 1.5), i.line(8, 8, 6, 10, (40, 40, 40, 255), 1.5)))
    action(fi + 'help.png', lambda i: (i.disc(8, 8, 7, BLUE), i.text(7, 5, '?', WHITE, 1), i.rect(7, 5, 10, 6, WHITE)))
    action(fi + 'application_link.png', lambda i: (sheet(i), i.disc(6, 10, 3, BLUE, 1.8), i.disc(10, 6, 3, BLUE, 1.8), i.line(6, 10, 10, 6, BLUE, 1.5)))
    action(fi + 'page_copy.png', lambda i: (i.rect(1, 1, 10, 11, (60, 60, 60, 255)), i.rect(2, 2, 9, 10, WHITE), i.rect(6, 5, 15, 15, (60, 60, 60, 255)), i.rect(7, 6, 14, 14, WHITE)))
    action(fi + 'page_paste.png', lambda i: (i.rect(2, 2, 13, 15, BROWN), i.rect(5, 1, 10, 4, (60, 60, 60, 255)), i.rect(7, 6, 15, 15, (60, 60, 60, 255)), i.rect(8, 7, 14, 14, WHITE)))
    action(fi + 'textfield_rename.png', lambda i: (i.rect(1, 4, 15, 12, (60, 60, 60, 255)), i.rect(2, 5, 14, 11, WHITE), i.rect(4, 6, 5, 10, (30, 30, 30, 255)), i.text(6, 6, 'A', BLUE, 1)))
    action(fi + 'slow.png', lambda i: (i.text(1, 2, '1', BLUE, 1), i.text(1, 9, '9', BLUE, 1), i.line(11, 2, 11, 13, GREEN, 2), i.line(11, 13, 8, 10, GREEN, 2), i.line(11, 13, 14, 10, GREEN, 2)))
    action(fi + 'shigh.png', lambda i: (i.text(1, 2, '9', BLUE, 1), i.text(1, 9, '1', BLUE, 1), i.line(11, 2, 11, 13, RED, 2), i.line(11, 13, 8, 10, RED, 2), i.line(11, 13, 14, 10, RED, 2)))
    action(fi + 'table_row_delete.png', lambda i: (grid(i), i.rect(1, 6, 15, 10, RED), i.rect(4, 7, 12, 9, WHITE)))
    action(fi + 'select.png', lambda i: [i.rect(x, y, x + 2, y + 1, (200, 200, 200, 255)) for x in range(1, 15, 3) for y in (1, 14)] + [i.rect(x, y, x + 1, y + 2, (200, 200, 200, 255)) for y in range(1, 15, 3) for x in (1, 14)] + [i.rect(4, 4, 12, 12, BLUE)])
    action(fi + 'table_sort.png', lambda i: (grid(i), i.line(12, 5, 12, 14, BROWN, 2), i.line(12, 14, 9, 11, BROWN, 2), i.line(12, 14, 15, 11, BROWN, 2)))
    action(fi + 'select_by_difference.png', lambda i: (i.rect(1, 1, 10, 10, BLUE), i.rect(6, 6, 15, 15, BROWN), i.rect(6, 6, 10, 10, (0, 0, 0, 0))))

    # Row buttons beside the table: first, up, down, last, go to line.
    def arrow(img, up, bar):
        tip, base = (3, 12) if up else (12, 3)
        img.line(8, base, 8, tip, WHITE, 2)
        img.line(8, tip, 4, tip + (4 if up else -4), WHITE, 2)
        img.line(8, tip, 12, tip + (4 if up else -4), WHITE, 2)
        if bar:
            y = 1 if up else 14
            img.rect(3, y, 13, y + 2, BROWN)
    action('others/row_first.png', lambda i: arrow(i, True, True))
    action('others/row_up.png', lambda i: arrow(i, True, False))
    action('others/row_down.png', lambda i: arrow(i, False, False))
    action('others/row_last.png', lambda i: arrow(i, False, True))
    # Track view: a plate with a track's path over it and its current point.
    action('others/track_view.png', lambda i: (i.rect(1, 3, 15, 13, (60, 60, 60, 255)), i.rect(2, 4, 14, 12, (30, 30, 30, 255)), i.line(3, 11, 6, 7, GREEN, 1.5), i.line(6, 7, 9, 9, GREEN, 1.5), i.line(9, 9, 13, 5, GREEN, 1.5), i.disc(9, 9, 2, BROWN)))
    action('others/row_goto.png', lambda i: (i.text(1, 5, '1', BLUE, 1), i.line(6, 8, 14, 8, WHITE, 2), i.line(14, 8, 10, 4, WHITE, 2), i.line(14, 8, 10, 12, WHITE, 2)))

    # Busy cursor: a ring of dots fading round, 32 by 32, hot spot at the centre.
    cur = Image(32, 32)
    for k in range(12):
        a = k / 12 * 2 * math.pi
        cur.disc(16 + 11 * math.cos(a), 16 + 11 * math.sin(a), 3.2, (20, 20, 20, 200))
        cur.disc(16 + 11 * math.cos(a), 16 + 11 * math.sin(a), 2.2, (100, 140, 175, 60 + k * 16))
    cur.save('others/cursor.png')

    # Dialog picture of the import question: two sheets with an arrow between them.
    mv = Image(48, 48)
    mv.rect(2, 6, 20, 30, (60, 60, 60, 255)); mv.rect(3, 7, 19, 29, WHITE)
    mv.rect(28, 18, 46, 42, (60, 60, 60, 255)); mv.rect(29, 19, 45, 41, WHITE)
    for y in range(10, 28, 4):
        mv.rect(5, y, 17, y + 2, BLUE)
        mv.rect(31, y + 12, 43, y + 14, BROWN)
    mv.line(14, 36, 24, 36, GREEN, 3); mv.line(24, 36, 24, 26, GREEN, 3)
    mv.line(24, 24, 20, 29, GREEN, 3); mv.line(24, 24, 28, 29, GREEN, 3)
    mv.save('others/Move.png')

    # Splash: a dark card with rounded corners over the grabbed screen.
    sp = Image(432, 284)
    sp.round_rect(0, 0, 432, 284, 18, (30, 34, 40, 235))
    for y in range(20, 264):
        t = (y - 20) / 244
        sp.rect(16, y, 416, y + 1, (int(52 + 20 * t), int(58 + 12 * t), int(68 - 10 * t), 255))
    # track curves with points, as a tracker draws them
    for k, colour in enumerate([BLUE, BROWN, GREEN]):
        pts = [(40 + s * 24, 200 - 40 * math.sin(s / 3.0 + k) - 25 * k) for s in range(16)]
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            sp.line(x0, y0, x1, y1, colour[:3] + (150,), 1.5)
        for x, y in pts:
            sp.rect(int(x) - 2, int(y) - 2, int(x) + 3, int(y) + 3, colour[:3] + (255,))
    sp.text(48, 44, 'CORVANE', (235, 235, 235, 255), 8)
    sp.text(50, 94, '2D TRACK CONVERTER', (155, 115, 80, 255), 3)
    sp.text(330, 240, 'V1.54', (200, 200, 200, 255), 3)
    sp.save('others/splash.png')

    # Application icon: a plate with a track curve and its points.
    ic = Image(64, 64)
    ic.round_rect(0, 0, 64, 64, 12, (30, 34, 40, 255))
    ic.round_rect(6, 12, 58, 52, 4, (60, 66, 76, 255))
    pts = [(10 + s * 6, 40 - 14 * math.sin(s / 2.5)) for s in range(8)]
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        ic.line(x0, y0, x1, y1, BROWN, 2.5)
    for x, y in pts:
        ic.rect(int(x) - 2, int(y) - 2, int(x) + 3, int(y) + 3, BLUE)
    ic.save('others/corvane.png')

    # The manual's picture of the target windows of the predefined settings
    # on a 1920 x 1080 plate: Default/Top-Left, Bottom-Left, Half Size,
    # Quarter Size, and the Center Origin's axes.
    pw = Image(400, 250, (255, 255, 255, 255))
    plate = (40, 30, 360, 210)  # 1920 x 1080 at 1/6
    pw.rect(plate[0], plate[1], plate[2], plate[3], (225, 230, 236, 255))
    for x0, y0, x1, y1 in [plate]:
        for x in range(x0, x1):
            pw.rect(x, y0, x + 1, y0 + 2, (60, 60, 60, 255)); pw.rect(x, y1 - 2, x + 1, y1, (60, 60, 60, 255))
        for y in range(y0, y1):
            pw.rect(x0, y, x0 + 2, y + 1, (60, 60, 60, 255)); pw.rect(x1 - 2, y, x1, y + 1, (60, 60, 60, 255))
    pw.rect(plate[0], plate[1], plate[0] + 160, plate[1] + 90, (155, 115, 80, 90))  # half size
    pw.rect(plate[0], plate[1], plate[0] + 80, plate[1] + 45, (100, 140, 175, 140))  # quarter size
    cx, cy = (plate[0] + plate[2]) // 2, (plate[1] + plate[3]) // 2
    pw.line(plate[0], cy, plate[2], cy, GREEN, 1.5); pw.line(cx, plate[1], cx, plate[3], GREEN, 1.5)
    pw.disc(plate[0], plate[1], 4, RED); pw.disc(plate[0], plate[3], 4, (60, 60, 200, 255))
    pw.text(plate[0] + 6, plate[1] + 6, '1/4', (30, 30, 30, 255), 2)
    pw.text(plate[0] + 86, plate[1] + 60, '1/2', (30, 30, 30, 255), 2)
    pw.text(6, 12, '0,0 TOP-LEFT', RED, 2)
    pw.text(6, 220, '0,0 BOTTOM-LEFT', (60, 60, 200, 255), 2)
    pw.text(cx + 6, cy + 6, 'CENTER 0,0', GREEN[:3] + (255,), 2)
    pw.text(250, 220, '1920 X 1080', (30, 30, 30, 255), 2)
    pw.save('../docs/plate-windows.png')


if __name__ == '__main__':
    main()
