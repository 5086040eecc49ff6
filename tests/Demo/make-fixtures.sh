#!/bin/sh
# Makes the demo tests' music clip in OUTDIR: one second of a 440 Hz tone, Ogg Vorbis.
set -eu
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -c 2 -b 16 "$tmp/second.wav" synth 1.0 sine 440 vol 0.5
oggenc -Q --serial 7 -q 2 -o "$out/second.ogg" "$tmp/second.wav"
