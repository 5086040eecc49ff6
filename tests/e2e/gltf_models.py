"""Small glTF 2.0 scenes written by the scene tests with the writer of tools/gltf.py.

Every scene has a camera with a 90 degree horizontal field of view that the player sees at
(0, 0, -5) looking at +z, x to the right. The importer turns nodes and meshes
left-handed (z negated) but keeps a camera's own direction (down its node's -z), so the
camera node "Camera" hangs below a rig at glTF's (0, 0, 5) turned half around y."""

import math

from gltf import Gltf as Writer, png  # noqa: F401 (png is used by the tests through this module)


class Gltf(Writer):
    def camera(self):
        self.doc["cameras"].append({"type": "perspective", "perspective": {
            "yfov": math.pi / 2, "aspectRatio": 1.0, "znear": 0.1, "zfar": 100.0}})
        # A translation on the camera's own node would also become the camera's position.
        camera = self.node("Camera", root=False, camera=len(self.doc["cameras"]) - 1)
        self.node("CameraRig", translation=[0, 0, 5], rotation=[0, 1, 0, 0], children=[camera])

    def translation_animation(self, name, node, times, positions):
        self.animation(name, [(node, "translation", times, positions)])


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
