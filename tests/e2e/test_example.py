"""The example demo end to end: "Tides", packed from examples/tides with its music
synthesised, played under Wine from the start-up dialog to its end. The music reaches
the null sink whole, and the picture follows the description: the sun stands where
its spline puts it at the moments of two screenshots, and the picture fades in."""

import os
import re
import shutil
import struct
import subprocess
import threading
import time
import wave
import xml.etree.ElementTree as ElementTree

import e2e

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
EXAMPLE = os.path.join(REPO, "examples", "tides")
MUSIC_SECONDS = 16.0
HORIZON = 0.45  # the sky and sea layers' "fHorizon"


# -- the description's splines (the easing of each key towards the next) ------------
EASE = {
    "hold": lambda f, k: 0.0,
    "linear": lambda f, k: f,
    "speedup": lambda f, k: f ** k,
    "slowdown": lambda f, k: 1.0 - (1.0 - f) ** k,
    "smoothstep": lambda f, k: (3.0 - 2.0 * f) * f * f,
}


def spline(description, node_name, parameter):
    """[(start, length, [(time, interpolation, factor, [values])])] of one parameter."""
    root = ElementTree.parse(description).getroot()
    for node in root.iter("node"):
        if node.get("name") != node_name:
            continue
        for element in node.iter("parameter"):
            if element.get("name") != parameter:
                continue
            clips = []
            for clip in element.find("value").findall("clip"):
                keys = [(float(k.get("time", "0")), (k.get("interpolation") or "linear").lower(),
                         float(k.get("factor", "1")), [float(v) for v in k.get("value").split(";")])
                        for k in clip.findall("key")]
                clips.append((float(clip.get("start", "0")), float(clip.get("length", "1")), keys))
            return clips
    raise KeyError(f"{node_name}/{parameter} not in {description}")


def evaluate(clips, t):
    """The value at t of the first clip that covers it (its keys in time order)."""
    for start, length, keys in clips:
        if not start <= t < start + length:
            continue
        local = t - start
        if local <= keys[0][0]:
            return keys[0][3]
        for (t0, kind, factor, v0), (t1, _, _, v1) in zip(keys, keys[1:]):
            if t0 <= local < t1:
                e = EASE.get(kind, EASE["linear"])((local - t0) / (t1 - t0), factor)
                return [a + (b - a) * e for a, b in zip(v0, v1)]
        return keys[-1][3]
    return None


# -- sound -------------------------------------------------------------------------
def read_wav(path):
    """(rate, channels, raw 16-bit frames) of a WAV recording."""
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2, "16-bit recording expected"
        return w.getframerate(), w.getnchannels(), w.readframes(w.getnframes())


def loud_span(path, window=0.05, threshold=0.003):
    """(first, last) second of the recording whose 50 ms windows are above the threshold
    (root mean square, fraction of full scale), and the level over that span."""
    rate, channels, frames = read_wav(path)
    samples = struct.unpack(f"<{len(frames) // 2}h", frames)
    step = int(rate * window) * channels
    levels = []
    for i in range(0, len(samples) - step + 1, step):
        chunk = samples[i:i + step]
        levels.append((sum(s * s for s in chunk) / len(chunk)) ** 0.5 / 32768.0)
    loud = [i for i, level in enumerate(levels) if level > threshold]
    if not loud:
        return None, None, 0.0
    span = levels[loud[0]:loud[-1] + 1]
    rms = (sum(level * level for level in span) / len(span)) ** 0.5
    return loud[0] * window, (loud[-1] + 1) * window, rms


