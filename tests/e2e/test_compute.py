"""Compute passes end to end: a ComputedBuffer fills a float buffer from a compute shader
of the archive and a Layer2D shader reads it back as the colours of four stripes; a
compute shader that does not compile ends the load with the compiler's line, the node
failure chain and -1."""

import os

import e2e
from test_startup import WINE_LOADING_SHADER, description, make_ogg, pixels

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


def graph():
    return ('<compositing><graph name="compute">'
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
        source = os.path.join(self.scratch, "source")
        os.makedirs(source, exist_ok=True)
        clips = []
        if music_seconds:
            make_ogg(os.path.join(source, "music.ogg"), music_seconds)
            clips = ["music.ogg"]
        files = {"bar.fx": WINE_LOADING_SHADER, "fill.csh": fill_shader, "stripes.fx": STRIPES_SHADER}
        for name, content in files.items():
            with open(os.path.join(source, name), "w") as f:
                f.write(content)
        with open(os.path.join(source, "brivet.xml"), "w") as f:
            f.write(description(loading_shader="bar.fx", clips=clips, extra=graph()))
        e2e.pack(source, os.path.join(self.workdir, "compute.vqz"))

    def test_computed_buffer_is_read_back_as_colours(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest("needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine), "
                          "which compiles no compute shader with read-write resources")
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


if __name__ == "__main__":
    e2e.main()
