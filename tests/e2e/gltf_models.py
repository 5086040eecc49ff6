"""Small glTF 2.0 scenes written by the scene tests (buffers embedded as data URIs), and
a PNG writer for their textures. Standard library only.

Every scene has a camera with a 90 degree horizontal field of view that the player sees at
(0, 0, -5) looking at +z, x to the right. The importer turns nodes and meshes
left-handed (z negated) but keeps a camera's own direction (down its node's -z), so the
camera node "Camera" hangs below a rig at glTF's (0, 0, 5) turned half around y."""

import base64
import json
import math
import struct
import zlib

FLOAT, UBYTE, USHORT = 5126, 5121, 5123
SIZES = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}
FORMATS = {FLOAT: "f", UBYTE: "B", USHORT: "H"}


class Gltf:
    def __init__(self):
        self.data = bytearray()
        self.doc = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": []}], "nodes": [],
                    "meshes": [], "materials": [], "accessors": [], "bufferViews": [], "cameras": []}

    def accessor(self, values, kind, component=FLOAT, bounds=False):
        """An accessor over flat values of one type ("VEC3", ...); returns its index."""
        while len(self.data) % 4:
            self.data.append(0)
        count = len(values) // SIZES[kind]
        raw = struct.pack(f"<{len(values)}{FORMATS[component]}", *values)
        self.doc["bufferViews"].append({"buffer": 0, "byteOffset": len(self.data), "byteLength": len(raw)})
        self.data += raw
        accessor = {"bufferView": len(self.doc["bufferViews"]) - 1, "componentType": component,
                    "count": count, "type": kind}
        if bounds:
            n = SIZES[kind]
            accessor["min"] = [min(values[i::n]) for i in range(n)]
            accessor["max"] = [max(values[i::n]) for i in range(n)]
        self.doc["accessors"].append(accessor)
        return len(self.doc["accessors"]) - 1

    def node(self, name, root=True, **fields):
        self.doc["nodes"].append(dict(name=name, **fields))
        index = len(self.doc["nodes"]) - 1
        if root:
            self.doc["scenes"][0]["nodes"].append(index)
        return index

    def mesh(self, positions, indices, material, texcoords=None, joints=None, weights=None):
        attributes = {"POSITION": self.accessor(positions, "VEC3", bounds=True)}
        if texcoords:
            attributes["TEXCOORD_0"] = self.accessor(texcoords, "VEC2")
        if joints:
            attributes["JOINTS_0"] = self.accessor(joints, "VEC4", UBYTE)
            attributes["WEIGHTS_0"] = self.accessor(weights, "VEC4")
        primitive = {"attributes": attributes, "indices": self.accessor(indices, "SCALAR", USHORT),
                     "material": material}
        self.doc["meshes"].append({"primitives": [primitive]})
        return len(self.doc["meshes"]) - 1

    def material(self, name, colour=(1, 1, 1, 1), image=None):
        pbr = {"baseColorFactor": list(colour), "metallicFactor": 0.0}
        if image:
            self.doc.setdefault("images", []).append({"uri": image})
            self.doc.setdefault("samplers", []).append({"magFilter": 9728, "minFilter": 9728})
            self.doc.setdefault("textures", []).append({"source": len(self.doc["images"]) - 1,
                                                        "sampler": len(self.doc["samplers"]) - 1})
            pbr["baseColorTexture"] = {"index": len(self.doc["textures"]) - 1}
        self.doc["materials"].append({"name": name, "pbrMetallicRoughness": pbr})
        return len(self.doc["materials"]) - 1

    def camera(self):
        self.doc["cameras"].append({"type": "perspective", "perspective": {
            "yfov": math.pi / 2, "aspectRatio": 1.0, "znear": 0.1, "zfar": 100.0}})
        # A translation on the camera's own node would also become the camera's position.
        camera = self.node("Camera", root=False, camera=len(self.doc["cameras"]) - 1)
        self.node("CameraRig", translation=[0, 0, 5], rotation=[0, 1, 0, 0], children=[camera])

    def translation_animation(self, name, node, times, positions):
        sampler = {"input": self.accessor(times, "SCALAR", bounds=True),
                   "output": self.accessor([c for p in positions for c in p], "VEC3"),
                   "interpolation": "LINEAR"}
        self.doc.setdefault("animations", []).append({
            "name": name, "samplers": [sampler],
            "channels": [{"sampler": 0, "target": {"node": node, "path": "translation"}}]})

    def text(self):
        doc = dict(self.doc)
        doc["buffers"] = [{"byteLength": len(self.data), "uri": "data:application/octet-stream;base64," +
                           base64.b64encode(bytes(self.data)).decode("ascii")}]
        return json.dumps(doc, indent=1)


