"""The cube renderer end to end: the demo of tests/e2e/cube3d (six planes two units out
along the six axes, each in its own colour, merged and drawn by CubeRenderer3D into the faces of a
cube around the origin, shown by a Layer2D in six tiles that sample the cube along the six
axes) played under Wine. The upper half of each tile shows its face's plane; the lower half
looks towards a corner of the face, where nothing stands."""

import os
import shutil

import e2e
from test_example import Screenshot
import test_renderer3d
from test_renderer3d import LOADING_SHADER, black, near
from test_startup import make_ogg

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "cube3d")

SECONDS = 6.0
# The planes' colours in the cube's face order (+x, -x, +y, -y, +z, -z): entry i of the
# chunk in colour i + 1 read as three bits.
COLOURS = [(255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255)]


def tile(face):
    """Picture coordinates (u, v from the bottom) of the centres of the upper and the lower
    half of the face's tile: three tiles across, faces 0 to 2 in the top row."""
    column, row = face % 3, face // 3
    u = (column + 0.5) / 3.0
    top = 1.0 - row * 0.5
    return (u, top - 0.125), (u, top - 0.375)


class CubeRenderer3D(e2e.BrivetTestCase):
    play = test_renderer3d.Renderer3D.play  # screenshots through the run, timed by the music's start

    def stage(self, seconds, edit=None):
        source = os.path.join(self.scratch, "cube3d")
        shutil.copytree(DEMO, source)
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        make_ogg(os.path.join(source, "music.ogg"), seconds)
        e2e.pack(source, os.path.join(self.workdir, "cube3d.vqz"))

    def test_each_tile_shows_its_face(self):
        self.stage(SECONDS)
        shots = self.play(SECONDS)
        checked = 0
        for when, length, path in shots:
            if not (1.0 < when < SECONDS - 1.0) or length >= 1.0:
                continue
            shot = Screenshot(path)
            label = f"{os.path.basename(path)} at {when:.2f} s"
            for face, colour in enumerate(COLOURS):
                (u, v), (cu, cv) = tile(face)
                # A few points around the middle of the upper half: the plane's colour.
                for du, dv in [(0.0, 0.0), (-0.05, 0.03), (0.05, -0.03)]:
                    rgb = tuple(shot.at(u + du, v + dv))
                    self.assertTrue(near(rgb, colour), f"face {face} {label}: {rgb} at ({u + du:.3f}, {v + dv:.3f})")
                rgb = tuple(shot.at(cu, cv))
                self.assertTrue(black(rgb), f"corner of face {face} {label}: {rgb} at ({cu:.3f}, {cv:.3f})")
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed {label}")
            checked += 1
        self.assertGreaterEqual(checked, 2, f"too few screenshots during the demo: {shots}")


if __name__ == "__main__":
    e2e.main()
