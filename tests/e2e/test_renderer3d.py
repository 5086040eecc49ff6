"""The 3D path end to end: the demo of tests/e2e/plane3d (a Shape3D plane with a listed
colour, moved by Transform3D, repeated by Duplicate3D, seen through a Camera3D merged in
by Merge3D, its field of view changed by CameraMod, drawn by Renderer3D) played under
Wine. In each half of the run the three copies stand where the projection puts them, the
field-of-view offset of the second half makes them larger by the predicted factor, and
nothing else is drawn. A Camera3D that is never enabled leaves every frame black."""

import math
import os
import shutil

import e2e
from test_example import Screenshot, Shooter, loud_span, music_time, underruns
from test_startup import make_ogg

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
DEMO = os.path.join(HERE, "plane3d")
# The loading screen in the HLSL that Wine's own compiler accepts.
LOADING_SHADER = os.path.join(REPO, "examples", "tides", "data", "shaders", "loading.fx")

SECONDS = 12.0
COLOUR = (51, 204, 102)  # "v4Colour" 0.2; 0.8; 0.4 as 8-bit channels
ASPECT = 16.0 / 9.0
CAMERA_Z = -5.0
HALF_SIZE = 0.5  # the plane's "Scale" 0.5 of its two-by-two square
STEP_X = 1.5  # Duplicate3D's "Position"
# Each half of the run: (demo seconds at its middle, Transform3D position, field of view).
HALVES = [
    (3.0, (-1.5, 0.5), 90.0),
    (9.0, (-1.0, -0.4), 60.0),
]


def copies(position, fov):
    """Picture rectangles (u0, u1, v0, v1) of the three copies: u from the left and v from
    the bottom, 0 to 1. The field of view is horizontal; y is scaled by the aspect too."""
    x_scale = 1.0 / math.tan(math.radians(fov) / 2.0)
    y_scale = x_scale * ASPECT
    depth = 0.0 - CAMERA_Z
    rects = []
    for k in range(3):
        cx, cy = position[0] + k * STEP_X, position[1]
        u0 = ((cx - HALF_SIZE) / depth * x_scale + 1.0) / 2.0
        u1 = ((cx + HALF_SIZE) / depth * x_scale + 1.0) / 2.0
        v0 = ((cy - HALF_SIZE) / depth * y_scale + 1.0) / 2.0
        v1 = ((cy + HALF_SIZE) / depth * y_scale + 1.0) / 2.0
        rects.append((u0, u1, v0, v1))
    return rects


def near(rgb, expected, tolerance=8):
    return all(abs(a - b) <= tolerance for a, b in zip(rgb, expected))


def black(rgb):
    return max(rgb) <= 8


class DemoRun:
    """Staging and playing a demo folder of tests/e2e (the class attribute demo) with
    screenshots; mixed into an e2e.BrivetTestCase."""

    demo = DEMO

    def stage(self, seconds, edit=None):
        """Packs the demo with music of the given length; edit(text) may change the description."""
        name = os.path.basename(self.demo)
        source = os.path.join(self.scratch, name)
        shutil.rmtree(source, ignore_errors=True)  # staged again with another edit
        shutil.copytree(self.demo, source)
        shutil.copy(LOADING_SHADER, os.path.join(source, "shaders", "loading.fx"))
        make_ogg(os.path.join(source, "music.ogg"), seconds)
        if edit:
            path = os.path.join(source, "brivet.xml")
            with open(path, encoding="utf-8") as f:
                text = f.read()
            edited = edit(text)
            self.assertNotEqual(edited, text, "the edit changed nothing")
            with open(path, "w", encoding="utf-8") as f:
                f.write(edited)
        e2e.pack(source, os.path.join(self.workdir, name + ".vqz"))

    def play(self, seconds):
        """Runs the staged demo with screenshots every half second; returns the shots as
        (demo seconds, capture seconds, path), timed by the music heard before them."""
        shooter = Shooter(self.out_dir, seconds + 30.0)
        shooter.start()
        try:
            result = self.run_brivet(timeout=seconds + 60.0, answer_dialog="Return", record_audio=True)
        finally:
            shooter.stop.set()
            shooter.join()
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        self.assertIsNotNone(result.audio_wav, result)
        start, end, _ = loud_span(result.audio_wav)
        self.assertIsNotNone(start, "the recording is silent")
        gaps = underruns(result.audio_wav, start, end)
        self.assertGreater(music_time(gaps, start, end), seconds - 1.0, (start, end, len(gaps)))
        return [(music_time(gaps, start, when), length, path) for when, length, path in shooter.shots]

    def nearest(self, shots, t, tolerance):
        when, length, path = min(shots, key=lambda shot: abs(shot[0] - t) + shot[1])
        self.assertLess(abs(when - t), tolerance, f"no screenshot near {t} s of the demo: {shots}")
        self.assertLess(length, 1.0, f"the screenshot near {t} s took {length:.2f} s")
        return when, Screenshot(path)


