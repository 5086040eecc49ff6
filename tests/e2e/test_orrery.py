"""The 3D example demo end to end: "Orrery", staged from examples/orrery (its models written
by make-models.py, its music synthesised by make-music.sh, DejaVu Serif beside them) and
packed, played under Wine from the start-up dialog to its end (exit 0, no box, the whole
music heard). Its description instantiates every registered effect and resource type.

The demo's clock is the music, so screenshots are timed by the music heard before them
(as for "Tides"). The moments checked by pixels are the ones the demo keeps flat:
  1.2-2.1 s    the title "ORRERY" in its own colour (1, 0.86, 0.62) on black: the hall is
               still faded out, so nothing else lights a pixel;
  8-40 s       the lit hall, the camera moving round it: far brighter than the title frame
               and never a flat picture;
  34.5-38.5 s  the beam from above, the camera looking down on it: a warm white middle
               between dark corners;
  46-48 s      the credits, two lines in (0.85, 0.9, 1) on black.
What the hall shows between them (BRIVET_E2E_KEEP=1 keeps the screenshots):
  0-8 s    the title typed, then erased; the hall fades in under the spot light's beam,
           its shadows and the fog of LayerGBuffer2D; the orrery (Scene3D, glTF) on the
           floor of tiles (Shape3D, PNG texture); the armillary rings (ProceduralGeometry3D)
  8-16 s   the orrery's animation runs, the lantern (PointLight3D with a shadow cube,
           Transform3D) lights and circles the hall, sparks (Particle3D from the globe's
           vertices by MeshToShaderResource) rise; columns by Duplicate3D
  16-32 s  the camera shakes on every bar (CameraShake); the asteroid belt grows
           (Instancer3D placed by a ComputedBuffer); the neon tube (AreaTubeLight3D)
           sweeps from magenta to cyan, the teal orb (AreaSphereLight3D) pulses; the
           camera zooms (CameraMod) on the chrome globe, which reflects the hall
           (CubeRenderer3D) with the comet ribbon (ComputedGeometry3D, Renderer3D) round it
  32-40 s  the beam brightens, the camera cranes up over the shadows (SpotLight3D,
           DirectionalLight3D moonlight, AmbientLight3D); bloom by Layer2D throughout
  40-48 s  the hall fades out under the credits (TextPlane3D)."""

import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import e2e
from test_example import Screenshot, Shooter, check_music_heard, music_time

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
EXAMPLE = os.path.join(REPO, "examples", "orrery")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"
MUSIC_SECONDS = 48.0

TITLE_COLOUR = (255, 219, 158)  # v4TextColour 1; 0.86; 0.62
TITLE_BOX = (0.30, 0.70, 0.47, 0.64)  # u0, u1, v0, v1 around the title's letters
CREDITS_COLOUR = (217, 230, 255)  # v4TextColour 0.85; 0.9; 1
CREDITS_BOX = (0.06, 0.94, 0.35, 0.60)

# What an effect node outputs, for the resource types that no file names.
OUTPUT_TYPES = {"RendererGBuffer3D": "gbuffer", "CubeRenderer3D": "cubetexture", "Merge3D": "RenderChunk",
                "MeshToShaderResource": "shaderresource", "ComputedBuffer": "buffer", "Layer2D": "texture"}


def registered_types():
    """(effect type names, resource type names) of the factories that the repository
    registers, read from its sources: each factory row of RegisterRepository.cpp and the
    name that factory gives."""
    with open(os.path.join(REPO, "repository", "RegisterRepository.cpp")) as f:
        source = f.read()

    def names(table, folder):
        rows = re.search(table + r"\[\] = \{(.*?)\};", source, re.S).group(1)
        found = []
        for factory in re.findall(r"&(\w+)::instance", rows):
            with open(os.path.join(REPO, "repository", folder, factory + ".cpp")) as f:
                found.append(re.search(r'StaticString<64>\("([^"]+)"\)', f.read()).group(1))
        return found

    return names("effectFactories", "Effects"), names("resourceFactories", "Resources")


def pixels_of(shot, colour, box, tolerance=6):
    """(inside, outside): pixels of about that colour inside the box and elsewhere, and the
    brightest channel of any pixel outside the box, over every second row and column."""
    u0, u1, v0, v1 = box
    inside = outside = brightest = 0
    for j in range(0, shot.picture_height, 2):
        v = 1.0 - j / shot.picture_height
        for x in range(0, shot.width, 2):
            u = x / shot.width
            pixel = shot.pixel(x, shot.top + j)
            within = u0 <= u <= u1 and v0 <= v <= v1
            if all(abs(a - b) <= tolerance for a, b in zip(pixel, colour)):
                if within:
                    inside += 1
                else:
                    outside += 1
            if not within:
                brightest = max(brightest, max(pixel))
    return inside, outside, brightest


def region_mean(shot, box):
    """Mean (r, g, b) over 11 x 11 points of the box (u0, u1, v0, v1)."""
    u0, u1, v0, v1 = box
    points = [shot.at(u0 + (u1 - u0) * i / 10.0, v0 + (v1 - v0) * j / 10.0) for i in range(11) for j in range(11)]
    return [sum(p[k] for p in points) / len(points) for k in range(3)]


