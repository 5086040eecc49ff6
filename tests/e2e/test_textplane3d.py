"""Text end to end: the demo of tests/e2e/text3d (TextPlane3D laying out "Brivet text" in
DejaVu Sans over a G-buffer's plane, its "TextEnd" rising from 0.25 to 0.5 to 1) played
under Wine: the lit pixels lie inside the glyph boxes the font's metrics predict, each
glyph drawn so far has some, and there are more of them as "TextEnd" rises. A PNG file
loaded as a "Font" ends the load with the font's line, the node's failure chain and -1."""

import math
import os
import shutil
import struct

import e2e
import test_renderer3d
from test_example import Screenshot
from test_renderer3d import LOADING_SHADER
from test_startup import make_ogg

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "text3d")
FONT = os.environ.get("BRIVET_FONT_FILE", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")

SECONDS = 6.0
TEXT = "Brivet text"
ASPECT = 16.0 / 9.0
CAMERA_Z = -5.0
# The text shader's placement: 0.004 world units a font pixel, the base line at y 0.3 from x -1.6.
UNIT, LEFT, BASE = 0.004, -1.6, 0.3
# Demo seconds in the middle of each "TextEnd" key and the glyphs it draws (whole glyphs).
STAGES = [(1.0, int(len(TEXT) * 0.25)), (3.0, int(len(TEXT) * 0.5)), (5.0, len(TEXT))]


def glyph_boxes(path, text, pixel_height=128.0):
    """The quads TextPlane3D lays the text out in (font pixels, y up), from the font's
    horizontal header, character map (format 4), metrics and glyph boxes, placed as the
    packer and the layout place them (no oversampling)."""
    with open(path, "rb") as f:
        data = f.read()
    tables = {}
    for i in range(struct.unpack(">H", data[4:6])[0]):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode("latin-1")] = offset
    hhea, hmtx, head, loca, glyf, cmap = (tables[t] for t in ("hhea", "hmtx", "head", "loca", "glyf", "cmap"))
    ascent, descent = struct.unpack(">hh", data[hhea + 4:hhea + 8])
    long_metrics = struct.unpack(">H", data[hhea + 34:hhea + 36])[0]
    long_loca = struct.unpack(">h", data[head + 50:head + 52])[0] == 1
    scale = pixel_height / (ascent - descent)

    sub = None
    for i in range(struct.unpack(">H", data[cmap + 2:cmap + 4])[0]):
        platform, encoding, offset = struct.unpack(">HHI", data[cmap + 4 + 8 * i:cmap + 12 + 8 * i])
        if platform == 3 and encoding == 1:
            sub = cmap + offset
    segments = struct.unpack(">H", data[sub + 6:sub + 8])[0] // 2

    def glyph_of(cp):
        for k in range(segments):
            end = struct.unpack(">H", data[sub + 14 + 2 * k:sub + 16 + 2 * k])[0]
            if cp > end:
                continue
            start = struct.unpack(">H", data[sub + 16 + 2 * segments + 2 * k:sub + 18 + 2 * segments + 2 * k])[0]
            if cp < start:
                return 0
            delta = struct.unpack(">h", data[sub + 16 + 4 * segments + 2 * k:sub + 18 + 4 * segments + 2 * k])[0]
            at = sub + 16 + 6 * segments + 2 * k
            range_offset = struct.unpack(">H", data[at:at + 2])[0]
            if range_offset == 0:
                return (cp + delta) & 0xFFFF
            index = at + range_offset + 2 * (cp - start)
            return struct.unpack(">H", data[index:index + 2])[0]
        return 0

    def advance(g):
        k = g if g < long_metrics else long_metrics - 1
        return struct.unpack(">H", data[hmtx + 4 * k:hmtx + 4 * k + 2])[0]

    def box(g):
        if long_loca:
            start, end = struct.unpack(">II", data[loca + 4 * g:loca + 4 * g + 8])
        else:
            start, end = (2 * v for v in struct.unpack(">HH", data[loca + 2 * g:loca + 2 * g + 4]))
        if start == end:
            return None
        return struct.unpack(">hhhh", data[glyf + start + 2:glyf + start + 10])

    quads, x = [], 0.0
    for ch in text:
        g = glyph_of(ord(ch))
        b = box(g)
        if b:
            x0, y0, x1, y1 = (math.floor(b[0] * scale), math.floor(-b[3] * scale),
                              math.ceil(b[2] * scale), math.ceil(-b[1] * scale))
            qx0 = math.floor(x + x0 + 0.5)
            qy0 = math.floor(y0 + 0.5)
            quads.append((qx0, qx0 + (x1 - x0), -(qy0 + (y1 - y0)), -qy0))
        else:
            quads.append(None)
        x += scale * advance(g)
    return quads


