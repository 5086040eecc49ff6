"""Hostile descriptions that make the 3D path multiply its work: modifiers that copy lights
and entries into chunks that grow without end, a chunk of tens of thousands of entries and
thousands of shadow-casting lights for the G-buffer renderer, compute passes of
billions of thread groups, and draws of billions of vertices or instances.
Each row of the table is played under Wine and must end by itself with its exit code
within seconds while the program stays well under 3 GiB resident (a run past 3 GiB is
killed, so a regression cannot take the machine's memory)."""

import collections
import os

import e2e
from test_compute import STRIPES_SHADER
from test_scene3d import DEFAULT_SHADER, INSTANCE_SHADER, connect, constant, description, effect, resource
from test_renderer3d import LOADING_SHADER
from test_startup import make_ogg

SECONDS = 3          # of music: the demo's length
TIMEOUT = 120.0      # a run that is still going then has hung
# Start-up, load and three seconds of music take about 10 s here; a chain of merges at the
# chunk limits and its 65536 draws took up to 40 s on a machine loaded eight times over.
ELAPSED_MAX = 90.0
RSS_KILL = 3 << 30
RSS_MAX = 2 << 30    # "well under" 3 GiB

Row = collections.namedtuple("Row", "name files graph exit_code seconds",
                             defaults=(SECONDS,))


def spline(name, start, end):
    """A parameter moving from start to end over any run: its node renders every frame."""
    return (f'<parameter name="{name}"><value type="spline"><clip start="0" length="100">'
            f'<key time="0" interpolation="linear" value="{start}"/>'
            f'<key time="100" value="{end}"/></clip></value></parameter>')


MINUS_ONE = "-1"  # an unsigned count of 4294967295

# Its listed colour into the G-buffer's one layer; a shadow-cube pass for point lights.
CASTER_SHADER = """/*
<metadata>
  <passes>
    <pass name="geometry" vs="vs_main" ps="ps_main"><rasterizer cullMode="none"/></pass>
    <pass name="cube" type="shadowcube" vs="vs_main" ps="ps_shadow"><rasterizer cullMode="none"/></pass>
  </passes>
</metadata>
*/
cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; };
struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(VS_INPUT In) {
  VS_OUTPUT Out;
  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(0.2, 0.8, 0.4, 1); }
float4 ps_shadow(VS_OUTPUT In) : SV_TARGET { return float4(In.Pos.z, In.Pos.z * In.Pos.z, 0, 1); }
"""

GBUFFER_VIEW_SHADER = """/*
<metadata><passes><pass name="show" vs="vs_main" ps="ps_main"/></passes></metadata>
*/
Texture2D texDiffuse;
struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(VS_INPUT In) { VS_OUTPUT Out; Out.Pos = float4(In.Pos, 1); return Out; }
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return texDiffuse.Load(int3(In.Pos.xy, 0)); }
"""

# Sixteen floats written, whatever the number of threads run ("fPulse" keeps the pass
# rendering every frame; a stored literal would not run under Wine here).
COMPUTE_SHADER = """/*
<metadata><input>fPulse</input></metadata>
*/
cbuffer constants { float3 v3ThreadSizes; float fPulse; };
RWBuffer<float> gOutput;
[numthreads(1, 1, 1)]
void main(uint3 id : SV_DispatchThreadID)
{
    if (id.x < 16 && id.y == 0 && id.z == 0)
        gOutput[id.x] = fPulse * 0.0 + 0.5;
}
"""

# Particle p as a tiny quad on a 1024-wide grid of the picture.
PARTICLE_SHADER = """/*
<metadata><passes><pass name="dots" vs="vs_main" ps="ps_main"/></passes></metadata>
*/
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(uint id : SV_VertexID) {
  VS_OUTPUT Out;
  uint p = id / 6; uint c = id % 6;
  float cx = (c == 1 || c == 3 || c == 4) ? 1.0 : 0.0;
  float cy = (c == 2 || c == 4 || c == 5) ? 1.0 : 0.0;
  float x = (float)(p % 1024) / 512.0 - 1.0;
  float y = (float)((p / 1024) % 1024) / 512.0 - 1.0;
  Out.Pos = float4(x + cx * 0.001, y + cy * 0.001, 0.5, 1);
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0.5, 0, 1); }
"""

# Triangle k of the index's thirds, small, along the picture's middle.
PROCEDURAL_SHADER = """/*
<metadata><passes><pass name="main" vs="vs_main" ps="ps_main"/></passes></metadata>
*/
cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(uint id : SV_VertexID) {
  VS_OUTPUT Out;
  float k = (float)(id / 3) * 0.001; uint c = id % 3;
  float3 p = float3(k + (c == 1 ? 0.01 : 0.0), c == 2 ? 0.01 : 0.0, 0);
  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(p, 1))));
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 1, 0, 1); }
"""


