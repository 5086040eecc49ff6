"""Compute passes end to end: a ComputedBuffer fills a float buffer from a compute shader
of the archive and a Layer2D shader reads it back as the colours of four stripes; a
ComputedGeometry3D square and a ProceduralGeometry3D square whose "TriangleCount" steps
through 1, 2 and 0 stand where a Renderer3D's projection puts them; a MeshToShaderResource
hands a scene mesh's vertices to a Layer2D shader, which shows them as a colour; a compute
shader that does not compile ends the load with the compiler's line, the node failure
chain and -1."""

import os

import e2e
from test_example import Screenshot, Shooter, loud_span
from test_startup import WINE_LOADING_SHADER, description, make_ogg, pixels

FULLER_HLSL = ("needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine), "
               "which compiles no compute shader with read-write resources and reads no byte-address buffer")


def stage(test, archive, files, graph_xml, music_seconds=None):
    """Packs the loading bar, files ({entry: text}), music of that length (none: no clip)
    and a description holding graph_xml into the test's working folder."""
    source = os.path.join(test.scratch, "source")
    os.makedirs(source, exist_ok=True)
    clips = []
    if music_seconds:
        make_ogg(os.path.join(source, "music.ogg"), music_seconds)
        clips = ["music.ogg"]
    for name, content in dict(files, **{"bar.fx": WINE_LOADING_SHADER}).items():
        with open(os.path.join(source, name), "w") as f:
            f.write(content)
    with open(os.path.join(source, "brivet.xml"), "w") as f:
        f.write(description(loading_shader="bar.fx", clips=clips, extra=graph_xml))
    e2e.pack(source, os.path.join(test.workdir, archive))


# Twelve floats, three per stripe: stripe s is (s / 3, 1 - s / 3, 0.5). "fPulse" is
# animated over the whole run so that the pass and the layer render every frame.
FILL_SHADER = "\r\n".join([
    "/*",
    "<metadata><input>fPulse</input></metadata>",
    "*/",
    "cbuffer constants { float3 v3ThreadSizes; float fPulse; };",
    "RWBuffer<float> gOutput;",
    "[numthreads(4, 1, 1)]",
    "void main(uint3 id : SV_DispatchThreadID)",
    "{",
    "    uint stripe = id.x / 3;",
    "    uint channel = id.x % 3;",
    "    float value = channel == 0 ? stripe / 3.0 : (channel == 1 ? 1.0 - stripe / 3.0 : 0.5);",
    "    if (fPulse < -1.0) value = 0.0;",
    "    gOutput[id.x] = value;",
    "}",
])

