"""Damaged music and scene files end the load with the error box and -1: a demo whose
only clip is an Ogg Vorbis file with a comment count the file cannot hold, one whose
scene is an Assimp binary dump with a node name longer than any string, and demos whose
scene is a damaged glTF file."""

import base64
import json
import os
import shutil
import struct

import e2e
from test_scene3d import LOADING_SHADER, description, resource
from test_startup import make_ogg


def damaged_ogg(path):
    """A tone whose comment header declares 0x20000001 comments."""
    make_ogg(path, 1.0)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    at = data.index(b"\x03vorbis") + 7
    vendor = struct.unpack_from("<I", data, at)[0]
    struct.pack_into("<I", data, at + 4 + vendor, 0x20000001)
    with open(path, "wb") as f:
        f.write(data)


def damaged_assbin():
    """An Assimp binary dump of one node whose name claims 1400 bytes."""
    header = b"ASSIMP.binary-dump.".ljust(44, b"\0") + struct.pack("<4I2H", 1, 0, 0, 0, 0, 0) + bytes(448)
    scene = struct.pack("<2I7I", 0x1239, 0, 0, 0, 0, 0, 0, 0, 0)
    node = struct.pack("<3I", 0x123C, 0, 1400) + b"n" * 1400
    return header + scene + node + struct.pack("<16f", *[1.0 if i % 5 == 0 else 0.0 for i in range(16)]) + bytes(12)


# A glTF 2.0 triangle in an embedded buffer; damaged_gltf() changes one value of it.
GLTF_TRIANGLE = json.dumps({
    "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "mode": 4}]}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                   "max": [1, 1, 0], "min": [0, 0, 0]}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}],
    "buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,"
                 + base64.b64encode(struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)).decode()}]})


def damaged_gltf(old, new):
    """GLTF_TRIANGLE with the text old replaced by new."""
    assert old in GLTF_TRIANGLE
    return GLTF_TRIANGLE.replace(old, new).encode()


def gltf_one_glb():
    """The triangle as a binary glTF 1.0 file, whose importer the builds leave out."""
    doc = json.loads(GLTF_TRIANGLE)
    body = json.dumps({"asset": {"version": "1.0"}, "scene": "s", "scenes": {"s": {"nodes": ["n"]}},
                       "nodes": {"n": {"meshes": ["m"]}},
                       "meshes": {"m": {"primitives": [{"attributes": {"POSITION": "a"}, "mode": 4}]}},
                       "accessors": {"a": dict(doc["accessors"][0], bufferView="v")},
                       "bufferViews": {"v": dict(doc["bufferViews"][0], buffer="b")},
                       "buffers": {"b": doc["buffers"][0]}}).encode()
    return b"glTF" + struct.pack("<4I", 1, 20 + len(body), len(body), 0) + body


class DamagedMedia(e2e.BrivetTestCase):
    def stage(self, files, xml):
        source = os.path.join(self.scratch, "media")
        shutil.rmtree(source, ignore_errors=True)
        os.makedirs(os.path.join(source, "shaders"))
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        for name, make in files.items():
            path = os.path.join(source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            make(path)
        with open(os.path.join(source, "brivet.xml"), "w", encoding="utf-8") as f:
            f.write(xml)
        e2e.pack(source, os.path.join(self.workdir, "demo.vqz"))

    def assert_fails_with(self, lines):
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        for line in lines:
            self.assertIn(line, box, result)

    def test_a_damaged_ogg_clip_ends_the_load(self):
        self.stage({"music.ogg": damaged_ogg}, description(""))
        # 20: the decoder's VORBIS_invalid_setup.
        self.assert_fails_with(["stb_vorbis_open_memory returned NULL on 'music.ogg': 20",
                                "[demo] Unable to load audio clip 'music.ogg'", "[demo] Failed to load Audio",
                                "Demo load failed"])

    def test_a_damaged_assbin_scene_ends_the_load(self):
        def write_scene(path):
            with open(path, "wb") as f:
                f.write(damaged_assbin())

        self.stage({"models/broken.assbin": write_scene},
                   description(resource(4, "broken", "scene", "models/broken.assbin"), clip=False))
        self.assert_fails_with(["[effect] Failed to load 'scene' resource: 'models/broken.assbin'",
                                "Failed to load node: 'broken'", "[demo] Failed to load Compositing",
                                "Demo load failed"])

    def test_damaged_gltf_scenes_end_the_load(self):
        cases = {
            "a primitive mode that is no mode": ("models/mode.gltf", damaged_gltf('"mode": 4', '"mode": 8')),
            "a buffer view offset that wraps round": ("models/offset.gltf", damaged_gltf(
                '"byteOffset": 0', '"byteOffset": 18446744073709551600')),
            "a glTF 1.0 binary file": ("models/one.glb", gltf_one_glb()),
        }
        for case, (name, data) in cases.items():
            with self.subTest(case):
                def write_scene(path, data=data):
                    with open(path, "wb") as f:
                        f.write(data)

                self.stage({name: write_scene}, description(resource(4, "broken", "scene", name), clip=False))
                self.assert_fails_with([f"[effect] Failed to load 'scene' resource: '{name}'",
                                        "Failed to load node: 'broken'", "Demo load failed"])


if __name__ == "__main__":
    e2e.main()
