"""Imported scenes end to end under Wine, with glTF files written by gltf_models.py:

- one demo: a cube of one diffuse colour whose node slides along x, seen through the
  scene's own camera (Scene3D), a textured quad (a second Scene3D) and the cube's mesh
  drawn three times by Instancer3D, merged by Merge3D and drawn by Renderer3D: the
  colours stand at the projected places, the cube where its keys put it for the "Scene
  Time" of each half of the run;
- a skinned bar whose upper part follows its "Knee" joint: bent between the halves as
  the joint's keys say (bone matrices indexed by blend indices in the vertex shader);
- a scene path that the archive lacks, and a model naming a missing texture followed by
  it, end the load with their lines and -1."""

import math
import os
import shutil

import e2e
import gltf_models
from test_example import Screenshot, Shooter, loud_span, music_time, underruns
from test_startup import make_ogg

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
LOADING_SHADER = os.path.join(REPO, "examples", "tides", "data", "shaders", "loading.fx")

SECONDS = 8.0
ASPECT = 16.0 / 9.0
CAMERA_Z = -5.0
CUBE_COLOUR = (51, 204, 102)  # the material's diffuse 0.2; 0.8; 0.4
INSTANCE_COLOUR = (255, 128, 0)  # "v4Colour" of the instancing shader
RED, BLUE = (255, 0, 0), (0, 0, 255)
BAR_COLOUR = (255, 255, 0)
# The cube's node slides from x = -2 to 2 at y = 1.2 over its animation; "Scene Time" holds
# 0 in the first half of the run and 0.75 in the second.
CUBE_Y = 1.2
CUBE_X = [-2.0, 1.0]
QUAD = (-4.0, -2.0, -2.0, -0.8)  # x0, x1, y0, y1: red left of its middle, blue right
INSTANCE_Y = -1.3
INSTANCE_X = [0.5, 2.0, 3.5]  # index × 1.5 + 0.5

HEADER = """/*
<metadata>
{inputs}
<sampler name="smp" u="clamp" v="clamp" filter="POINT"/>
<passes><pass name="main" vs="vs_main" ps="ps_main"><rasterizer cullMode="none"/></pass></passes>
</metadata>
*/
"""

# Scene materials: the diffuse texture when the material has one, else the diffuse colour.
MATERIAL_SHADER = HEADER.format(inputs="") + """
cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection;
                    float4 clrDiffuse; bool bEnableDiffuse; };
Texture2D texDiffuse; SamplerState smp;
struct VS_INPUT { float3 Pos : POSITION; float2 Tex : TEXCOORD0; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; float2 Tex : TEXCOORD0; };
VS_OUTPUT vs_main(VS_INPUT In) {
  VS_OUTPUT Out;
  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
  Out.Tex = In.Tex;
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET {
  float4 c = clrDiffuse;
  if (bEnableDiffuse) c = texDiffuse.Sample(smp, In.Tex);
  return float4(c.rgb, 1);
}
"""

# Instances: the per-instance float4 (i / n, i, random, random) after the mesh's two
# texture coordinates places copy i at x = 1.5 i + 0.5, y = -1.3.
INSTANCE_SHADER = HEADER.format(inputs="<input>v4Colour</input>") + """
cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; float4 v4Colour; };
struct VS_INPUT { float3 Pos : POSITION; float4 Instance : TEXCOORD2; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(VS_INPUT In) {
  VS_OUTPUT Out;
  float3 placed = In.Pos + float3(In.Instance.y * 1.5 + 0.5, -1.3, 0);
  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(placed, 1))));
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(v4Colour.rgb, 1); }
"""

# Skinned entries: four bone matrices picked by the blend indices, weighted. Under Wine
# here an array of constants indexed by a vertex input reads the wrong element, so each
# matrix is picked by comparing the index with every bone number (an unrolled loop).
SKINNING_SHADER = HEADER.format(inputs="") + """
cbuffer constants { float4x4 matWorldBones[32]; float4x4 matView; float4x4 matProjection; float4 clrDiffuse; };
struct VS_INPUT { float3 Pos : POSITION; float4 Weights : BLENDWEIGHT; uint4 Bones : BLENDINDICES; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
float4 Skin(float4 p, uint index) {
  float4 moved = mul(matWorldBones[0], p);
  [unroll] for (uint b = 1; b < 32; ++b) { if (b == index) moved = mul(matWorldBones[b], p); }
  return moved;
}
VS_OUTPUT vs_main(VS_INPUT In) {
  VS_OUTPUT Out;
  float4 p = float4(In.Pos, 1);
  float4 skinned = Skin(p, In.Bones.x) * In.Weights.x + Skin(p, In.Bones.y) * In.Weights.y
                 + Skin(p, In.Bones.z) * In.Weights.z + Skin(p, In.Bones.w) * In.Weights.w;
  Out.Pos = mul(matProjection, mul(matView, float4(skinned.xyz, 1)));
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(clrDiffuse.rgb, 1); }
"""

