"""A geometry stage and group-shared memory end to end: a ComputedBuffer whose compute
shader passes its values between threads through group-shared memory after a barrier (and
counts bits with countbits) fills the colours of four stripes, and a Layer2D pass with
vs, gs and ps draws them, its geometry stage squeezing the quad into the middle half of
the picture's height."""

import os

import e2e
from test_compute import graph, stage, stripe_colour
from test_startup import pixels

NEEDS_VKD3D_2 = ("needs a geometry stage and barriers, which only vkd3d-shader 2.x compiles under Wine: "
                 "this run uses {} (BRIVET_HLSL_COMPILER={})")

# Twelve floats, three per stripe: stripe s is (s / 3, 1 - s / 3, countbits(s) / 4). Thread
# j of a group of four stores the value of its mirrored element (4g + 3 - j) in group-shared
# memory; after the barrier each thread writes what its mirrored thread stored, which is its
# own element's value. "fPulse" is animated over the whole run so that every frame renders.
FILL_SHADER = "\r\n".join([
    "/*",
    "<metadata><input>fPulse</input></metadata>",
    "*/",
    "cbuffer constants { float3 v3ThreadSizes; float fPulse; };",
    "RWBuffer<float> gOutput;",
    "groupshared float gsValues[4];",
    "float Value(uint i)",
    "{",
    "    uint stripe = i / 3;",
    "    uint channel = i % 3;",
    "    return channel == 0 ? stripe / 3.0 : (channel == 1 ? 1.0 - stripe / 3.0 : countbits(stripe) * 0.25);",
    "}",
    "[numthreads(4, 1, 1)]",
    "void main(uint3 id : SV_DispatchThreadID, uint3 group : SV_GroupID, uint index : SV_GroupIndex)",
    "{",
    "    gsValues[index] = Value(group.x * 4 + 3 - index) + fPulse * 0.0;",
    "    GroupMemoryBarrierWithGroupSync();",
    "    gOutput[id.x] = gsValues[3 - index];",
    "}",
])

STRIPES_SHADER = "\r\n".join([
    "/*",
    "<metadata>",
    "<input>bufColours</input>",
    '<passes><pass name="main" vs="vs_main" gs="gs_main" ps="ps_main"/></passes>',
    "</metadata>",
    "*/",
    "Buffer<float> bufColours;",
    "struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };",
    "VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); Out.Tex = In.Tex; return Out; }",
    "[maxvertexcount(3)]",
    "void gs_main(triangle VS_OUTPUT input[3], inout TriangleStream<VS_OUTPUT> stream)",
    "{",
    "    for (uint i = 0; i < 3; ++i) { VS_OUTPUT v = input[i]; v.Pos.y *= 0.5; stream.Append(v); }",
    "    stream.RestartStrip();",
    "}",
    "float4 ps_main(VS_OUTPUT In) : SV_TARGET {",
    "  uint s = (uint)(In.Tex.x * 4.0);",
    "  return float4(bufColours[s * 3], bufColours[s * 3 + 1], bufColours[s * 3 + 2], 1);",
    "}",
])


def colour(s):
    red, green, _ = stripe_colour(s)
    return (red, green, round(bin(s).count("1") * 0.25 * 255))


class GeometryStage(e2e.BrivetTestCase):
    def test_layer_pass_with_a_geometry_stage_draws_group_shared_values(self):
        compiler = os.environ.get("BRIVET_HLSL_COMPILER") or os.environ.get("BRIVET_HLSL")
        if compiler in ("vkd3d1", "wine"):
            name = "Wine's own compiler" if compiler == "wine" else "vkd3d-shader 1.14"
            self.skipTest(NEEDS_VKD3D_2.format(name, compiler))
        stage(self, "geometry.vqz", {"fill.csh": FILL_SHADER, "stripes.fx": STRIPES_SHADER}, graph("geometry stage"),
              music_seconds=4)
        result = self.run_brivet(timeout=90, answer_dialog="Return",
                                 screenshot_at=[3.0 + 0.5 * i for i in range(8)])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        expected = [colour(s) for s in range(4)]

        def rows(png):
            """The stripes' colours across the picture's middle and across its top eighth."""
            width, height, _ = pixels(png, [(0, 0)])
            picture_height = width * 9 // 16
            top = (height - picture_height) // 2
            xs = [int((s + 0.5) / 4 * width) for s in range(4)]
            middle = pixels(png, [(x, top + picture_height // 2) for x in xs])[2]
            edge = pixels(png, [(x, top + picture_height // 8) for x in xs])[2]
            return middle, edge

        def close(actual, wanted):
            return all(abs(a - w) <= 3 for a, w in zip(actual, wanted))

        seen = [rows(png) for png in result.screenshots]
        shown = [(middle, edge) for middle, edge in seen if all(close(a, w) for a, w in zip(middle, expected))]
        self.assertTrue(shown, f"no screenshot shows the computed stripes {expected} in the middle: {seen}")
        # Outside the squeezed quad nothing of the stripes is drawn.
        for _, edge in shown:
            for actual, wanted in zip(edge, expected):
                self.assertFalse(close(actual, wanted), f"the top eighth shows a stripe colour: {edge}")


if __name__ == "__main__":
    e2e.main()