def picture_box(quad, margin):
    """The quad's picture rectangle (u0, u1, v0, v1), v from the bottom, widened by margin."""
    depth = -CAMERA_Z
    qx0, qx1, qy0, qy1 = quad
    u = lambda px: ((px * UNIT + LEFT) / depth + 1.0) / 2.0
    v = lambda py: ((py * UNIT + BASE) * ASPECT / depth + 1.0) / 2.0
    return u(qx0) - margin, u(qx1) + margin, v(qy0) - margin, v(qy1) + margin


class TextPlane3D(e2e.BrivetTestCase):
    play = test_renderer3d.Renderer3D.play  # screenshots through the run, timed by the music's start

    def stage(self, font_file, font_name):
        source = os.path.join(self.scratch, "text3d")
        shutil.rmtree(source, ignore_errors=True)
        shutil.copytree(DEMO, source)
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        os.makedirs(os.path.join(source, "fonts"), exist_ok=True)
        shutil.copy(font_file, os.path.join(source, "fonts", font_name))
        make_ogg(os.path.join(source, "music.ogg"), SECONDS)
        if font_name != "DejaVuSans.ttf":
            path = os.path.join(source, "brivet.xml")
            with open(path, encoding="utf-8") as f:
                text = f.read()
            with open(path, "w", encoding="utf-8") as f:
                f.write(text.replace("fonts/DejaVuSans.ttf", "fonts/" + font_name))
        e2e.pack(source, os.path.join(self.workdir, "text3d.vqz"))

    def test_glyphs_light_their_boxes_and_more_of_them_as_the_end_rises(self):
        self.stage(FONT, "DejaVuSans.ttf")
        shots = self.play(SECONDS)
        quads = glyph_boxes(FONT, TEXT)
        lit_by_stage = []
        for middle, drawn in STAGES:
            window = [s for s in shots if abs(s[0] - middle) < 0.35 and s[1] < 1.0]
            self.assertTrue(window, f"no screenshot near {middle} s: {shots}")
            counts = []
            for when, _, path in window:
                shot = Screenshot(path)
                label = f"{os.path.basename(path)} at {when:.2f} s"
                margin = 3.0 / shot.width
                boxes = [picture_box(q, margin) if q else None for q in quads]
                total = 0
                for index, b in enumerate(boxes):
                    if not b:
                        continue
                    u0, u1, v0, v1 = b
                    lit = 0
                    for x in range(max(0, int(u0 * shot.width)), min(shot.width, int(u1 * shot.width) + 1)):
                        for vv in range(int(v0 * shot.picture_height), int(v1 * shot.picture_height) + 1):
                            if sum(shot.at(x / shot.width, vv / shot.picture_height)) > 3 * 128:
                                lit += 1
                    if index < drawn:
                        self.assertGreater(lit, 3, f"glyph {index} ({TEXT[index]!r}) is dark {label}")
                    total += lit
                # Nothing lit outside the boxes of the glyphs drawn so far.
                drawn_boxes = [b for b in boxes[:drawn] if b]
                for i in range(0, shot.width, 3):
                    for j in range(0, shot.picture_height, 3):
                        u, v = i / shot.width, j / shot.picture_height
                        if any(u0 <= u <= u1 and v0 <= v <= v1 for u0, u1, v0, v1 in drawn_boxes):
                            continue
                        rgb = tuple(shot.at(u, v))
                        self.assertLessEqual(max(rgb), 40, f"{label}: lit {rgb} at ({u:.3f}, {v:.3f})")
                counts.append(total)
            lit_by_stage.append(min(counts))
        self.assertLess(lit_by_stage[0], lit_by_stage[1], lit_by_stage)
        self.assertLess(lit_by_stage[1], lit_by_stage[2], lit_by_stage)

    def test_a_png_loaded_as_a_font_ends_the_load(self):
        png = os.path.join(self.scratch, "picture.png")
        # One red pixel.
        import zlib
        raw = b"\x00\xff\x00\x00\xff"
        chunk = lambda kind, body: (struct.pack(">I", len(body)) + kind + body
                                    + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
        with open(png, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0))
                    + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
        self.stage(png, "picture.png")
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        chain = ["[font] 'fonts/picture.png' is not a TrueType or OpenType font",
                 "[effect] Failed to load 'Font' resource: 'fonts/picture.png'", "Failed to load node: 'font'",
                 "[demo] Failed to load Compositing", "Demo load failed"]
        for line in chain:
            self.assertIn(line, box, result)
        self.assertEqual([box.index(line) for line in chain], sorted(box.index(line) for line in chain), box)


if __name__ == "__main__":
    e2e.main()