DEFAULT_SHADER = HEADER.format(inputs="") + """
cbuffer constants { float4x4 matWorld; float4x4 matView; float4x4 matProjection; };
struct VS_INPUT { float3 Pos : POSITION; };
struct VS_OUTPUT { float4 Pos : SV_POSITION; };
VS_OUTPUT vs_main(VS_INPUT In) {
  VS_OUTPUT Out;
  Out.Pos = mul(matProjection, mul(matView, mul(matWorld, float4(In.Pos, 1))));
  return Out;
}
float4 ps_main(VS_OUTPUT In) : SV_TARGET { return float4(1, 0, 1, 1); }
"""


def constant(name, value):
    return f'<parameter name="{name}"><value type="constant"><constant value="{value}"/></value></parameter>'


def halves(name, first, second, seconds=SECONDS):
    """A parameter that holds one value in the first half of the run and another after."""
    return (f'<parameter name="{name}"><value type="spline"><clip start="0" length="{seconds}">'
            f'<key time="0" interpolation="hold" value="{first}"/>'
            f'<key time="{seconds / 2}" interpolation="hold" value="{second}"/></clip></value></parameter>')


def resource(node_id, name, kind, path):
    return f'<node id="{node_id}" type="resource" name="{name}"><file type="{kind}" path="{path}"/></node>'


def effect(node_id, name, kind, parameters=""):
    return f'<node id="{node_id}" type="effect" name="{name}"><effect type="{kind}">{parameters}</effect></node>'


def connect(source, target, slot=None):
    slot_attribute = f' slot="{slot}"' if slot else ""
    return f'<connection source="{source}" target="{target}"{slot_attribute}/>'


def description(graph, clip=True):
    audio = '<audio><clip filename="music.ogg" position="0"/></audio>' if clip else ""
    return ('<?xml version="1.0" encoding="utf-8"?><brivet>'
            '<properties name="Scenes" loadingShader="shaders/loading.fx"/>'
            f'<preheat><marker>0</marker></preheat>{audio}'
            f'<compositing><graph name="scenes">{graph}'
            '<node id="99" type="output" name="screen"><output aspectRatio="16:9"/></node>'
            '</graph></compositing></brivet>')


def project(x, y, depth):
    """Picture (u, v), v from the bottom, of a point at depth in front of the camera."""
    scale = 1.0 / math.tan(math.radians(45.0))
    return (x / depth * scale + 1.0) / 2.0, (y / depth * scale * ASPECT + 1.0) / 2.0


def box_rects(cx, cy, half=0.5):
    """(front face rectangle, rectangle around the whole cube) as (u0, u1, v0, v1)."""
    def rect(depth):
        u0, v0 = project(cx - half, cy - half, depth)
        u1, v1 = project(cx + half, cy + half, depth)
        return u0, u1, v0, v1
    front, back = rect(-CAMERA_Z - half), rect(-CAMERA_Z + half)
    whole = (min(front[0], back[0]), max(front[1], back[1]), min(front[2], back[2]), max(front[3], back[3]))
    return front, whole


def near(rgb, expected, tolerance=10):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, expected))


def black(rgb):
    return max(rgb) <= 8


def inner_points(rect, inset=0.15):
    u0, u1, v0, v1 = rect
    du, dv = (u1 - u0) * inset, (v1 - v0) * inset
    return [((u0 + u1) / 2, (v0 + v1) / 2), (u0 + du, v0 + dv), (u1 - du, v1 - dv), (u0 + du, v1 - dv),
            (u1 - du, v0 + dv)]


