"""Particles end to end: the demo of tests/e2e/particles3d (a plane drawn by
RendererGBuffer3D into a G-buffer, nine particles of Particle3D drawn over it through its
camera and against its depth) played under Wine. The six particles in front of the plane
stand where the G-buffer's camera puts them; the three behind it are hidden."""

import os
import shutil

import e2e
import test_renderer3d
from test_example import Screenshot
from test_renderer3d import LOADING_SHADER, black, near
from test_startup import make_ogg

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "particles3d")

SECONDS = 6.0
COLOUR = (255, 128, 0)  # "v4Colour" 1; 0.5; 0
ASPECT = 16.0 / 9.0
CAMERA_Z = -5.0


def particle(column, row):
    """Picture rectangle (u0, u1, v0, v1) of a particle, v from the bottom: the shader's
    grid seen by the camera at (0, 0, -5) with a horizontal field of view of 90 degrees."""
    x, y = (column - 1) * 0.6, (row - 1) * 0.6
    depth = (1.0 if row == 2 else -1.0) - CAMERA_Z
    u = lambda wx: (wx / depth + 1.0) / 2.0
    v = lambda wy: (wy * ASPECT / depth + 1.0) / 2.0
    return u(x - 0.15), u(x + 0.15), v(y - 0.15), v(y + 0.15)


class Particle3D(e2e.BrivetTestCase):
    play = test_renderer3d.Renderer3D.play  # screenshots through the run, timed by the music's start

    def test_particles_before_the_plane_show_and_those_behind_it_do_not(self):
        source = os.path.join(self.scratch, "particles3d")
        shutil.copytree(DEMO, source)
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        make_ogg(os.path.join(source, "music.ogg"), SECONDS)
        e2e.pack(source, os.path.join(self.workdir, "particles3d.vqz"))
        shots = self.play(SECONDS)

        checked = 0
        for when, length, path in shots:
            if not (1.0 < when < SECONDS - 1.0) or length >= 1.0:
                continue
            shot = Screenshot(path)
            label = f"{os.path.basename(path)} at {when:.2f} s"
            rects = [particle(c, r) for r in range(3) for c in range(3)]
            for index, (u0, u1, v0, v1) in enumerate(rects):
                row, column = divmod(index, 3)
                du, dv = (u1 - u0) * 0.2, (v1 - v0) * 0.2
                for u, v in [((u0 + u1) / 2, (v0 + v1) / 2), (u0 + du, v0 + dv), (u1 - du, v1 - dv)]:
                    rgb = tuple(shot.at(u, v))
                    if row < 2:
                        self.assertTrue(near(rgb, COLOUR), f"particle {column}, {row} {label}: {rgb} at ({u:.3f}, {v:.3f})")
                    else:
                        self.assertTrue(black(rgb), f"hidden particle {column}, {row} {label}: {rgb} at ({u:.3f}, {v:.3f})")
            # Between and around the particles nothing is drawn.
            for i in range(1, 24):
                for j in range(1, 14):
                    u, v = i / 24.0, j / 14.0
                    if any(u0 - 0.01 <= u <= u1 + 0.01 and v0 - 0.01 <= v <= v1 + 0.01 for u0, u1, v0, v1 in rects):
                        continue
                    rgb = tuple(shot.at(u, v))
                    self.assertTrue(black(rgb), f"{label}: {rgb} at ({u:.2f}, {v:.2f})")
            checked += 1
        self.assertGreaterEqual(checked, 2, f"too few screenshots during the demo: {shots}")


if __name__ == "__main__":
    e2e.main()