class Renderer3D(DemoRun, e2e.BrivetTestCase):
    def test_planes_stand_where_the_projection_puts_them(self):
        self.stage(SECONDS)
        shots = self.play(SECONDS)

        widths = []
        for middle, position, fov in HALVES:
            when, shot = self.nearest(shots, middle, 2.0)
            rects = copies(position, fov)
            label = f"at {when:.2f} s"
            for k, (u0, u1, v0, v1) in enumerate(rects):
                # Inside, a little in from each edge: the colour.
                du, dv = (u1 - u0) * 0.1, (v1 - v0) * 0.1
                inside = [((u0 + u1) / 2, (v0 + v1) / 2), (u0 + du, v0 + dv), (u1 - du, v1 - dv),
                          (u0 + du, v1 - dv), (u1 - du, v0 + dv)]
                for u, v in inside:
                    rgb = tuple(shot.at(u, v))
                    self.assertTrue(near(rgb, COLOUR), f"copy {k} {label}: {rgb} at ({u:.3f}, {v:.3f})")
                # Just outside each edge: black.
                mu, mv = 6.0 / shot.width, 6.0 / shot.picture_height
                cu, cv = (u0 + u1) / 2, (v0 + v1) / 2
                for u, v in [(u0 - mu, cv), (u1 + mu, cv), (cu, v0 - mv), (cu, v1 + mv)]:
                    rgb = tuple(shot.at(u, v))
                    self.assertTrue(black(rgb), f"outside copy {k} {label}: {rgb} at ({u:.3f}, {v:.3f})")
            # Away from the planes the picture is black: a grid of points outside every copy.
            for i in range(1, 20):
                for j in range(1, 12):
                    u, v = i / 20.0, j / 12.0
                    if any(u0 - 0.01 <= u <= u1 + 0.01 and v0 - 0.01 <= v <= v1 + 0.01
                           for u0, u1, v0, v1 in rects):
                        continue
                    rgb = tuple(shot.at(u, v))
                    self.assertTrue(black(rgb), f"{label}: {rgb} at ({u:.2f}, {v:.2f})")
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed {label}")

            # The middle copy's measured width along its middle row, in pixels.
            u0, u1, v0, v1 = rects[1]
            y = shot.top + int((1.0 - (v0 + v1) / 2) * shot.picture_height)
            run = [x for x in range(shot.width) if near(tuple(shot.pixel(x, y)), COLOUR)
                   and u0 - 0.05 <= x / shot.width <= u1 + 0.05]
            widths.append(len(run))

        # CameraMod's offset of -30 degrees: cot(30°) / cot(45°) times as wide.
        predicted = math.tan(math.radians(45.0)) / math.tan(math.radians(30.0))
        self.assertAlmostEqual(widths[1] / widths[0], predicted, delta=0.03, msg=f"widths {widths}")

    def test_camera_never_enabled_gives_black_frames(self):
        seconds = 4.0
        self.stage(seconds, edit=lambda text: text.replace(
            '<parameter name="Enabled"><value type="constant"><constant value="true"/></value></parameter>', ""))
        shots = self.play(seconds)
        during = [path for when, length, path in shots if 0.5 < when < seconds - 0.5 and length < 1.0]
        self.assertTrue(during, f"no screenshot during the demo: {shots}")
        for path in during:
            shot = Screenshot(path)
            for i in range(1, 40):
                for j in range(1, 20):
                    rgb = tuple(shot.at(i / 40.0, j / 20.0))
                    self.assertTrue(black(rgb), f"{os.path.basename(path)}: {rgb} at ({i / 40.0}, {j / 20.0})")


if __name__ == "__main__":
    e2e.main()
