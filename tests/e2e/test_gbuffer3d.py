"""The G-buffer path end to end: the demo of tests/e2e/shadow3d (a wall and a small occluder
made by Shape3D, a Camera3D and a shadow-casting SpotLight3D merged by Merge3D, drawn by
RendererGBuffer3D into a two-layer G-buffer with the light's shadow map, shown by
LayerGBuffer2D darkened where the map holds a nearer caster) played under Wine. While the
light casts, the wall and the occluder show their colours and the wall is darker exactly
where the occluder's shadow falls; once "Casts Shadows" turns off there is no shadow. A
layer format that is no format ends the load with the node's failure chain and -1; a colour
"depthFormat" only warns, and the demo plays."""

import os

import e2e
from test_renderer3d import DemoRun, black, near

HERE = os.path.dirname(os.path.abspath(__file__))

SECONDS = 12.0
WALL = (51, 204, 102)  # "v4Colour" 0.2; 0.8; 0.4 as 8-bit channels
OCCLUDER = (230, 128, 26)  # 0.9; 0.5; 0.1
SHADE = 0.4  # what the shader keeps of a shadowed colour
SHADOWED = tuple(round(c * SHADE) for c in WALL)
ASPECT = 16.0 / 9.0
CAMERA = (0.0, 0.0, -5.0)
LIGHT = (3.0, 0.0, -6.0)
WALL_HALF = (4.0, 3.0)  # "Scale" of the two-by-two plane at z = 0
OCCLUDER_CENTRE = (1.5, 0.0, -2.0)
OCCLUDER_HALF = 0.5
CASTING, NOT_CASTING = 3.0, 9.0  # demo seconds in each half of the run


def picture(x, y, z):
    """Picture coordinates (u from the left, v from the bottom) of a world point: the field
    of view of 90 degrees is horizontal, so y is scaled by the aspect ratio too."""
    depth = z - CAMERA[2]
    return (x / depth + 1.0) / 2.0, (y / depth * ASPECT + 1.0) / 2.0


def rect(corners):
    us = [u for u, _ in corners]
    vs = [v for _, v in corners]
    return min(us), max(us), min(vs), max(vs)


def occluder_rect():
    cx, cy, cz = OCCLUDER_CENTRE
    return rect([picture(cx + dx, cy + dy, cz) for dx in (-OCCLUDER_HALF, OCCLUDER_HALF)
                 for dy in (-OCCLUDER_HALF, OCCLUDER_HALF)])


def shadow_rect():
    """The occluder's corners projected from the light onto the wall (z = 0), seen by the camera."""
    cx, cy, cz = OCCLUDER_CENTRE
    lx, ly, lz = LIGHT
    t = (0.0 - lz) / (cz - lz)
    corners = []
    for dx in (-OCCLUDER_HALF, OCCLUDER_HALF):
        for dy in (-OCCLUDER_HALF, OCCLUDER_HALF):
            corners.append(picture(lx + t * (cx + dx - lx), ly + t * (cy + dy - ly), 0.0))
    return rect(corners)


def inner(r, fraction=0.15):
    """Points a fraction in from each edge of a rectangle, and its middle."""
    u0, u1, v0, v1 = r
    du, dv = (u1 - u0) * fraction, (v1 - v0) * fraction
    return [((u0 + u1) / 2, (v0 + v1) / 2), (u0 + du, v0 + dv), (u1 - du, v1 - dv), (u0 + du, v1 - dv),
            (u1 - du, v0 + dv)]


def outside(r, shot):
    """Points 6 pixels outside the middle of each edge."""
    u0, u1, v0, v1 = r
    mu, mv = 6.0 / shot.width, 6.0 / shot.picture_height
    cu, cv = (u0 + u1) / 2, (v0 + v1) / 2
    return [(u0 - mu, cv), (u1 + mu, cv), (cu, v0 - mv), (cu, v1 + mv)]