def box(cx, cy, half=0.5):
    """Positions and indices of an axis-aligned cube around (cx, cy, 0)."""
    positions = []
    for z in (-half, half):
        for y in (cy - half, cy + half):
            for x in (cx - half, cx + half):
                positions += [x, y, z]
    quads = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    indices = []
    for a, b, c, d in quads:
        indices += [a, b, c, a, c, d]
    return positions, indices


def cube_scene(colour, start, end):
    """A cube of one diffuse colour whose node "Cube" moves from start to end (x, y) over
    one second, and the camera."""
    g = Gltf()
    material = g.material("Paint", colour)
    positions, indices = box(0, 0)
    cube = g.node("Cube", mesh=g.mesh(positions, indices, material), translation=[start[0], start[1], 0])
    g.camera()
    g.translation_animation("Slide", cube, [0.0, 1.0], [(start[0], start[1], 0), (end[0], end[1], 0)])
    return g.text()


def textured_quad_scene(x0, x1, y0, y1, image):
    """A quad in the plane z = 0 whose texture coordinate u runs 0 to 1 from x0 to x1."""
    g = Gltf()
    material = g.material("Picture", (1, 1, 1, 1), image=image)
    positions = [x0, y0, 0, x1, y0, 0, x1, y1, 0, x0, y1, 0]
    texcoords = [0, 1, 1, 1, 1, 0, 0, 0]
    g.node("Quad", mesh=g.mesh(positions, [0, 1, 2, 0, 2, 3], material, texcoords=texcoords))
    return g.text()


def skinned_bar_scene(colour, knee_end):
    """Two quads skinned to the joints "Hip" (origin) and its child "Knee" (at y = 1): the
    lower quad x in [-0.25, 0.25], y in [-1, 0] follows the hip, the upper one, y in
    [0.1, 1], the knee, which moves from (0, 1) to knee_end over one second."""
    g = Gltf()
    material = g.material("Skin", colour)
    positions = [-0.25, -1, 0, 0.25, -1, 0, 0.25, 0, 0, -0.25, 0, 0,
                 -0.25, 0.1, 0, 0.25, 0.1, 0, 0.25, 1, 0, -0.25, 1, 0]
    indices = [0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7]
    joints = [0, 0, 0, 0] * 4 + [1, 0, 0, 0] * 4
    weights = [1.0, 0, 0, 0] * 8
    mesh = g.mesh(positions, indices, material, joints=joints, weights=weights)
    body = g.node("Body", mesh=mesh, skin=0)
    hip = g.node("Hip")
    knee = g.node("Knee", root=False, translation=[0, 1, 0])
    g.doc["nodes"][hip]["children"] = [knee]
    inverse_binds = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,
                     1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1]  # column-major
    g.doc["skins"] = [{"joints": [hip, knee], "inverseBindMatrices": g.accessor(inverse_binds, "MAT4")}]
    g.camera()
    g.translation_animation("Bend", knee, [0.0, 1.0], [(0, 1, 0), (knee_end[0], knee_end[1], 0)])
    assert body == 0
    return g.text()


def png(width, height, pixels):
    """An 8-bit RGB PNG of rows of (r, g, b) pixels."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))
