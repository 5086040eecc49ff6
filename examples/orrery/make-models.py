#!/usr/bin/env python3
"""make-models.py FOLDER: writes the models and the floor texture of "Orrery" into FOLDER
(models/*.gltf and textures/tiles.png), with the glTF writer of tools/gltf.py.

The models, in glTF's frame (y up; the importer negates z, which none of them minds):
  orrery.gltf  a marble pedestal with a brass collar at y 1.25, three brass arms turning
               around it, each holding a planet (the outer one with a moon), and the
               animation "Orbit" that turns the arms 6, 4 and 2.5 times and the moon 10
               times over its 48 seconds (the description's "Scene Time" runs it).
  globe.gltf   the chrome globe of radius 0.75 at (0, 2, 0); its vertices also feed the sparks.
  column.gltf  a fluted column, 5 high, on a plinth under a capital.
  rock.gltf    a rough icosahedron of radius 1 for the asteroid belt.
  lantern.gltf and orb.gltf: spheres of radius 1 that glow orange and teal.
The tiles are a 256 x 256 dark marble of four slabs with gold joints."""

import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from gltf import Gltf, png  # noqa: E402


class Mesh:
    """Positions, normals, texture coordinates and triangle indices being built."""

    def __init__(self):
        self.positions, self.normals, self.texcoords, self.indices = [], [], [], []

    def vertex(self, p, n, uv):
        self.positions += list(p)
        self.normals += list(n)
        self.texcoords += list(uv)
        return len(self.positions) // 3 - 1

    def add(self, g, material):
        return g.mesh(self.positions, self.indices, material, texcoords=self.texcoords, normals=self.normals)


def normalise(v):
    length = math.sqrt(sum(c * c for c in v)) or 1.0
    return tuple(c / length for c in v)


def lathe(mesh, profile, segments, radius_at=None, centre=(0.0, 0.0, 0.0)):
    """A surface of revolution around the y axis through centre: profile [(radius, y)] from
    bottom to top; radius_at(angle, radius) may carve it (flutes). Smooth normals from the
    profile's slope."""
    cx, cy, cz = centre
    rows = []
    for i, (r, y) in enumerate(profile):
        r0, y0 = profile[max(i - 1, 0)]
        r1, y1 = profile[min(i + 1, len(profile) - 1)]
        dr, dy = r1 - r0, y1 - y0
        nr, ny = normalise((dy, -dr))
        row = []
        for s in range(segments + 1):
            a = 2.0 * math.pi * s / segments
            radius = radius_at(a, r) if radius_at else r
            p = (cx + radius * math.cos(a), cy + y, cz + radius * math.sin(a))
            n = normalise((nr * math.cos(a), ny, nr * math.sin(a)))
            row.append(mesh.vertex(p, n, (s / segments, i / (len(profile) - 1))))
        rows.append(row)
    for i, (lower, upper) in enumerate(zip(rows, rows[1:])):
        for s in range(segments):
            a, b, c, d = lower[s], lower[s + 1], upper[s + 1], upper[s]
            # A row on the axis makes one of the two triangles a point: leave it out.
            if profile[i][0] > 0.0:
                mesh.indices += [a, c, b]
            if profile[i + 1][0] > 0.0:
                mesh.indices += [a, d, c]


def sphere(mesh, radius, centre=(0.0, 0.0, 0.0), rings=24, segments=48):
    cx, cy, cz = centre
    first = len(mesh.positions) // 3
    for i in range(rings + 1):
        phi = math.pi * i / rings - math.pi / 2
        for s in range(segments + 1):
            a = 2.0 * math.pi * s / segments
            n = (math.cos(phi) * math.cos(a), math.sin(phi), math.cos(phi) * math.sin(a))
            mesh.vertex((cx + radius * n[0], cy + radius * n[1], cz + radius * n[2]), n, (s / segments, i / rings))
    for i in range(rings):
        for s in range(segments):
            a = first + i * (segments + 1) + s
            b, c, d = a + 1, a + segments + 2, a + segments + 1
            mesh.indices += [a, c, b, a, d, c]


def box(mesh, lo, hi):
    """An axis-aligned box with flat faces."""
    x0, y0, z0 = lo
    x1, y1, z1 = hi
    faces = [((1, 0, 0), [(x1, y0, z0), (x1, y1, z0), (x1, y1, z1), (x1, y0, z1)]),
             ((-1, 0, 0), [(x0, y0, z1), (x0, y1, z1), (x0, y1, z0), (x0, y0, z0)]),
             ((0, 1, 0), [(x0, y1, z0), (x0, y1, z1), (x1, y1, z1), (x1, y1, z0)]),
             ((0, -1, 0), [(x0, y0, z1), (x0, y0, z0), (x1, y0, z0), (x1, y0, z1)]),
             ((0, 0, 1), [(x1, y0, z1), (x1, y1, z1), (x0, y1, z1), (x0, y0, z1)]),
             ((0, 0, -1), [(x0, y0, z0), (x0, y1, z0), (x1, y1, z0), (x1, y0, z0)])]
    for n, corners in faces:
        ids = [mesh.vertex(p, n, uv) for p, uv in zip(corners, [(0, 1), (0, 0), (1, 0), (1, 1)])]
        mesh.indices += [ids[0], ids[1], ids[2], ids[0], ids[2], ids[3]]