class GBuffer3D(DemoRun, e2e.BrivetTestCase):
    demo = os.path.join(HERE, "shadow3d")

    def expect(self, shot, points, colour, what):
        for u, v in points:
            rgb = tuple(shot.at(u, v))
            self.assertTrue(near(rgb, colour), f"{what}: {rgb} at ({u:.3f}, {v:.3f}), expected {colour}")

    def test_shadow_falls_where_the_geometry_puts_it_until_the_light_stops_casting(self):
        self.stage(SECONDS)
        shots = self.play(SECONDS)
        occluder, shadow = occluder_rect(), shadow_rect()
        wall_left, _ = picture(-WALL_HALF[0], 0.0, 0.0)
        wall_right, _ = picture(WALL_HALF[0], 0.0, 0.0)
        # Wall away from both, on each side.
        clear_wall = [(0.2, 0.5), (0.3, 0.2), (0.35, 0.8), (0.45, 0.1), (0.86, 0.5), (0.75, 0.15)]

        when, shot = self.nearest(shots, CASTING, 2.0)
        label = f"casting, at {when:.2f} s"
        self.expect(shot, clear_wall, WALL, f"lit wall {label}")
        self.expect(shot, inner(occluder), OCCLUDER, f"occluder {label}")
        self.expect(shot, inner(shadow), SHADOWED, f"shadow {label}")
        self.expect(shot, outside(shadow, shot), WALL, f"around the shadow {label}")
        for u in (wall_left - 0.02, wall_right + 0.02):
            self.assertTrue(black(tuple(shot.at(u, 0.5))), f"beside the wall {label}")
        self.assertTrue(shot.bars_black(), f"the picture is not letterboxed {label}")

        when, shot = self.nearest(shots, NOT_CASTING, 2.0)
        label = f"not casting, at {when:.2f} s"
        self.expect(shot, clear_wall, WALL, f"wall {label}")
        self.expect(shot, inner(occluder), OCCLUDER, f"occluder {label}")
        self.expect(shot, inner(shadow) + outside(shadow, shot), WALL, f"where the shadow was {label}")

    def test_layer_format_that_is_no_format_ends_the_load(self):
        self.stage(4.0, edit=lambda text: text.replace(
            '<layer name="texPosition" format="R32G32B32A32_FLOAT"/>',
            '<layer name="texPosition" format="NOPE"/>'))
        result = self.run_brivet(timeout=60.0, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        chain = ["[gbuffer] Layer 'texPosition' has no colour format: 'NOPE'",
                 "[effect] Failed to create dynamic resource 'gbuffer'", "Failed to load node: 'renderer'",
                 "[demo] Failed to load Compositing", "Demo load failed"]
        for line in chain:
            self.assertIn(line, box, result)
        self.assertEqual([box.index(line) for line in chain], sorted(box.index(line) for line in chain), box)

    def test_colour_depth_format_warns_and_the_demo_plays(self):
        colour_depth = ('<gbuffer shadowSize="512">', '<gbuffer shadowSize="512" depthFormat="R8G8B8A8_UNORM">')
        seconds = 4.0
        self.stage(seconds, edit=lambda text: text.replace(*colour_depth))
        shots = self.play(seconds)
        when, shot = self.nearest(shots, 2.0, 1.5)
        label = f"without a depth buffer, at {when:.2f} s"
        self.expect(shot, [(0.2, 0.5), (0.86, 0.5)], WALL, f"wall {label}")
        self.expect(shot, inner(occluder_rect()), OCCLUDER, f"occluder {label}")

        # The warning is logged while the node loads: a later node that fails shows it.
        broken = '<node id="17" type="effect" name="broken"><effect type="Blur2D"/></node>'
        self.stage(seconds, edit=lambda text: text.replace(*colour_depth).replace(
            '<node id="20" type="output"', broken + '<node id="20" type="output"'))
        result = self.run_brivet(timeout=60.0, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0].replace("\r\n", "\n").split("\n")
        warning = "[gbuffer] 'R8G8B8A8_UNORM' is not a depth format; the G-buffer has no depth buffer"
        self.assertIn(warning, box, result)
        self.assertLess(box.index(warning), box.index("Failed to load node: 'broken'"), box)


if __name__ == "__main__":
    e2e.main()
