"""Image files end to end: a demo whose Layer2D shader draws five columns from textures of
its archive (a PNG decoded as sRGB by default, the same PNG with srgb="false", an
uncompressed DDS, a BC1 DDS and a cube DDS) shows the files' colours on the screen, sRGB
decoded where it should be; a missing image and a truncated DDS end the load with the
node failure chain and -1."""

import os
import struct
import subprocess

import e2e
from test_startup import WINE_LOADING_SHADER, description, make_ogg, pixels

PNG_COLOUR = (128, 64, 32)
DDS_COLOUR = (200, 120, 40)
BC1_WORD = 0xFC08  # 5:6:5 (31, 32, 8): expands to (255, 130, 66)
BC1_COLOUR = (255, 130, 66)
CUBE_FACES = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255)]

# Five columns; the cube's column shows its -Z face in the upper half and +X below.
# Every texture is sampled and the column picks one (Wine's compiler runs a computed
# return inside an if wrong); "fPulse" is animated over the whole run so that the layer
# draws every frame.
TILES_SHADER = "\r\n".join([
    "/*",
    "<metadata>",
    "<input>fPulse</input><input>texPng</input><input>texPngLinear</input><input>texDds</input>",
    "<input>texBc1</input><input>texCube</input>",
    '<sampler name="smp" u="clamp" v="clamp" filter="POINT"/>',
    '<passes><pass name="main" vs="vs_main" ps="ps_main"/></passes>',
    "</metadata>",
    "*/",
    "cbuffer constants { float fRenderTime; float2 v2Resolution; float fPulse; };",
    "Texture2D texPng; Texture2D texPngLinear; Texture2D texDds; Texture2D texBc1; TextureCube texCube;",
    "SamplerState smp;",
    "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };",
    "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; return Out; }",
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET {",
    "  float4 png = texPng.Sample(smp, float2(0.5, 0.5));",
    "  float4 pngLinear = texPngLinear.Sample(smp, float2(0.5, 0.5));",
    "  float4 dds = texDds.Sample(smp, float2(0.5, 0.5));",
    "  float4 bc1 = texBc1.Sample(smp, float2(0.5, 0.5));",
    "  float4 right = texCube.Sample(smp, float3(1, 0, 0));",
    "  float4 back = texCube.Sample(smp, float3(0, 0, -1));",
    "  float4 c = png;",
    "  if (In.Tex.x > 0.2) c = pngLinear;",
    "  if (In.Tex.x > 0.4) c = dds;",
    "  if (In.Tex.x > 0.6) c = bc1;",
    "  if (In.Tex.x > 0.8) c = right;",
    "  if (In.Tex.x > 0.8 && In.Tex.y > 0.5) c = back;",
    "  if (fPulse < -1) c = float4(0, 0, 0, 0);",
    "  return float4(c.rgb, 1);",
    "}",
])

PULSE = ('<parameter name="fPulse"><value type="spline"><clip start="0" length="100">'
         '<key time="0" interpolation="linear" value="0"/><key time="100" value="1"/>'
         '</clip></value></parameter>')


def linear(value):
    """An 8-bit sRGB value decoded to linear light, as an 8-bit UNORM target stores it."""
    c = value / 255.0
    result = c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    return round(result * 255.0)


def dds(width, height, pixel_format, caps2=0, pixels_bytes=b""):
    """A DDS file: magic, the 124-byte header with one level, the pixel data."""
    header = struct.pack("<7I44x", 124, 0x1007, height, width, 0, 0, 1)
    header += pixel_format + struct.pack("<5I", 0x1000, caps2, 0, 0, 0)
    return b"DDS " + header + pixels_bytes


RGBA_FORMAT = struct.pack("<8I", 32, 0x41, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000)
DXT1_FORMAT = struct.pack("<2I4s5I", 32, 0x4, b"DXT1", 0, 0, 0, 0, 0)


def solid_rgba(colour, count=16):
    return bytes([colour[0], colour[1], colour[2], 255]) * count


def file_node(node_id, path, srgb=True):
    settings = "" if srgb else '<loadSettings srgb="false"/>'
    return (f'<node id="{node_id}" type="resource" name="image {node_id}">'
            f'<file type="texture" path="{path}"/>{settings}</node>')


def graph(paths):
    """The tiles layer fed by the five file nodes of paths (path, srgb), into the output."""
    nodes = "".join(file_node(i + 1, path, srgb) for i, (path, srgb) in enumerate(paths))
    slots = ["texPng", "texPngLinear", "texDds", "texBc1", "texCube"]
    connections = "".join(f'<connection source="{i + 1}" target="101" slot="{slot}"/>'
                          for i, slot in enumerate(slots))
    return ('<compositing><graph name="images">' + nodes +
            '<node id="9" type="resource" name="tiles shader"><file type="effect" path="tiles.fx"/></node>'
            f'<node id="101" type="effect" name="tiles"><effect type="Layer2D">{PULSE}</effect></node>'
            '<node id="999" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '<connection source="9" target="101" slot="Shader"/>' + connections +
            '<connection source="101" target="999"/></graph></compositing>')


class Images(e2e.BrivetTestCase):
    def make_demo(self, files, music_seconds=None):
        source = os.path.join(self.scratch, "source")
        os.makedirs(source, exist_ok=True)
        clips = []
        if music_seconds:
            make_ogg(os.path.join(source, "music.ogg"), music_seconds)
            clips = ["music.ogg"]
        files = dict(files)
        files["bar.fx"] = WINE_LOADING_SHADER
        files["tiles.fx"] = TILES_SHADER
        for name, content in files.items():
            path = os.path.join(source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb" if isinstance(content, bytes) else "w") as f:
                f.write(content)
        return clips, source

    def images(self):
        png = os.path.join(self.scratch, "colour.png")
        colour = "rgb({},{},{})".format(*PNG_COLOUR)
        subprocess.run(["convert", "-size", "8x8", f"xc:{colour}", f"PNG24:{png}"], check=True)
        with open(png, "rb") as f:
            png_bytes = f.read()
        cube = b"".join(solid_rgba(face) for face in CUBE_FACES)
        bc1 = struct.pack("<HHI", BC1_WORD, BC1_WORD, 0)
        return {
            "img/colour.png": png_bytes,
            "img/colour-linear.png": png_bytes,
            "img/plain.dds": dds(4, 4, RGBA_FORMAT, pixels_bytes=solid_rgba(DDS_COLOUR)),
            "img/bc1.dds": dds(4, 4, DXT1_FORMAT, pixels_bytes=bc1),
            "img/cube.dds": dds(4, 4, RGBA_FORMAT, caps2=0xFE00, pixels_bytes=cube),
        }

    PATHS = [("img/colour.png", True), ("img/colour-linear.png", False), ("img/plain.dds", True),
             ("img/bc1.dds", True), ("img/cube.dds", True)]

    def test_textures_of_the_archive_show_their_colours(self):
        files = self.images()
        clips, source = self.make_demo(files, music_seconds=4)
        with open(os.path.join(source, "brivet.xml"), "w") as f:
            f.write(description(loading_shader="bar.fx", clips=clips, extra=graph(self.PATHS)))
        e2e.pack(source, os.path.join(self.workdir, "images.vqz"))

        result = self.run_brivet(timeout=90, answer_dialog="Return",
                                 screenshot_at=[3.0 + 0.5 * i for i in range(8)])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        expected = {
            "PNG, sRGB (the default)": tuple(linear(c) for c in PNG_COLOUR),
            'PNG, srgb="false"': PNG_COLOUR,
            "uncompressed DDS, sRGB": tuple(linear(c) for c in DDS_COLOUR),
            "BC1 DDS, sRGB": tuple(linear(c) for c in BC1_COLOUR),
            "cube DDS, +X face": CUBE_FACES[0],
            "cube DDS, -Z face": CUBE_FACES[5],
        }
        # (u, v) in the 16:9 picture: u from the left, v from the top.
        where = {
            "PNG, sRGB (the default)": (0.1, 0.5),
            'PNG, srgb="false"': (0.3, 0.5),
            "uncompressed DDS, sRGB": (0.5, 0.5),
            "BC1 DDS, sRGB": (0.7, 0.5),
            "cube DDS, +X face": (0.9, 0.75),
            "cube DDS, -Z face": (0.9, 0.25),
        }

        def matches(png):
            ident = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, text=True)
            if ident.returncode != 0:
                return None
            width, height = (int(v) for v in ident.stdout.split())
            picture_height = width * 9 // 16
            top = (height - picture_height) // 2
            points = [(int(u * width), top + int(v * picture_height)) for u, v in where.values()]
            _, _, values = pixels(png, points)
            return {name: value for name, value in zip(where, values)}

        def close(actual, wanted):
            return all(abs(a - w) <= 3 for a, w in zip(actual, wanted))

        seen = [matches(png) for png in result.screenshots]
        shown = [s for s in seen if s and all(close(s[name], expected[name]) for name in expected)]
        self.assertTrue(shown, f"no screenshot shows the files' colours {expected}: {seen}")

    def assert_load_fails(self, name, path):
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        chain = [f"[effect] Failed to load 'texture' resource: '{path}'", f"Failed to load node: '{name}'",
                 "[demo] Failed to load Compositing", "Demo load failed"]
        for line in chain:
            self.assertIn(line, box, result)
        self.assertEqual([box.index(line) for line in chain], sorted(box.index(line) for line in chain), box)

    def test_missing_image_and_truncated_dds_end_the_load(self):
        files = self.images()
        full = files["img/plain.dds"]
        files["img/plain.dds"] = full[:len(full) - 1]  # one byte short of its only surface
        for case, paths, name, path in [
                ("truncated", self.PATHS, "image 3", "img/plain.dds"),
                ("missing", [("img/none.png", True)] + self.PATHS[1:], "image 1", "img/none.png")]:
            with self.subTest(case):
                clips, source = self.make_demo(files)
                with open(os.path.join(source, "brivet.xml"), "w") as f:
                    f.write(description(loading_shader="bar.fx", extra=graph(paths)))
                e2e.pack(source, os.path.join(self.workdir, "images.vqz"))
                self.assert_load_fails(name, path)


if __name__ == "__main__":
    e2e.main()