def rod(mesh, a, b, radius, segments=10):
    """A closed-sided cylinder from a to b."""
    axis = normalise(tuple(q - p for p, q in zip(a, b)))
    helper = (0.0, 1.0, 0.0) if abs(axis[1]) < 0.9 else (1.0, 0.0, 0.0)
    u = normalise((axis[1] * helper[2] - axis[2] * helper[1], axis[2] * helper[0] - axis[0] * helper[2],
                   axis[0] * helper[1] - axis[1] * helper[0]))
    v = (axis[1] * u[2] - axis[2] * u[1], axis[2] * u[0] - axis[0] * u[2], axis[0] * u[1] - axis[1] * u[0])
    ends = []
    for end in (a, b):
        row = []
        for s in range(segments + 1):
            t = 2.0 * math.pi * s / segments
            n = tuple(math.cos(t) * u[k] + math.sin(t) * v[k] for k in range(3))
            row.append(mesh.vertex(tuple(end[k] + radius * n[k] for k in range(3)), n, (s / segments, 0)))
        ends.append(row)
    for s in range(segments):
        p, q, r, w = ends[0][s], ends[0][s + 1], ends[1][s + 1], ends[1][s]
        mesh.indices += [p, r, q, p, w, r]


def turning(node, translation, turns):
    """The channels of a node that turns about y a number of times over time 0 to 48, with
    rotation keys a quarter turn apart; its translation and scale are keyed too, as a
    channel without them would put it at its parent's origin scaled to nothing."""
    steps = int(round(turns * 4))
    times = [48.0 * k / steps for k in range(steps + 1)]
    half = [math.pi / 4 * k for k in range(steps + 1)]  # half of k quarter turns
    return [(node, "rotation", times, [(0.0, math.sin(h), 0.0, math.cos(h)) for h in half]),
            (node, "translation", [0.0, 48.0], [translation, translation]),
            (node, "scale", [0.0, 48.0], [(1.0, 1.0, 1.0), (1.0, 1.0, 1.0)])]


def orrery():
    g = Gltf()
    marble = g.material("Marble", (0.72, 0.69, 0.64, 1), roughness=0.35)
    brass = g.material("Brass", (0.78, 0.58, 0.28, 1), roughness=0.3, metallic=1.0)
    planets = [g.material("Copper", (0.82, 0.42, 0.26, 1), roughness=0.5),
               g.material("Azure", (0.22, 0.42, 0.82, 1), roughness=0.4),
               g.material("Ochre", (0.86, 0.7, 0.36, 1), roughness=0.6)]
    moon = g.material("Moon", (0.7, 0.72, 0.76, 1), roughness=0.8)

    pedestal = Mesh()
    lathe(pedestal, [(0.78, 0.0), (0.78, 0.16), (0.6, 0.2), (0.44, 0.26), (0.4, 0.95), (0.46, 1.02),
                     (0.62, 1.08), (0.62, 1.18), (0.0, 1.19)], 32)
    g.node("Pedestal", mesh=pedestal.add(g, marble))

    collar = Mesh()
    lathe(collar, [(0.0, 1.18), (0.3, 1.19), (0.34, 1.24), (0.3, 1.3), (0.12, 1.34), (0.0, 1.34)], 32)
    g.node("Collar", mesh=collar.add(g, brass))

    # (arm radius, planet height, planet radius, turns)
    layout = [(1.8, 2.0, 0.16, 6.0), (2.7, 2.45, 0.26, 4.0), (3.8, 1.85, 0.34, 2.5)]
    channels = []
    for k, (radius, height, size, turns) in enumerate(layout):
        arm = Mesh()
        rod(arm, (0.3, 1.26, 0.0), (radius, 1.26, 0.0), 0.025)
        rod(arm, (radius, 1.26, 0.0), (radius, height - size, 0.0), 0.02)
        sphere(arm, 0.045, (radius, 1.26, 0.0), 8, 12)
        children = []
        planet = Mesh()
        sphere(planet, size, (radius, height, 0.0), 16, 32)
        children.append(g.node(f"Planet{k + 1}", root=False, mesh=planet.add(g, planets[k])))
        if k == 2:
            body = Mesh()
            sphere(body, 0.09, (0.62, 0.0, 0.0), 10, 20)
            satellite = g.node("Moon", root=False, mesh=body.add(g, moon))
            pivot = g.node("MoonPivot", root=False, translation=[radius, height, 0.0], children=[satellite])
            children.append(pivot)
            channels += turning(pivot, (radius, height, 0.0), 10.0)
        node = g.node(f"Arm{k + 1}", mesh=arm.add(g, brass), children=children)
        channels += turning(node, (0.0, 0.0, 0.0), turns)
    g.animation("Orbit", channels)
    return g.text()


