#!/usr/bin/env python3
"""Records PulseAudio's null sink while TonePlayer plays a sine clip under Wine and
checks that the recording holds that sine: its length, as much of it as the backend's
clock says it played, its frequency and level in both channels, its purity and an even
phase (no stale, skipped or garbled stretch). Runs inside tools/with-wine; --recording
FILE (with --played FRAMES) analyses a raw s16le stereo recording made earlier instead."""
import argparse
import array
import math
import os
import re
import subprocess
import sys
import tempfile
import time

RATE = 44100
BLOCK = RATE // 100  # 10 ms


# The raw recording, kept beside the test when it fails (for --recording).
recording = {"bytes": None, "path": None}


def fail(message):
    print("FAIL: " + message)
    if recording["bytes"] and recording["path"]:
        with open(recording["path"], "wb") as kept:
            kept.write(recording["bytes"])
        print("recording kept in " + os.path.abspath(recording["path"]))
    sys.exit(1)


def record(args):
    sink = os.environ.get("BRIVET_PULSE_SINK")
    if not sink:
        fail("BRIVET_PULSE_SINK is not set: run the tests inside tools/with-wine")
    with tempfile.TemporaryFile() as raw:
        recorder = subprocess.Popen(
            ["parec", "-d", sink + ".monitor", "--raw", "--format=s16le", "--rate=%d" % RATE,
             "--channels=2", "--latency-msec=20"], stdout=raw)
        try:
            time.sleep(0.5)
            player = subprocess.run(
                [args.wine, args.player, args.clip, str(args.seconds), args.output],
                capture_output=True, text=True, timeout=120)
            sys.stdout.write(player.stdout)
            sys.stdout.write(player.stderr)
            if player.returncode != 0:
                fail("TonePlayer exited with %d" % player.returncode)
            played = re.search(r"played (\d+) frames", player.stdout)
            if not played:
                fail("TonePlayer did not say how much it played")
            time.sleep(0.5)
        finally:
            recorder.terminate()
            recorder.wait(timeout=10)
        raw.seek(0)
        recording["bytes"] = raw.read()
        recording["path"] = "tone-recording-%s.raw" % args.output
        samples = array.array("h")
        samples.frombytes(recording["bytes"])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples[0::2], samples[1::2], int(played.group(1))


def rms(values):
    return math.sqrt(sum(v * v for v in values) / len(values)) if values else 0.0


