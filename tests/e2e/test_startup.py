"""Start-up of the real program under Wine: archive errors, the dialog, the
description and loading-shader failures, and a short demo played to its end."""

import os
import shutil
import struct
import subprocess
import wave

import e2e

# A loading bar in the HLSL subset Wine's own compiler handles (so that these
# cases pass with BRIVET_HLSL=wine too): the built-in bar's picture without any()
# and ?:, and without a return inside an if (which Wine's compiler gets wrong).
WINE_LOADING_SHADER = "\r\n".join([
    "cbuffer c { float fProgress; float2 v2Resolution; };",
    "struct VS_INPUT { float3 Pos : POSITION0; };",
    "struct VS_OUTPUT { float4 Pos : SV_POSITION; };",
    "VS_OUTPUT vs_main( VS_INPUT In ) { VS_OUTPUT Out; Out.Pos = float4( In.Pos, 1 ); return Out; }",
    "float4 ps_main( float4 Pos : SV_POSITION ) : SV_TARGET {",
    "  float2 uv = Pos.xy / v2Resolution;",
    "  uv = (uv - 0.5) * float2(3, 19);",
    "  float4 c = float4(0.3, 0.3, 0.3, 0.3);",
    "  if (uv.x * 0.5 + 0.5 < fProgress) c = float4(1, 1, 1, 1);",
    "  if (abs(uv.x) > 1) c = float4(0, 0, 0, 0);",
    "  if (abs(uv.y) > 1) c = float4(0, 0, 0, 0);",
    "  return c;",
    "}",
])

# A long "rhythm" section keeps the loading bar up while it is read (at least a
# second), so that screenshots can catch it.
LONG_RHYTHM = "<rhythm>" + '<change time="1" bpm="120" signature="4/4"/>' * 300000 + "</rhythm>"


def description(name="Startup test", loading_shader=None, clips=(), extra=""):
    attributes = f' name="{name}"'
    if loading_shader is not None:
        attributes += f' loadingShader="{loading_shader}"'
    clip_xml = "".join(f'<clip filename="{c}" position="0"/>' for c in clips)
    return f"<brivet><properties{attributes}>{clip_xml}</properties>{extra}</brivet>"


def make_ogg(path, seconds):
    """A 440 Hz tone at half of full scale, Ogg Vorbis, 44100 Hz stereo."""
    wav = path + ".wav"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds),
                    "sine", "440", "vol", "0.5"], check=True)
    subprocess.run(["oggenc", "-Q", "-q", "3", "-o", path, wav], check=True)
    os.remove(wav)


def wav_rms(path):
    """Root mean square of a 16-bit WAV's samples, as a fraction of full scale."""
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise AssertionError(f"unexpected sample width {w.getsampwidth()}")
        frames = w.readframes(w.getnframes())
    count = len(frames) // 2
    if count == 0:
        return 0.0
    samples = struct.unpack(f"<{count}h", frames[:count * 2])
    return (sum(s * s for s in samples) / count) ** 0.5 / 32768.0


def pixels(png, points):
    """RGB of each (x, y) of a screenshot, through ImageMagick."""
    done = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True, check=True)
    ident = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, text=True, check=True)
    width, height = (int(v) for v in ident.stdout.split())
    raw = done.stdout
    result = []
    for x, y in points:
        offset = (y * width + x) * 3
        result.append(tuple(raw[offset:offset + 3]))
    return width, height, result


