"""Deferred lighting end to end: the demo of tests/e2e/lighting3d (a white plane made by
Shape3D, a Camera3D, an AmbientLight3D and a PointLight3D of radius 3 between the camera
and the plane, merged by Merge3D and drawn by RendererGBuffer3D into a two-layer
G-buffer, lit by GBufferLighting2D with an "ambient" and a "point" pass) played under
Wine. While the point light is on, a pixel of the plane within its radius shows the
ambient light plus the light's colour times its attenuation at the pixel's distance, a
pixel beyond the radius the ambient light alone; once "Enabled" turns off only the
ambient light remains. With the camera inside the light's sphere the pixels are still
lit."""

import math
import os

import e2e
from test_renderer3d import DemoRun, black, near

HERE = os.path.dirname(os.path.abspath(__file__))

SECONDS = 12.0
ASPECT = 16.0 / 9.0
ALBEDO = 1.0  # the plane's "v4Colour"
AMBIENT = (0.2, 0.2, 0.2)
LIGHT = (0.0, 0.0, -1.0)
LIGHT_COLOUR = (0.6, 0.4, 0.2)
ATTENUATION = (1.0, 0.5, 0.0)  # constant, linear, quadratic
RADIUS = 3.0
PLANE_HALF_WIDTH = 4.0
ON, OFF = 3.0, 9.0  # demo seconds in each half of the run


def lit(point):
    """8-bit colour of a point of the plane: the ambient light, plus the point light's
    colour times its attenuation where the point lies within the light's radius."""
    d = math.dist(point, LIGHT)
    a = 1.0 / (ATTENUATION[0] + ATTENUATION[1] * d + ATTENUATION[2] * d * d) if d <= RADIUS else 0.0
    return tuple(round(255 * min(1.0, ALBEDO * (ambient + colour * a)))
                 for ambient, colour in zip(AMBIENT, LIGHT_COLOUR))


def ambient_only():
    return tuple(round(255 * ALBEDO * c) for c in AMBIENT)


def picture(point, camera_z):
    """Picture coordinates (u from the left, v from the bottom) of a world point: the field
    of view of 90 degrees is horizontal, so y is scaled by the aspect ratio too."""
    x, y, z = point
    depth = z - camera_z
    return (x / depth + 1.0) / 2.0, (y / depth * ASPECT + 1.0) / 2.0


class Lighting3D(DemoRun, e2e.BrivetTestCase):
    demo = os.path.join(HERE, "lighting3d")

    def check(self, camera_z, points):
        """Plays the staged demo and compares each plane point's pixel with the light on
        and off; beside the plane the picture is black."""
        shots = self.play(SECONDS)
        for t, light_on in ((ON, True), (OFF, False)):
            when, shot = self.nearest(shots, t, 2.0)
            label = f"light {'on' if light_on else 'off'}, camera at z = {camera_z}, at {when:.2f} s"
            for point in points:
                u, v = picture(point, camera_z)
                rgb = tuple(shot.at(u, v))
                expected = lit(point) if light_on else ambient_only()
                self.assertTrue(near(rgb, expected, tolerance=4),
                                f"{label}: {rgb} at {point} ({u:.3f}, {v:.3f}), expected {expected}")
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed {label}")
            if -camera_z > PLANE_HALF_WIDTH:
                edge, _ = picture((PLANE_HALF_WIDTH, 0.0, 0.0), camera_z)
                self.assertTrue(black(tuple(shot.at(edge + 0.02, 0.5))), f"beside the plane {label}")

    def test_point_light_adds_its_attenuated_colour_within_its_radius_until_it_is_disabled(self):
        self.stage(SECONDS)
        # The centre, a point within the radius, and points beyond it on each side.
        points = [(0.0, 0.0, 0.0), (2.0, 0.0, 0.0), (-1.0, 1.5, 0.0), (3.5, 0.0, 0.0), (-3.5, 0.0, 0.0)]
        self.assertNotEqual(lit(points[3]), lit(points[1]))
        self.assertEqual(lit(points[3]), ambient_only())
        self.check(-5.0, points)

    def test_camera_inside_the_light_sphere_still_lights_the_plane(self):
        camera_z = -3.5  # 2.5 from the light, within its radius of 3
        self.assertLess(abs(camera_z - LIGHT[2]), RADIUS)
        self.stage(SECONDS, edit=lambda text: text.replace(
            '<constant value="0; 0; -5"/>', f'<constant value="0; 0; {camera_z}"/>'))
        self.check(camera_z, [(0.0, 0.0, 0.0), (2.0, 0.0, 0.0), (0.0, -1.2, 0.0), (3.3, 0.0, 0.0)])


if __name__ == "__main__":
    e2e.main()