def many_meshes_obj(count):
    """A Wavefront OBJ of count objects of one small triangle each: count scene meshes."""
    lines = []
    for k in range(count):
        x = (k % 100) * 0.02 - 1.0
        y = (k // 100) * 0.02 - 1.0
        lines += [f"o part{k}", f"v {x} {y} 0", f"v {x + 0.01} {y} 0", f"v {x} {y + 0.01} 0",
                  f"f {3 * k + 1} {3 * k + 2} {3 * k + 3}"]
    return "\n".join(lines) + "\n"


def renderer(node_id, source):
    """Renderer3D of node_id drawing the chunk of source to the screen, default shader node 2."""
    return (effect(node_id, "renderer", "Renderer3D") + connect(2, node_id, "Default Shader")
            + connect(source, node_id, "Input 1") + connect(node_id, 99))


def merge_chain():
    """Four Merge3D, each fed 63 times by the node before: 63^4 entries unbounded."""
    parts = [effect(10, "shape", "Shape3D", constant("Scale", "0.01; 0.01; 1"))]
    for level in range(4):
        node = 11 + level
        parts.append(effect(node, f"merge {level + 1}", "Merge3D"))
        parts += [connect(node - 1, node, f"Input {k}") for k in range(1, 64)]
    return "".join(parts) + renderer(20, 14)


ROWS = [
    Row("fault 1: two Duplicate3D of Count -1 on a light", {},
        effect(10, "lamp", "PointLight3D", constant("Enabled", "true"))
        + effect(11, "lamps", "Duplicate3D", constant("Count", MINUS_ONE) + constant("Position", "0.01; 0; 0"))
        + effect(12, "lamps of lamps", "Duplicate3D", constant("Count", MINUS_ONE))
        + connect(10, 11, "Input") + connect(11, 12, "Input") + renderer(20, 12), 0),
    Row("fault 1: four Merge3D each fed 63 times by the one before", {}, merge_chain(), 0),
    # Thirty seconds: long enough for the doubling to pass 3 GiB without the limits here.
    Row("fault 1: a Merge3D fed twice by the Transform3D it feeds", {},
        effect(10, "shape", "Shape3D", constant("Scale", "0.01; 0.01; 1"))
        + effect(11, "merge", "Merge3D", spline("Position", "0; 0; 0", "0; 0; 1"))
        + effect(12, "again", "Transform3D")
        + connect(12, 11, "Input 1") + connect(12, 11, "Input 2") + connect(10, 11, "Input 3")
        + connect(11, 12, "Input") + renderer(20, 10), 0, 30),
    Row("fault 2: 65536 entries and 4096 shadow-casting lights into RendererGBuffer3D",
        {"shaders/caster.fx": CASTER_SHADER, "shaders/view.fx": GBUFFER_VIEW_SHADER},
        resource(3, "caster", "effect", "shaders/caster.fx")
        + resource(4, "view", "effect", "shaders/view.fx")
        + effect(10, "shape", "Shape3D", constant("Scale", "0.01; 0.01; 1"))
        + effect(11, "shapes", "Duplicate3D", constant("Count", MINUS_ONE) + constant("Position", "0.0001; 0; 0"))
        + effect(12, "lamp", "PointLight3D", constant("Enabled", "true") + constant("Casts Shadows", "true"))
        + effect(13, "lamps", "Duplicate3D", constant("Count", MINUS_ONE) + constant("Position", "0.01; 0; 0"))
        + effect(14, "merge", "Merge3D", spline("Position", "0; 0; 0", "0; 0; 1"))
        + '<node id="15" type="effect" name="renderer"><effect type="RendererGBuffer3D"/><resource>'
          '<gbuffer shadowSize="16" shadowCubeSize="16"><layer name="texDiffuse" format="R8G8B8A8_UNORM"/>'
          '</gbuffer></resource></node>'
        + effect(16, "view", "LayerGBuffer2D")
        + connect(3, 10, "Material Override") + connect(10, 11, "Input") + connect(12, 13, "Input")
        + connect(11, 14, "Input 1") + connect(13, 14, "Input 2") + connect(2, 15, "Default Shader")
        + connect(14, 15, "Input 1") + connect(4, 16, "Shader") + connect(15, 16, "GBuffer") + connect(16, 99),
        0),
    # Wine refuses a dispatch of more than 65535 groups on an axis (Windows calls it invalid),
    # so 65535 x 65535 x 1 one-thread groups are what would keep it busy for hours.
    Row("fault 4: ComputedBuffer over 65535 x 65535 threads, ComputedGeometry3D over 2^31 - 1 per axis",
        {"shaders/fill.csh": COMPUTE_SHADER, "shaders/stripes.fx": STRIPES_SHADER},
        resource(3, "fill", "computeShader", "shaders/fill.csh")
        + resource(4, "stripes", "effect", "shaders/stripes.fx")
        + '<node id="10" type="effect" name="buffer"><effect type="ComputedBuffer">'
        + constant("Thread X", 65535) + constant("Thread Y", 65535) + constant("Thread Z", 1)
        + spline("fPulse", 0, 1) + '</effect><resource><buffer size="16"/></resource></node>'
        + effect(11, "stripes", "Layer2D")
        + effect(12, "geometry", "ComputedGeometry3D",
                 constant("Triangle Count", 2) + "".join(constant(f"Thread {axis}", 2147483647) for axis in "XYZ")
                 + spline("fPulse", 0, 1))
        + connect(3, 10, "Compute Shader") + connect(4, 11, "Shader") + connect(10, 11, "bufColours")
        + connect(11, 99) + connect(3, 12, "Compute Shader") + renderer(20, 12), 0),
    # A draw of 2^31 or more vertices is refused under Wine; on Windows "-1" draws 4294967292.
    Row("fault 5: Particle3D of 350000000 particles", {"shaders/particles.fx": PARTICLE_SHADER},
        resource(3, "dots", "effect", "shaders/particles.fx")
        + effect(10, "particles", "Particle3D", constant("Particle Count", 350000000))
        + connect(3, 10, "Shader") + connect(10, 99), 0),
    Row("fault 5: ProceduralGeometry3D of 700000000 triangles", {"shaders/procedural.fx": PROCEDURAL_SHADER},
        resource(3, "procedural", "effect", "shaders/procedural.fx")
        + effect(10, "triangles", "ProceduralGeometry3D", constant("TriangleCount", 700000000))
        + connect(3, 10, "Shader") + renderer(20, 10), 0),
    Row("fault 5: Instancer3D of 2^20 instances of each of 5000 meshes",
        {"shaders/instanced.fx": INSTANCE_SHADER, "models/parts.obj": many_meshes_obj(5000)},
        resource(3, "instancing", "effect", "shaders/instanced.fx")
        + resource(4, "parts", "scene", "models/parts.obj")
        + effect(10, "instances", "Instancer3D",
                 constant("Instance Count", 1048576) + constant("v4Colour", "1; 0.5; 0; 1"))
        + connect(3, 10, "Shader") + connect(4, 10, "Instanced Object") + renderer(20, 10), 0),
]


class HostileRender(e2e.BrivetTestCase):
    def stage(self, row, folder):
        source = os.path.join(folder, "source")
        os.makedirs(os.path.join(source, "shaders"))
        files = dict(row.files, **{"shaders/default.fx": DEFAULT_SHADER})
        for name, content in files.items():
            path = os.path.join(source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(content)
        with open(LOADING_SHADER) as f, open(os.path.join(source, "shaders", "loading.fx"), "w") as out:
            out.write(f.read())
        make_ogg(os.path.join(source, "music.ogg"), row.seconds)
        graph = resource(2, "default shader", "effect", "shaders/default.fx") + row.graph
        with open(os.path.join(source, "brivet.xml"), "w", encoding="utf-8") as f:
            f.write(description(graph))
        work = os.path.join(folder, "work")
        os.makedirs(work)
        e2e.pack(source, os.path.join(work, "hostile.vqz"))
        return work

    def test_each_hostile_description_ends_bounded(self):
        for index, row in enumerate(ROWS):
            with self.subTest(row.name):
                folder = os.path.join(self.scratch, f"row{index}")
                work = self.stage(row, folder)
                result = e2e.run_brivet(work, timeout=TIMEOUT, answer_dialog="Return", rss_limit=RSS_KILL,
                                        out_dir=os.path.join(folder, "out"))
                print(f"\n{row.name}: exit {result.exit_code}, {result.elapsed:.1f} s, peak "
                      f"{(result.peak_rss or 0) / 2**20:.0f} MiB")
                self.assertFalse(result.rss_exceeded, result)
                self.assertFalse(result.timed_out, result)
                self.assertEqual(result.exit_code, row.exit_code, result)
                self.assertEqual(result.boxes, [], result)
                self.assertIsNotNone(result.peak_rss, result)
                self.assertLess(result.peak_rss, RSS_MAX, result)
                self.assertLess(result.elapsed, ELAPSED_MAX, result)


if __name__ == "__main__":
    e2e.main()
