#!/bin/sh
# Makes the audio test clips in OUTDIR with Debian's sox, oggenc (vorbis-tools) and lame.
# All are 44100 Hz stereo; sine amplitudes are fractions of full scale.
set -eu
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

wav() { # name seconds sox-synth-arguments...
  name=$1 seconds=$2
  shift 2
  sox -n -r 44100 -c 2 -b 16 "$tmp/$name.wav" synth "$seconds" "$@"
}

# Renderer tests: two tones with different left and right channels, and a short one.
wav a 1.0 sine 440 sine 550 vol 0.5
wav b 0.5 sine 660 sine 770 vol 0.5
wav c 0.25 sine 880 vol 0.5
oggenc -Q --serial 1 -q 2 -o "$out/a.ogg" "$tmp/a.wav"
lame --quiet -b 128 "$tmp/b.wav" "$out/b.mp3"
oggenc -Q --serial 2 -q 2 -o "$out/c.ogg" "$tmp/c.wav"

# Playback test: 1000.25 Hz at half of full scale in both channels, 6 s. The two
# seconds of the output ring hold 2000.5 periods, so a stale ring shows as a phase jump.
wav tone 6.0 sine 1000.25 vol 0.5
oggenc -Q --serial 3 -q 6 -o "$out/tone.ogg" "$tmp/tone.wav"
lame --quiet -b 192 "$tmp/tone.wav" "$out/tone.mp3"