def segments_between_gaps(left, right, begin, end):
    """Splits [begin, end) at runs of exact digital silence in both channels: the
    underruns of Wine's and PulseAudio's own pipeline under load, which nothing
    upstream of them writes (a sine this loud never holds 0 for two frames). Returns
    the pieces (trimmed near each gap) and the silent frame count."""
    pieces, silent = [], 0
    margin = RATE // 50
    start = i = begin
    while i < end:
        if left[i] == 0 and right[i] == 0:
            j = i
            while j < end and left[j] == 0 and right[j] == 0:
                j += 1
            if j - i >= 2:
                pieces.append((start, i - margin))
                silent += j - i
                start = j + margin
            i = j
        else:
            i += 1
    pieces.append((start, end))
    return [(a, b) for a, b in pieces if b - a >= RATE // 10], silent


def zero_crossings(values):
    """Rising zero crossings, interpolated: (count, first, last) in frames."""
    first = last = None
    count = 0
    for i in range(1, len(values)):
        a, b = values[i - 1], values[i]
        if a < 0 <= b:
            t = i - 1 + (-a) / (b - a)
            if first is None:
                first = t
            last = t
            count += 1
    return count, first, last


def goertzel(values, frequency, offset=0):
    """Amplitude and phase of a sine of that frequency in values."""
    w = 2.0 * math.pi * frequency / RATE
    c = s = 0.0
    for i, v in enumerate(values):
        c += v * math.cos(w * (offset + i))
        s += v * math.sin(w * (offset + i))
    n = len(values)
    return 2.0 * math.hypot(c, s) / n, math.atan2(s, c)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine")
    parser.add_argument("--player")
    parser.add_argument("--clip")
    parser.add_argument("--output", choices=["float", "short"], default="float")
    parser.add_argument("--recording")
    parser.add_argument("--played", type=int, help="frames the player played, with --recording")
    parser.add_argument("--seconds", type=float, default=3.0)
    parser.add_argument("--frequency", type=float, required=True)
    parser.add_argument("--amplitude", type=float, required=True, help="of full scale")
    args = parser.parse_args()

    if args.recording:
        samples = array.array("h")
        with open(args.recording, "rb") as raw:
            samples.frombytes(raw.read())
        left, right, played = samples[0::2], samples[1::2], args.played
    else:
        left, right, played = record(args)
    print("recorded %.2f s" % (len(left) / RATE))

    # Where the tone is: 10-ms blocks clearly above silence.
    threshold = 0.1 * args.amplitude * 32768
    loud = [i for i in range(0, len(left) - BLOCK, BLOCK) if rms(left[i:i + BLOCK]) > threshold]
    if not loud:
        fail("the recording is silent")
    begin, end = loud[0], loud[-1] + BLOCK
    heard = (end - begin) / RATE
    print("tone heard for %.2f s" % heard)
    if heard < args.seconds - 0.5 or heard > args.seconds + 0.5:
        fail("the tone lasted %.2f s instead of about %.1f s" % (heard, args.seconds))

    # The tone heard beside the underruns against the backend's own clock, its play
    # position when stopped: an underrun holds both back, while silence the backend
    # writes itself, or a clock running without output, sets them apart.
    _, silent = segments_between_gaps(left, right, begin, end)
    tone = (end - begin - silent) / RATE
    print("%.3f s of tone beside %.3f s of underruns" % (tone, silent / RATE))
    if played is not None and abs(tone - played / RATE) > 0.2:
        fail("%.3f s of tone heard, but the clock played %.3f s" % (tone, played / RATE))

    # The steady middle, away from the start and stop transients, in pieces between
    # the output pipeline's own underruns.
    begin += RATE // 4
    end -= RATE // 4
    pieces, silent = segments_between_gaps(left, right, begin, end)
    print("%d piece(s), %.3f s of underrun silence" % (len(pieces), silent / RATE))
    if not pieces:
        fail("no stretch of the tone is free of underruns")

    expected_db = 20.0 * math.log10(args.amplitude / math.sqrt(2.0))
    for name, channel in (("left", left), ("right", right)):
        # Frequency from the zero crossings of every piece.
        periods = frames = 0.0
        for a, b in pieces:
            count, first, last = zero_crossings(channel[a:b])
            if count >= 2:
                periods += count - 1
                frames += last - first
        frequency = periods * RATE / frames if frames else 0.0
        heard = [v for a, b in pieces for v in channel[a:b]]
        level_db = 20.0 * math.log10(max(rms(heard), 1e-9) / 32768.0)
        print("%s: %.3f Hz, %.2f dBFS (expected %.2f)" % (name, frequency, level_db, expected_db))
        if abs(frequency - args.frequency) > 0.005 * args.frequency:
            fail("%s channel: %.3f Hz instead of %.3f Hz" % (name, frequency, args.frequency))
        if abs(level_db - expected_db) > 1.0:
            fail("%s channel: %.2f dBFS instead of %.2f dBFS" % (name, level_db, expected_db))

        for a, b in pieces:
            part = channel[a:b]
            # One sine throughout: its share of the power, every 10-ms block at the
            # level of the whole, and a phase that advances evenly from block to block
            # (a stale or skipped stretch of the ring shifts it).
            amplitude, _ = goertzel(part, frequency)
            share = (amplitude * amplitude / 2.0) / (rms(part) ** 2)
            if share < 0.95:
                fail("%s channel at %.3f s: only %.4f of the power is the tone" % (name, a / RATE, share))
            whole = rms(part)
            phases = []
            for i in range(0, len(part) - BLOCK, BLOCK):
                block = part[i:i + BLOCK]
                block_db = 20.0 * math.log10(max(rms(block), 1e-9) / whole)
                if abs(block_db) > 1.0:
                    fail("%s channel: the 10-ms block at %.3f s is %.1f dB off" % (name, (a + i) / RATE, block_db))
                phases.append(goertzel(block, frequency, a + i)[1])
            for i in range(1, len(phases)):
                step = (phases[i] - phases[i - 1] + math.pi) % (2.0 * math.pi) - math.pi
                if abs(step) > 0.1:
                    fail("%s channel: the phase jumps by %.2f rad at %.3f s" % (name, step, (a + i * BLOCK) / RATE))
    print("PASS")


if __name__ == "__main__":
    main()