class Scenes(e2e.BrivetTestCase):
    def stage(self, files, xml, seconds=SECONDS):
        source = os.path.join(self.scratch, "scenes")
        os.makedirs(os.path.join(source, "shaders"), exist_ok=True)
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        for name, content in files.items():
            path = os.path.join(source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb" if isinstance(content, bytes) else "w") as f:
                f.write(content)
        if seconds:
            make_ogg(os.path.join(source, "music.ogg"), seconds)
        with open(os.path.join(source, "brivet.xml"), "w", encoding="utf-8") as f:
            f.write(xml)
        e2e.pack(source, os.path.join(self.workdir, "scenes.vqz"))

    def play(self, seconds):
        """Screenshots every half second, timed by the music heard before them."""
        shooter = Shooter(self.out_dir, seconds + 90.0)
        shooter.start()
        try:
            result = self.run_brivet(timeout=seconds + 120.0, answer_dialog="Return", record_audio=True)
        finally:
            shooter.stop.set()
            shooter.join()
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        start, end, _ = loud_span(result.audio_wav)
        self.assertIsNotNone(start, "the recording is silent")
        gaps = underruns(result.audio_wav, start, end)
        return [(music_time(gaps, start, when), length, path) for when, length, path in shooter.shots]

    def nearest(self, shots, t, tolerance=1.0):
        when, length, path = min(shots, key=lambda shot: abs(shot[0] - t) + shot[1])
        self.assertLess(abs(when - t), tolerance, f"no screenshot near {t} s of the demo: {shots}")
        self.assertLess(length, 1.0, f"the screenshot near {t} s took {length:.2f} s")
        return when, Screenshot(path)

    def assert_colour(self, shot, points, colour, label):
        for u, v in points:
            rgb = tuple(shot.at(u, v))
            self.assertTrue(near(rgb, colour), f"{label}: {rgb} at ({u:.3f}, {v:.3f}), expected {colour}")

    def test_scene_camera_animation_texture_and_instances(self):
        files = {
            "shaders/material.fx": MATERIAL_SHADER,
            "shaders/instanced.fx": INSTANCE_SHADER,
            "shaders/default.fx": DEFAULT_SHADER,
            "models/cube.gltf": gltf_models.cube_scene((0.2, 0.8, 0.4, 1), (-2, CUBE_Y), (2, CUBE_Y)),
            "models/quad.gltf": gltf_models.textured_quad_scene(*QUAD, "quad-colours.png"),
            "quad-colours.png": gltf_models.png(2, 1, [[RED, BLUE]]),
        }
        graph = "".join([
            resource(1, "material", "effect", "shaders/material.fx"),
            resource(2, "default shader", "effect", "shaders/default.fx"),
            resource(3, "instancing", "effect", "shaders/instanced.fx"),
            resource(4, "cube", "scene", "models/cube.gltf"),
            resource(5, "quad", "scene", "models/quad.gltf"),
            effect(10, "cube scene", "Scene3D", halves("Scene Time", 0, 0.75)),
            effect(11, "quad scene", "Scene3D"),
            effect(12, "instances", "Instancer3D",
                   constant("Instance Count", 3) + constant("v4Colour", "1; 0.5; 0; 1")),
            effect(13, "merge", "Merge3D"),
            effect(14, "renderer", "Renderer3D"),
            connect(1, 10, "Material Override"), connect(4, 10, "Scene"),
            connect(1, 11, "Material Override"), connect(5, 11, "Scene"),
            connect(3, 12, "Shader"), connect(4, 12, "Instanced Object"),
            connect(10, 13, "Input 1"), connect(11, 13, "Input 2"), connect(12, 13, "Input 3"),
            connect(2, 14, "Default Shader"), connect(13, 14, "Input 1"), connect(14, 99),
        ])
        self.stage(files, description(graph))
        shots = self.play(SECONDS)

        for half, middle in enumerate([SECONDS / 4, SECONDS * 3 / 4]):
            when, shot = self.nearest(shots, middle)
            label = f"at {when:.2f} s"
            # The sliding cube, in the scene camera's view
            front, whole = box_rects(CUBE_X[half], CUBE_Y)
            self.assert_colour(shot, inner_points(front), CUBE_COLOUR, f"cube {label}")
            mu, mv = 6.0 / shot.width, 6.0 / shot.picture_height
            u0, u1, v0, v1 = whole
            for u, v in [(u0 - mu, (v0 + v1) / 2), (u1 + mu, (v0 + v1) / 2), ((u0 + u1) / 2, v1 + mv)]:
                self.assertTrue(black(tuple(shot.at(u, v))), f"beside the cube {label} at ({u:.3f}, {v:.3f})")
            other, _ = box_rects(CUBE_X[1 - half], CUBE_Y)
            self.assertTrue(black(tuple(shot.at((other[0] + other[1]) / 2, (other[2] + other[3]) / 2))),
                            f"the cube is also where the other half puts it {label}")

            # The textured quad: red left of its middle, blue right
            x0, x1, y0, y1 = QUAD
            qu0, qv0 = project(x0, y0, -CAMERA_Z)
            qu1, qv1 = project(x1, y1, -CAMERA_Z)
            mid = (qu0 + qu1) / 2
            self.assert_colour(shot, inner_points((qu0, mid, qv0, qv1)), RED, f"quad's left half {label}")
            self.assert_colour(shot, inner_points((mid, qu1, qv0, qv1)), BLUE, f"quad's right half {label}")

            # Three instances of the cube's mesh
            for k, x in enumerate(INSTANCE_X):
                front, whole = box_rects(x, INSTANCE_Y)
                self.assert_colour(shot, inner_points(front), INSTANCE_COLOUR, f"instance {k} {label}")
            beyond, _ = box_rects(INSTANCE_X[-1] + 1.5, INSTANCE_Y)
            self.assertTrue(black(tuple(shot.at((beyond[0] + beyond[1]) / 2, (beyond[2] + beyond[3]) / 2))),
                            f"no fourth instance {label}")
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed {label}")

    def test_skinned_bar_bends_as_its_joint_keys_say(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest("needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine)")
        files = {
            "shaders/skinning.fx": SKINNING_SHADER,
            "shaders/default.fx": DEFAULT_SHADER,
            "models/bar.gltf": gltf_models.skinned_bar_scene((1, 1, 0, 1), (1.5, 1)),
        }
        graph = "".join([
            resource(1, "skinning", "effect", "shaders/skinning.fx"),
            resource(2, "default shader", "effect", "shaders/default.fx"),
            resource(4, "bar", "scene", "models/bar.gltf"),
            effect(10, "bar scene", "Scene3D", halves("Scene Time", 0, 1)),
            effect(14, "renderer", "Renderer3D"),
            connect(1, 10, "Material Override"), connect(4, 10, "Scene"),
            connect(2, 14, "Default Shader"), connect(10, 14, "Input 1"), connect(14, 99),
        ])
        self.stage(files, description(graph))
        shots = self.play(SECONDS)

        depth = -CAMERA_Z
        for half, middle in enumerate([SECONDS / 4, SECONDS * 3 / 4]):
            when, shot = self.nearest(shots, middle)
            label = f"at {when:.2f} s"
            shift = 1.5 * half  # the knee's x at "Scene Time" 0 and 1
            lower = (*[project(x, 0, depth)[0] for x in (-0.25, 0.25)], project(0, -1, depth)[1],
                     project(0, 0, depth)[1])
            upper = (*[project(x + shift, 0, depth)[0] for x in (-0.25, 0.25)], project(0, 0.1, depth)[1],
                     project(0, 1, depth)[1])
            self.assert_colour(shot, inner_points(lower), BAR_COLOUR, f"the hip's part {label}")
            self.assert_colour(shot, inner_points(upper), BAR_COLOUR, f"the knee's part {label}")
            if half:
                unbent = (*[project(x, 0, depth)[0] for x in (-0.25, 0.25)], project(0, 0.1, depth)[1],
                          project(0, 1, depth)[1])
                for u, v in inner_points(unbent):
                    self.assertTrue(black(tuple(shot.at(u, v))), f"the knee's part stayed {label} ({u}, {v})")

    def assert_load_fails(self, lines):
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        for line in lines:
            self.assertIn(line, box, result)
        self.assertEqual([box.index(line) for line in lines], sorted(box.index(line) for line in lines), box)

    def test_missing_scene_and_missing_texture(self):
        chain = ["[effect] Failed to load 'scene' resource: 'models/none.gltf'", "Failed to load node: 'lost'",
                 "[demo] Failed to load Compositing", "Demo load failed"]
        files = {"shaders/default.fx": DEFAULT_SHADER,
                 "models/quad.gltf": gltf_models.textured_quad_scene(*QUAD, "textures/gone.png")}
        for case, nodes, lines in [
                ("missing scene", resource(5, "lost", "scene", "models/none.gltf"), chain),
                ("missing texture, then the missing scene",
                 resource(4, "quad", "scene", "models/quad.gltf") + resource(5, "lost", "scene", "models/none.gltf"),
                 ["[scene] Missing texture: 'gone.png'"] + chain)]:
            with self.subTest(case):
                self.stage(files, description(nodes, clip=False), seconds=None)
                self.assert_load_fails(lines)


if __name__ == "__main__":
    e2e.main()