def globe():
    g = Gltf()
    chrome = g.material("Chrome", (0.9, 0.9, 0.92, 1), roughness=0.05, metallic=1.0)
    body = Mesh()
    sphere(body, 0.75, rings=24, segments=48)
    g.node("Globe", mesh=body.add(g, chrome), translation=[0.0, 2.0, 0.0])
    return g.text()


def column():
    g = Gltf()
    stone = g.material("Stone", (0.6, 0.58, 0.54, 1), roughness=0.7)
    body = Mesh()
    box(body, (-0.48, 0.0, -0.48), (0.48, 0.28, 0.48))
    lathe(body, [(0.4, 0.28), (0.36, 0.36), (0.33, 0.45), (0.3, 4.45), (0.34, 4.55), (0.4, 4.62)], 48,
          radius_at=lambda a, r: r - 0.018 * (0.5 + 0.5 * math.cos(16 * a)) if 0.29 < r < 0.34 else r)
    box(body, (-0.5, 4.62, -0.5), (0.5, 4.82, 0.5))
    g.node("Column", mesh=body.add(g, stone))
    return g.text()


def rock():
    """An icosahedron, each corner pushed in or out a little, with flat faces."""
    g = Gltf()
    material = g.material("Rock", (0.5, 0.45, 0.42, 1), roughness=0.9)
    t = (1.0 + math.sqrt(5.0)) / 2.0
    corners = [normalise(p) for p in [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t),
                                      (0, -1, -t), (0, 1, -t), (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]]
    jitter = random.Random(7)
    corners = [tuple(c * jitter.uniform(0.75, 1.15) for c in p) for p in corners]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
             (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5), (2, 4, 11),
             (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    body = Mesh()
    for a, b, c in faces:
        pa, pb, pc = corners[a], corners[b], corners[c]
        e1 = [pb[k] - pa[k] for k in range(3)]
        e2 = [pc[k] - pa[k] for k in range(3)]
        n = normalise((e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]))
        body.indices += [body.vertex(p, n, uv) for p, uv in zip((pa, pb, pc), [(0, 0), (1, 0), (0, 1)])]
    g.node("Rock", mesh=body.add(g, material))
    return g.text()


def glowing_sphere(name, colour):
    g = Gltf()
    material = g.material(name, (0.1, 0.1, 0.1, 1), emissive=colour)
    body = Mesh()
    sphere(body, 1.0, rings=12, segments=24)
    g.node(name, mesh=body.add(g, material))
    return g.text()


def tiles():
    """Four dark marble slabs with a soft vein pattern and thin gold joints; 256 x 256."""
    size = 256
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            sx, sy = x % 128, y % 128
            slab = (x // 128) * 2 + (y // 128)
            vein = math.sin((x * 0.043 + y * 0.031 + slab * 1.7) + 2.4 * math.sin(x * 0.021 - y * 0.027 + slab))
            level = 0.09 + 0.035 * (vein * 0.5 + 0.5) ** 6 + 0.012 * math.sin(x * 0.9 + y * 1.3)
            colour = (level * 0.9, level * 0.95, level * 1.1)
            if min(sx, sy, 127 - sx, 127 - sy) < 2:
                colour = (0.55, 0.42, 0.2)
            row.append(tuple(max(0, min(255, int(c * 255 + 0.5))) for c in colour))
        rows.append(row)
    return png(size, size, rows)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(os.path.join(folder, "models"), exist_ok=True)
    os.makedirs(os.path.join(folder, "textures"), exist_ok=True)
    models = {"orrery.gltf": orrery(), "globe.gltf": globe(), "column.gltf": column(), "rock.gltf": rock(),
              "lantern.gltf": glowing_sphere("Lantern", (1.0, 0.62, 0.3)),
              "orb.gltf": glowing_sphere("Orb", (0.35, 0.95, 0.9))}
    for name, text in models.items():
        with open(os.path.join(folder, "models", name), "w") as f:
            f.write(text)
    with open(os.path.join(folder, "textures", "tiles.png"), "wb") as f:
        f.write(tiles())


if __name__ == "__main__":
    main()