class Orrery(e2e.BrivetTestCase):
    def stage(self):
        source = os.path.join(self.scratch, "orrery")
        shutil.copytree(os.path.join(EXAMPLE, "data"), source)
        subprocess.run([sys.executable, os.path.join(EXAMPLE, "make-models.py"), source], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run([os.path.join(EXAMPLE, "make-music.sh"), os.path.join(source, "music.ogg")], check=True)
        os.makedirs(os.path.join(source, "fonts"))
        shutil.copy(FONT, os.path.join(source, "fonts"))
        e2e.pack(source, os.path.join(self.workdir, "orrery.vqz"))
        return os.path.join(source, "brivet.xml")

    def test_description_instantiates_every_registered_type(self):
        effects, resources = registered_types()
        self.assertEqual(len(effects), 27, effects)
        self.assertEqual(len(resources), 10, resources)
        root = ElementTree.parse(os.path.join(EXAMPLE, "data", "brivet.xml")).getroot()
        used_effects = {e.get("type") for e in root.iter("effect")}
        used_resources = {f.get("type") for f in root.iter("file")}
        used_resources |= {OUTPUT_TYPES[t] for t in used_effects if t in OUTPUT_TYPES}
        self.assertEqual(set(effects) - used_effects, set(), "effect types the demo lacks")
        self.assertEqual(set(resources) - used_resources, set(), "resource types the demo lacks")
        self.assertEqual(used_effects - set(effects), set(), "effect types nobody registers")

    def test_orrery_plays_to_the_end_with_its_music_title_hall_and_credits(self):
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest("needs the fuller HLSL compiler: its shaders call functions, sin and cos "
                          "and run compute passes, which Wine's own (BRIVET_HLSL=wine) does not compile")
        self.stage()
        shooter = Shooter(self.out_dir, 80.0)
        shooter.start()
        try:
            result = self.run_brivet(timeout=150, answer_dialog="Return", record_audio=True)
        finally:
            shooter.stop.set()
            shooter.join()
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        start, gaps = check_music_heard(self, result, MUSIC_SECONDS)
        timed = [(music_time(gaps, start, when), length, path) for when, length, path in shooter.shots]

        def shots_between(t0, t1):
            found = [(when, Screenshot(path)) for when, length, path in timed if t0 <= when <= t1 and length < 1.0]
            self.assertTrue(found, f"no screenshot between {t0} and {t1} s of the demo: {timed}")
            return found

        # The title on black: its colour inside its box, nothing lit outside it.
        title_brightness = []
        for when, shot in shots_between(1.2, 2.0):
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed full screen at {when:.2f} s")
            inside, outside, brightest = pixels_of(shot, TITLE_COLOUR, TITLE_BOX)
            self.assertGreater(inside, 500, f"the title is missing at {when:.2f} s")
            self.assertEqual(outside, 0, f"title colour outside the title at {when:.2f} s")
            self.assertLessEqual(brightest, 8, f"the hall shows before it fades in at {when:.2f} s")
            title_brightness.append(shot.mean_brightness())

        # The lit hall: far brighter than the title frame and a picture, not a flat colour.
        for when, shot in shots_between(8.0, 40.0)[::4]:
            brightness = shot.mean_brightness()
            self.assertGreater(brightness, max(title_brightness) + 25.0, f"the hall is dark at {when:.2f} s")
            levels = [sum(shot.at(u / 20.0, v / 20.0)) for u in range(1, 20) for v in range(1, 20)]
            self.assertGreater(max(levels) - min(levels), 150, f"a flat picture at {when:.2f} s")

        # The beam from above while the camera looks down on the orrery: the spot light's
        # pool, its beam through the air and their bloom make the middle a warm white,
        # the corners of the hall stay dark.
        for when, shot in shots_between(34.5, 38.5):
            middle, corner = region_mean(shot, (0.42, 0.58, 0.45, 0.65)), region_mean(shot, (0.02, 0.15, 0.02, 0.2))
            self.assertGreater(min(middle), 190, f"no beam at {when:.2f} s: {middle}")
            self.assertGreater(middle[0], middle[2] + 10, f"the beam is not warm at {when:.2f} s: {middle}")
            self.assertLess(max(corner), 90, f"the hall's corner is lit at {when:.2f} s: {corner}")

        # The credits on black after the hall faded out (at 45.5 s; a frame begun before then
        # can stay on screen for a slow frame's time after it).
        for when, shot in shots_between(46.5, 47.9):
            inside, outside, brightest = pixels_of(shot, CREDITS_COLOUR, CREDITS_BOX)
            self.assertGreater(inside, 1000, f"the credits are missing at {when:.2f} s")
            self.assertEqual(outside, 0, f"credits colour outside the credits at {when:.2f} s")
            self.assertLessEqual(brightest, 8, f"the hall still shows at {when:.2f} s")


if __name__ == "__main__":
    e2e.main()