class Startup(e2e.BrivetTestCase):
    def make_demo(self, files, archive="demo.vqz"):
        """Packs files ({entry name: text or bytes}) into the working folder's archive."""
        source = os.path.join(self.scratch, "source")
        shutil.rmtree(source, ignore_errors=True)
        for name, content in files.items():
            path = os.path.join(source, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            mode = "wb" if isinstance(content, bytes) else "w"
            with open(path, mode) as f:
                f.write(content)
        return e2e.pack(source, os.path.join(self.workdir, archive))

    def assert_box_has(self, result, *lines):
        self.assertEqual(len(result.boxes), 1, result)
        box_lines = result.boxes[0].replace("\r\n", "\n").split("\n")
        for line in lines:
            self.assertIn(line, box_lines, result)

    # -- the archive ------------------------------------------------------
    def test_unreadable_archive_file(self):
        # A folder matches "*.vqz" but cannot be opened as a file.
        os.makedirs(os.path.join(self.workdir, "broken.vqz"))
        result = self.run_brivet(timeout=60)
        self.assertEqual(result.exit_code, -4, result)
        self.assert_box_has(result, "Error opening file 'broken.vqz'")

    def test_damaged_archive(self):
        with open(os.path.join(self.workdir, "damaged.vqz"), "wb") as f:
            f.write(b"this is not an archive at all" * 10)
        result = self.run_brivet(timeout=60)
        self.assertEqual(result.exit_code, -5, result)
        self.assert_box_has(result, "Error opening archive 'damaged.vqz'")

    # -- the description and the dialog ----------------------------------
    def test_description_that_is_not_xml(self):
        self.make_demo({"brivet.xml": "this is not XML"})
        result = self.run_brivet(timeout=60)
        self.assertEqual(result.exit_code, -1, result)
        self.assert_box_has(result, "[demo] Failed to parse brivet.xml", "[demo] Failed to load XML",
                            "Demo preload failed")
        # Info lines never reach the box.
        self.assertNotIn("[demo] Preloading demo from archive...", result.boxes[0], result)
        self.assertFalse(result.dialog_answered)

    def test_cancelled_dialog_exits_minus_eight_without_a_box(self):
        self.make_demo({"brivet.xml": description(loading_shader="bar.fx"), "bar.fx": WINE_LOADING_SHADER})
        result = self.run_brivet(timeout=60, answer_dialog="Escape")
        self.assertTrue(result.dialog_answered, result)
        self.assertEqual(result.exit_code, -8, result)
        self.assertEqual(result.boxes, [], result)

    # -- the loading program ---------------------------------------------
    def test_loading_shader_entry_missing(self):
        self.make_demo({"brivet.xml": description(loading_shader="missing.fx")})
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assert_box_has(result, "Loading shader load failed (oh the irony)")

    def test_built_in_loading_bar_is_drawn_while_loading(self):
        # A description without "loadingShader" gets the program's own bar.
        if os.environ.get("BRIVET_HLSL") == "wine":
            self.skipTest("needs the fuller HLSL compiler: this run uses Wine's own (BRIVET_HLSL=wine), "
                          "which does not compile the built-in loading bar")
        make_ogg(os.path.join(self.scratch, "music.ogg"), 1)
        with open(os.path.join(self.scratch, "music.ogg"), "rb") as f:
            music = f.read()
        self.make_demo({"brivet.xml": description(clips=["music.ogg"], extra=LONG_RHYTHM), "music.ogg": music})
        result = self.run_brivet(timeout=90, answer_dialog="Return", screenshot_at=[0.3 + 0.1 * i for i in range(100)])
        self.assertTrue(result.dialog_answered, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        self.assertTrue(any(self.shows_bar(png) for png in result.screenshots),
                        f"no screenshot shows the loading bar: {result.screenshots}")

    # -- a demo played ---------------------------------------------------
    def test_short_demo_shows_the_bar_plays_the_music_and_ends(self):
        make_ogg(os.path.join(self.scratch, "music.ogg"), 4)
        with open(os.path.join(self.scratch, "music.ogg"), "rb") as f:
            music = f.read()
        self.make_demo({"brivet.xml": description(loading_shader="shaders/bar.fx", clips=["music.ogg"],
                                                  extra=LONG_RHYTHM),
                        "shaders/bar.fx": WINE_LOADING_SHADER, "music.ogg": music})
        shots = [0.3 + 0.1 * i for i in range(100)]
        result = self.run_brivet(timeout=90, answer_dialog="Return", record_audio=True, screenshot_at=shots)
        self.assertTrue(result.dialog_answered, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)

        # About four seconds of music after the start-up.
        self.assertGreater(result.elapsed, 4.0, result)
        self.assertLess(result.elapsed, 30.0, result)
        self.assertIsNotNone(result.audio_wav)
        self.assertGreater(wav_rms(result.audio_wav), 0.05, "the recording is silent")

        # Some screenshot shows the bar: grey (0.3) or white along its middle, black above it.
        self.assertTrue(any(self.shows_bar(png) for png in result.screenshots),
                        f"no screenshot shows the loading bar: {result.screenshots}")

    @staticmethod
    def shows_bar(png):
        ident = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, text=True)
        if ident.returncode != 0:
            return False
        width, height = (int(v) for v in ident.stdout.split())
        middle = height // 2
        bar = [(x, middle) for x in range(width // 6 + 20, 5 * width // 6 - 20, width // 16)]
        outside = [(width // 2, middle - height // 8), (width // 2, middle + height // 8), (width // 12, middle)]
        _, _, values = pixels(png, bar + outside)
        inside, around = values[:len(bar)], values[len(bar):]

        def grey(rgb):
            return all(abs(c - 77) <= 12 for c in rgb) or all(c >= 243 for c in rgb)

        return all(grey(v) for v in inside) and all(max(v) <= 8 for v in around)

    # -- compositing graphs ----------------------------------------------
    def test_graph_of_only_an_output_node_plays_the_music_over_black(self):
        make_ogg(os.path.join(self.scratch, "music.ogg"), 3)
        with open(os.path.join(self.scratch, "music.ogg"), "rb") as f:
            music = f.read()
        graph = ('<compositing><graph name="main"><node id="1" type="output" name="screen">'
                 '<output aspectRatio="16:9"/></node></graph></compositing>')
        self.make_demo({"brivet.xml": description(loading_shader="bar.fx", clips=["music.ogg"], extra=graph),
                        "bar.fx": WINE_LOADING_SHADER, "music.ogg": music})
        result = self.run_brivet(timeout=90, answer_dialog="Return", record_audio=True, screenshot_at=[3.5])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        self.assertGreater(result.elapsed, 3.0, result)
        self.assertLess(result.elapsed, 30.0, result)
        self.assertGreater(wav_rms(result.audio_wav), 0.05, "the recording is silent")
        for png in result.screenshots:
            _, _, values = pixels(png, [(320, 256), (640, 512), (960, 768)])
            self.assertTrue(all(max(v) <= 8 for v in values), f"{png} is not black: {values}")

    def test_unregistered_effect_type_fails_the_load(self):
        graph = ('<compositing><graph name="main">'
                 '<node id="1" type="effect" name="mystery"><effect type="NoSuchEffect2D"/></node>'
                 '<node id="2" type="output" name="screen"><output/></node>'
                 '<connection source="1" target="2"/></graph></compositing>')
        self.make_demo({"brivet.xml": description(loading_shader="bar.fx", extra=graph),
                        "bar.fx": WINE_LOADING_SHADER})
        result = self.run_brivet(timeout=90, answer_dialog="Return")
        self.assertEqual(result.exit_code, -1, result)
        self.assert_box_has(result, "[effect] Failed to instantiate effect: 'NoSuchEffect2D'",
                            "[effect] Failed to create effect: 'NoSuchEffect2D'",
                            "Failed to load node: 'mystery'", "[demo] Failed to load Compositing",
                            "Demo load failed")
        box = result.boxes[0]
        order = [box.index(line) for line in ("[effect] Failed to instantiate effect", "[effect] Failed to create effect",
                                              "Failed to load node", "[demo] Failed to load Compositing",
                                              "Demo load failed")]
        self.assertEqual(order, sorted(order), box)

    def test_escape_during_playback_exits_zero(self):
        # No music clip: the demo would run 60 seconds.
        self.make_demo({"brivet.xml": description(loading_shader="bar.fx"), "bar.fx": WINE_LOADING_SHADER})
        result = self.run_brivet(timeout=90, answer_dialog="Return", keys=[(8.0, "Escape", "^welkor demo suite$")])
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        self.assertLess(result.elapsed, 20.0, result)


if __name__ == "__main__":
    e2e.main()