def underruns(path, start, end):
    """[(second, length)] of the output's underruns between start and end: runs of two
    or more frames of exact digital silence in every channel, which music this loud never
    holds. Under load Wine's and PulseAudio's output inserts them; the music, and the
    demo's clock (its play position) with it, resumes where it stopped."""
    rate, channels, frames = read_wav(path)
    size = 2 * channels
    gaps = []
    silence = re.compile(rb"\x00{%d,}" % (2 * size))
    for run in silence.finditer(frames, int(start * rate) * size, int(end * rate) * size):
        first, last = -(-run.start() // size), run.end() // size  # the whole frames of the run
        if last - first >= 2:
            gaps.append((first / rate, (last - first) / rate))
    return gaps


def music_time(gaps, start, t):
    """Seconds of music heard by run second t when it began at start: the demo's time."""
    return t - start - sum(min(length, t - at) for at, length in gaps if at < t)


def check_music_heard(test, result, seconds):
    """Asserts that the run's recording holds the whole music of that length, once and
    not silent: the loud span less the underruns. Returns (start, gaps) by which the
    run's seconds give the demo's time (music_time)."""
    test.assertIsNotNone(result.audio_wav, result)
    start, end, level = loud_span(result.audio_wav)
    test.assertIsNotNone(start, "the recording is silent")
    test.assertGreater(level, 0.03, "the recording is nearly silent")
    gaps = underruns(result.audio_wav, start, end)
    heard = music_time(gaps, start, end)
    played = (start, end, f"{heard:.2f} s heard, {len(gaps)} underruns")
    test.assertGreater(heard, seconds - 1.5, played)
    test.assertLess(heard, seconds + 1.0, played)
    return start, gaps


# -- pictures ----------------------------------------------------------------------
class Screenshot:
    """The demo's 16:9 picture in a full-screen screenshot (binary PPM), letterboxed."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        fields = data.split(maxsplit=4)
        if fields[0] != b"P6" or fields[3] != b"255":
            raise AssertionError(f"{path} is not an 8-bit PPM")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.rgb = fields[4]
        self.picture_height = self.width * 9 // 16
        self.top = (self.height - self.picture_height) // 2

    def pixel(self, x, y):
        offset = (y * self.width + x) * 3
        return self.rgb[offset:offset + 3]

    def at(self, u, v):
        """Pixel at picture coordinates: u from the left, v from the bottom, both 0 to 1."""
        x = min(self.width - 1, int(u * self.width))
        y = min(self.height - 1, self.top + int((1.0 - v) * self.picture_height))
        return self.pixel(x, y)

    def bars_black(self):
        rows = [self.top // 2, self.top + self.picture_height + self.top // 2]
        return all(max(self.pixel(x, y)) <= 8 for y in rows for x in range(0, self.width, 37))

    def mean_brightness(self):
        values = [sum(self.at(u / 40.0, v / 40.0)) / 3.0 for u in range(40) for v in range(40)]
        return sum(values) / len(values)

    def sun(self):
        """(u, v) centre of the brightest part of the sky above the horizon."""
        samples = []
        for j in range(0, self.picture_height, 2):
            v = 1.0 - j / self.picture_height
            if v < HORIZON + 0.06:
                continue
            for x in range(0, self.width, 2):
                samples.append((sum(self.pixel(x, self.top + j)), x / self.width, v))
        peak = max(s[0] for s in samples)
        bright = [(u, v) for level, u, v in samples if level >= peak - 6]
        return sum(u for u, _ in bright) / len(bright), sum(v for _, v in bright) / len(bright)


class Shooter(threading.Thread):
    """Screenshots of the display every half second of the run, each with the moment it
    was grabbed (the middle of the capture), uncompressed so that a busy machine takes
    them quickly; a capture that runs late moves the next one on."""

    def __init__(self, folder, seconds, every=0.5):
        super().__init__(daemon=True)
        self.folder, self.seconds, self.every = folder, seconds, every
        self.shots = []  # (run seconds, capture seconds, path)
        self.stop = threading.Event()
        self.start_time = time.monotonic()

    def run(self):
        due = 0.3
        while not self.stop.is_set() and due < self.seconds:
            wait = self.start_time + due - time.monotonic()
            if wait > 0 and self.stop.wait(wait):
                break
            path = os.path.join(self.folder, f"shot-{len(self.shots):03d}.ppm")
            before = time.monotonic()
            done = subprocess.run(["import", "-window", "root", "-depth", "8", f"ppm:{path}"],
                                  stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
            after = time.monotonic()
            if done.returncode == 0 and os.path.exists(path):
                self.shots.append(((before + after) / 2 - self.start_time, after - before, path))
            due = max(due + self.every, after - self.start_time)


class Example(e2e.BrivetTestCase):
    def stage(self):
        source = os.path.join(self.scratch, "tides")
        shutil.copytree(os.path.join(EXAMPLE, "data"), source)
        subprocess.run([os.path.join(EXAMPLE, "make-music.sh"), os.path.join(source, "music.ogg")], check=True)
        e2e.pack(source, os.path.join(self.workdir, "tides.vqz"))
        return os.path.join(source, "brivet.xml")

    def test_tides_plays_to_the_end_with_its_music_and_its_animation(self):
        description = self.stage()
        shooter = Shooter(self.out_dir, 60.0)
        shooter.start()
        try:
            result = self.run_brivet(timeout=120, answer_dialog="Return", record_audio=True)
        finally:
            shooter.stop.set()
            shooter.join()
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual(result.boxes, [], result)
        self.assertLess(result.elapsed, 90.0, result)

        start, gaps = check_music_heard(self, result, MUSIC_SECONDS)

        # The demo clock is the music: a screenshot's demo time is the music heard before
        # it in the recording, which started with the run.
        timed = [(music_time(gaps, start, when), length, path) for when, length, path in shooter.shots]

        def nearest(t, tolerance):
            when, length, path = min(timed, key=lambda shot: abs(shot[0] - t) + shot[1])
            self.assertLess(abs(when - t), tolerance, f"no screenshot near {t} s of the demo: {timed}")
            self.assertLess(length, 1.0, f"the screenshot near {t} s took {length:.2f} s")
            return when, Screenshot(path)

        # Clear of the high clouds and of the strongest vignette, the sun's brightest
        # part is centred on the disc.
        sun_spline = spline(description, "sky", "v2SunPosition")
        for t in (5.5, 10.0):
            when, shot = nearest(t, 1.0)
            self.assertTrue(shot.bars_black(), f"the picture is not letterboxed full screen at {when:.2f} s")
            expected = evaluate(sun_spline, when)
            u, v = shot.sun()
            self.assertAlmostEqual(u, expected[0], delta=0.04, msg=f"sun across at {when:.2f} s")
            self.assertAlmostEqual(v, expected[1], delta=0.05, msg=f"sun height at {when:.2f} s")

        # It fades in from the night: a frame of the first second is far darker.
        _, early = nearest(0.5, 0.5)
        _, later = nearest(6.0, 1.0)
        self.assertLess(early.mean_brightness(), later.mean_brightness() * 0.35)


if __name__ == "__main__":
    e2e.main()