STRIPES_SHADER = "\r\n".join([
    "/*",
    "<metadata>",
    "<input>bufColours</input>",
    '<passes><pass name="main" vs="vs_main" ps="ps_main"/></passes>',
    "</metadata>",
    "*/",
    "Buffer<float> bufColours;",
    "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };",
    "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; return Out; }",
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET {",
    "  uint s = (uint)(In.Tex.x * 4.0);",
    "  return float4(bufColours[s * 3], bufColours[s * 3 + 1], bufColours[s * 3 + 2], 1);",
    "}",
])

PULSE = ('<parameter name="fPulse"><value type="spline"><clip start="0" length="100">'
         '<key time="0" interpolation="linear" value="0"/><key time="100" value="1"/>'
         '</clip></value></parameter>')


def graph(name="compute"):
    """A ComputedBuffer of twelve floats from "fill.csh" read by a Layer2D of "stripes.fx"."""
    return (f'<compositing><graph name="{name}">'
            '<node id="1" type="resource" name="fill shader"><file type="computeShader" path="fill.csh"/></node>'
            '<node id="2" type="resource" name="stripes shader"><file type="effect" path="stripes.fx"/></node>'
            '<node id="101" type="effect" name="fill"><effect type="ComputedBuffer">'
            '<parameter name="Thread X"><value type="constant"><constant value="12"/></value></parameter>'
            '<parameter name="Thread Y"><value type="constant"><constant value="1"/></value></parameter>'
            '<parameter name="Thread Z"><value type="constant"><constant value="1"/></value></parameter>'
            f'{PULSE}</effect><resource><buffer size="12"/></resource></node>'
            '<node id="102" type="effect" name="stripes"><effect type="Layer2D"/></node>'
            '<node id="999" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '<connection source="1" target="101" slot="Compute Shader"/>'
            '<connection source="2" target="102" slot="Shader"/>'
            '<connection source="101" target="102" slot="bufColours"/>'
            '<connection source="102" target="999"/></graph></compositing>')


def stripe_colour(s):
    return (round(s / 3 * 255), round((1 - s / 3) * 255), 128)


class Compute(e2e.BrivetTestCase):
    def make_demo(self, fill_shader, music_seconds=None):
        stage(self, "compute.vqz", {"fill.csh": fill_shader, "stripes.fx": STRIPES_SHADER}, graph(), music_seconds)

    def test_computed_buffer_is_read_back_as_colours(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest(FULLER_HLSL)
        self.make_demo(FILL_SHADER, music_seconds=4)
        result = self.run_brivet(timeout=90, answer_dialog="Return",
                                 screenshot_at=[3.0 + 0.5 * i for i in range(8)])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        expected = [stripe_colour(s) for s in range(4)]

        def stripes(png):
            width, height, _ = pixels(png, [(0, 0)])
            picture_height = width * 9 // 16
            top = (height - picture_height) // 2
            points = [(int((s + 0.5) / 4 * width), top + picture_height // 2) for s in range(4)]
            return pixels(png, points)[2]

        def close(actual, wanted):
            return all(abs(a - w) <= 3 for a, w in zip(actual, wanted))

        seen = [stripes(png) for png in result.screenshots]
        shown = [s for s in seen if all(close(a, w) for a, w in zip(s, expected))]
        self.assertTrue(shown, f"no screenshot shows the computed stripes {expected}: {seen}")

    def test_compute_shader_that_does_not_compile_ends_the_load(self):
        self.make_demo(FILL_SHADER.replace("uint stripe", "unknownType stripe"))
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        compile_lines = [line for line in box if line.startswith("[graphics] Failed to compile compute shader: ")]
        self.assertEqual(len(compile_lines), 1, box)
        chain = [compile_lines[0], "[effect] Failed to load 'computeShader' resource: 'fill.csh'",
                 "Failed to load node: 'fill shader'", "[demo] Failed to load Compositing", "Demo load failed"]
        for line in chain:
            self.assertIn(line, box, result)
        self.assertEqual([box.index(line) for line in chain], sorted(box.index(line) for line in chain), box)


# -- 3D --------------------------------------------------------------------------------
# Camera at (0, 0, -5) looking along +z with a horizontal field of view of 90 degrees on a
# 16:9 picture. The computed square spans x from -3 to -1, the procedural one x from 1 to
# 3, both y from -1 to 1 at z = 0.
SECONDS = 12.0
COMPUTED_COLOUR = (51, 204, 102)  # 0.2; 0.8; 0.4
PROCEDURAL_COLOUR = (204, 102, 51)  # 0.8; 0.4; 0.2

# Four columns of two triangles, one thread per column, 16 floats per vertex. Every stored
# value is computed (from the thread id or a constant): Wine's translation cannot store a
# literal into a typed buffer.
SQUARES_SHADER = "\r\n".join([
    "/*",
    "<metadata><input>fPulse</input></metadata>",
    "*/",
    "cbuffer constants { float3 v3ThreadSizes; float fPulse; };",
    "RWBuffer<float> gOutput;",
    "void Vertex(uint index, float x, float y)",
    "{",
    "    gOutput[index * 16 + 0] = x;",
    "    gOutput[index * 16 + 1] = y;",
    "    gOutput[index * 16 + 2] = fPulse * 0.001;",
    "}",
    "[numthreads(1, 1, 1)]",
    "void main(uint3 id : SV_DispatchThreadID)",
    "{",
    "    float x0 = -3.0 + 0.5 * id.x;",
    "    float x1 = x0 + 0.5;",
    "    float top = 1.0 + id.y;",
    "    float bottom = -1.0 - id.y;",
    "    uint v = id.x * 6;",
    "    Vertex(v + 0, x0, bottom); Vertex(v + 1, x0, top); Vertex(v + 2, x1, bottom);",
    "    Vertex(v + 3, x1, bottom); Vertex(v + 4, x0, top); Vertex(v + 5, x1, top);",
    "}",
])

MESH_HEAD = [
    "cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; float4 v4Colour; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };",
    "float4 Place(float3 p) { return mul(matProjection, mul(matView, mul(matWorld, float4(p, 1)))); }",
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET { return v4Colour; }",
]


def mesh_shader(inputs, vertex_stage):
    return "\r\n".join([
        "/*", "<metadata>", inputs,
        '<passes><pass name="main" vs="vs_main" ps="ps_main"><rasterizer cullMode="none"/></pass></passes>',
        "</metadata>", "*/"] + MESH_HEAD + vertex_stage)


MATERIAL_SHADER = mesh_shader("<input>v4Colour</input>", [
    "VS_OUTPUT vs_main(float3 Pos : POSITION) { VS_OUTPUT Out; Out.Pos = Place(Pos); return Out; }"])
DEFAULT_SHADER = mesh_shader("", [
    "VS_OUTPUT vs_main(float3 Pos : POSITION) { VS_OUTPUT Out; Out.Pos = Place(Pos); return Out; }"]
).replace("return v4Colour;", "return float4(1, 0, 1, 1);")
# Triangle 0 is the square's lower-left half, triangle 1 its upper-right half.
PROCEDURAL_SHADER = mesh_shader("<input>v4Colour</input>", [
    "VS_OUTPUT vs_main(uint id : SV_VertexID)",
    "{",
    "    uint t = id / 3;",
    "    uint c = id % 3;",
    "    float x = t == 0 ? (c == 2 ? 1.0 : -1.0) : (c == 1 ? -1.0 : 1.0);",
    "    float y = t == 0 ? (c == 1 ? 1.0 : -1.0) : (c == 0 ? -1.0 : 1.0);",
    "    VS_OUTPUT Out; Out.Pos = Place(float3(x + 2.0, y, 0)); return Out;",
    "}"])


def constant(name, value):
    return f'<parameter name="{name}"><value type="constant"><constant value="{value}"/></value></parameter>'


def steps(name, values, length):
    keys = "".join(f'<key time="{i * length}" interpolation="hold" value="{v}"/>' for i, v in enumerate(values))
    return (f'<parameter name="{name}"><value type="spline"><clip start="0" length="{len(values) * length}">'
            f'{keys}</clip></value></parameter>')


def geometry_graph():
    return ('<compositing><graph name="geometry">'
            '<node id="1" type="resource" name="squares"><file type="computeShader" path="squares.csh"/></node>'
            '<node id="2" type="resource" name="material"><file type="effect" path="material.fx"/></node>'
            '<node id="3" type="resource" name="procedural"><file type="effect" path="procedural.fx"/></node>'
            '<node id="4" type="resource" name="default"><file type="effect" path="default.fx"/></node>'
            '<node id="101" type="effect" name="computed"><effect type="ComputedGeometry3D">'
            + constant("Triangle Count", 8) + constant("Thread X", 4) + constant("Thread Y", 1)
            + constant("Thread Z", 1) + constant("v4Colour", "0.2; 0.8; 0.4; 1") + PULSE.replace("100", "12")
            + '</effect></node>'
            '<node id="102" type="effect" name="procedural"><effect type="ProceduralGeometry3D">'
            + steps("TriangleCount", [1, 2, 0], SECONDS / 3) + constant("v4Colour", "0.8; 0.4; 0.2; 1")
            + '</effect></node>'
            '<node id="103" type="effect" name="camera"><effect type="Camera3D">'
            + constant("Enabled", "true") + constant("Position", "0; 0; -5") + '</effect></node>'
            '<node id="104" type="effect" name="merge"><effect type="Merge3D"/></node>'
            '<node id="105" type="effect" name="renderer"><effect type="Renderer3D"/></node>'
            '<node id="999" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '<connection source="1" target="101" slot="Compute Shader"/>'
            '<connection source="2" target="101" slot="Material Shader"/>'
            '<connection source="3" target="102" slot="Shader"/>'
            '<connection source="101" target="104" slot="Input 1"/>'
            '<connection source="102" target="104" slot="Input 2"/>'
            '<connection source="103" target="104" slot="Input 3"/>'
            '<connection source="4" target="105" slot="Default Shader"/>'
            '<connection source="104" target="105" slot="Input 1"/>'
            '<connection source="105" target="999"/></graph></compositing>')


def picture(x, y):
    """(u, v) of a world point at z = 0: u from the left, v from the bottom."""
    return ((x / 5.0 + 1.0) / 2.0, (y / 5.0 * 16.0 / 9.0 + 1.0) / 2.0)


def near(rgb, expected, tolerance=8):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, expected))


class ComputedGeometry(e2e.BrivetTestCase):
    def test_computed_and_procedural_triangles_stand_where_projected(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest(FULLER_HLSL)
        files = {"squares.csh": SQUARES_SHADER, "material.fx": MATERIAL_SHADER, "procedural.fx": PROCEDURAL_SHADER,
                 "default.fx": DEFAULT_SHADER}
        stage(self, "geometry.vqz", files, geometry_graph(), SECONDS)

        shooter = Shooter(self.out_dir, SECONDS + 30.0)
        shooter.start()
        try:
            result = self.run_brivet(timeout=SECONDS + 60.0, answer_dialog="Return", record_audio=True)
        finally:
            shooter.stop.set()
            shooter.join()
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        start, _, _ = loud_span(result.audio_wav)
        self.assertIsNotNone(start, "the recording is silent")
        shots = [(when - start, length, path) for when, length, path in shooter.shots]

        computed = [picture(-2.0, 0.0), picture(-2.9, -0.9), picture(-1.1, 0.9), picture(-2.6, 0.8)]
        lower_left = picture(1.5, -0.5)  # procedural triangle 0
        upper_right = picture(2.5, 0.5)  # procedural triangle 1
        empty = [picture(0.0, 0.0), picture(-2.0, 1.3), picture(2.0, -1.3), picture(-3.3, 0.0)]
        # (demo seconds, procedural triangles shown)
        for middle, triangles in [(2.0, 1), (6.0, 2), (10.0, 0)]:
            when, length, path = min(shots, key=lambda shot: abs(shot[0] - middle) + shot[1])
            self.assertLess(abs(when - middle), 1.5, f"no screenshot near {middle} s of the demo: {shots}")
            shot = Screenshot(path)
            label = f"at {when:.2f} s"
            for u, v in computed:
                rgb = tuple(shot.at(u, v))
                self.assertTrue(near(rgb, COMPUTED_COLOUR), f"computed square {label}: {rgb} at ({u:.3f}, {v:.3f})")
            for (u, v), shown in [(lower_left, triangles >= 1), (upper_right, triangles >= 2)]:
                rgb = tuple(shot.at(u, v))
                wanted = PROCEDURAL_COLOUR if shown else (0, 0, 0)
                self.assertTrue(near(rgb, wanted), f"procedural square {label}: {rgb} at ({u:.3f}, {v:.3f})")
            for u, v in empty:
                rgb = tuple(shot.at(u, v))
                self.assertTrue(near(rgb, (0, 0, 0)), f"{label}: {rgb} at ({u:.3f}, {v:.3f})")


# -- mesh data --------------------------------------------------------------------------
# One triangle whose vertices all have x = 0.2, y from 0.6 and z from 0: the layer shows
# x, y and the z of the first vertex as its colour, read from the raw vertex buffer.
MESH_OBJ = "v 0.2 0.6 0\nv 0.2 0.6 0\nv 0.2 0.6 0\nf 1 2 3\n"
MESH_LAYER = "\r\n".join([
    "/*",
    "<metadata>",
    "<input>rawVertices</input><input>fPulse</input>",
    '<passes><pass name="main" vs="vs_main" ps="ps_main"/></passes>',
    "</metadata>",
    "*/",
    "cbuffer constants { float fPulse; };",
    "ByteAddressBuffer rawVertices;",
    "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };",
    "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; return Out; }",
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET {",
    "  float3 p = asfloat(rawVertices.Load3(0));",
    "  if (fPulse < -1.0) p = float3(0, 0, 0);",
    "  return float4(p.x, p.y, p.z + 0.4, 1);",
    "}",
])


def mesh_graph():
    return ('<compositing><graph name="mesh">'
            '<node id="1" type="resource" name="scene"><file type="scene" path="mesh.obj"/></node>'
            '<node id="2" type="resource" name="layer shader"><file type="effect" path="mesh.fx"/></node>'
            '<node id="101" type="effect" name="vertices"><effect type="MeshToShaderResource"/></node>'
            f'<node id="102" type="effect" name="layer"><effect type="Layer2D">{PULSE}</effect></node>'
            '<node id="999" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '<connection source="1" target="101" slot="Scene"/>'
            '<connection source="2" target="102" slot="Shader"/>'
            '<connection source="101" target="102" slot="rawVertices"/>'
            '<connection source="102" target="999"/></graph></compositing>')


class MeshData(e2e.BrivetTestCase):
    def test_mesh_vertices_reach_a_layer_shader(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest(FULLER_HLSL)
        stage(self, "mesh.vqz", {"mesh.obj": MESH_OBJ, "mesh.fx": MESH_LAYER}, mesh_graph(), 4)

        result = self.run_brivet(timeout=90, answer_dialog="Return",
                                 screenshot_at=[3.0 + 0.5 * i for i in range(8)])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        expected = (51, 153, 102)  # 0.2, 0.6, 0 + 0.4

        def centre(png):
            width, height, _ = pixels(png, [(0, 0)])
            return pixels(png, [(width // 2, height // 2)])[2][0]

        seen = [centre(png) for png in result.screenshots]
        self.assertTrue([c for c in seen if all(abs(a - w) <= 3 for a, w in zip(c, expected))],
                        f"no screenshot shows the vertex as {expected}: {seen}")


if __name__ == "__main__":
    e2e.main()
