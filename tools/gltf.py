"""A small glTF 2.0 writer (buffers embedded as data URIs) and a PNG writer, for the
models of the end-to-end tests and of the examples. Standard library only.

The importer turns a file left-handed: it negates z of positions, normals and
translations and flips the winding, so a model written here in glTF's right-handed
frame shows in the engine with z negated."""

import base64
import json
import struct
import zlib

FLOAT, UBYTE, USHORT, UINT = 5126, 5121, 5123, 5125
SIZES = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4, "MAT4": 16}
FORMATS = {FLOAT: "f", UBYTE: "B", USHORT: "H", UINT: "I"}


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

    def mesh(self, positions, indices, material, texcoords=None, joints=None, weights=None, normals=None):
        attributes = {"POSITION": self.accessor(positions, "VEC3", bounds=True)}
        if normals:
            attributes["NORMAL"] = self.accessor(normals, "VEC3")
        if texcoords:
            attributes["TEXCOORD_0"] = self.accessor(texcoords, "VEC2")
        if joints:
            attributes["JOINTS_0"] = self.accessor(joints, "VEC4", UBYTE)
            attributes["WEIGHTS_0"] = self.accessor(weights, "VEC4")
        component = USHORT if len(positions) // 3 <= 0xFFFF else UINT
        primitive = {"attributes": attributes, "indices": self.accessor(indices, "SCALAR", component),
                     "material": material}
        self.doc["meshes"].append({"primitives": [primitive]})
        return len(self.doc["meshes"]) - 1

    def material(self, name, colour=(1, 1, 1, 1), image=None, emissive=None, roughness=None, metallic=0.0):
        pbr = {"baseColorFactor": list(colour), "metallicFactor": metallic}
        if roughness is not None:
            pbr["roughnessFactor"] = roughness
        if image:
            self.doc.setdefault("images", []).append({"uri": image})
            self.doc.setdefault("samplers", []).append({"magFilter": 9728, "minFilter": 9728})
            self.doc.setdefault("textures", []).append({"source": len(self.doc["images"]) - 1,
                                                        "sampler": len(self.doc["samplers"]) - 1})
            pbr["baseColorTexture"] = {"index": len(self.doc["textures"]) - 1}
        material = {"name": name, "pbrMetallicRoughness": pbr}
        if emissive:
            material["emissiveFactor"] = list(emissive)
        self.doc["materials"].append(material)
        return len(self.doc["materials"]) - 1

    def animation(self, name, channels):
        """One animation of linear channels [(node, path, times, values)], path "translation",
        "rotation" (quaternions x, y, z, w) or "scale", values one tuple per time."""
        samplers, targets = [], []
        for node, path, times, values in channels:
            kind = "VEC4" if path == "rotation" else "VEC3"
            samplers.append({"input": self.accessor(times, "SCALAR", bounds=True),
                             "output": self.accessor([c for v in values for c in v], kind),
                             "interpolation": "LINEAR"})
            targets.append({"sampler": len(samplers) - 1, "target": {"node": node, "path": path}})
        self.doc.setdefault("animations", []).append({"name": name, "samplers": samplers, "channels": targets})

    def text(self):
        doc = dict(self.doc)
        doc["buffers"] = [{"byteLength": len(self.data), "uri": "data:application/octet-stream;base64," +
                           base64.b64encode(bytes(self.data)).decode("ascii")}]
        return json.dumps(doc, indent=1)


def png(width, height, pixels):
    """An 8-bit RGB PNG of rows of (r, g, b) pixels."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\x00" + bytes(c for pixel in row for c in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) +
            chunk(b"IEND", b""))
