#!/usr/bin/env bash
# make-music.sh OUT.ogg: synthesises the 16-second score of "Tides" with sox and
# encodes it with oggenc. Two seconds per bar at 120 beats per minute, one
# chord every two bars (Am, F, C, G):
#   0-4 s   pad and surf;          4-8 s  an arpeggio joins, a soft beat on every bar;
#   8-12 s  bass and a beat on every second;  12-16 s  the pad alone, fading out.
# The surf swells once every four seconds, as the tide on screen does.
# The noise is generated with sox's fixed seed (-R): the file is the same every run.
set -euo pipefail

out=${1:?usage: make-music.sh OUT.ogg}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
synth() { sox -R -n -r 44100 "$@"; }

# Chord tones of the pad (the fourth voice doubles the root a little sharp, for
# a slow beating), their arpeggio an octave up, and the bass roots.
pads=("220 261.63 329.63 220.88" "174.61 220 261.63 175.31" "196 261.63 329.63 196.78" "196 246.94 293.66 196.78")
arps=("440 523.25 659.26 880" "349.23 440 523.25 698.46" "392 523.25 659.26 783.99" "392 493.88 587.33 783.99")
roots=(110 87.31 130.81 98)

# Pad: four triangles per chord, slow attack and release, 4 s each.
chains=()
for chord in "${pads[@]}"; do
  read -r a b c d <<<"$chord"
  chains+=(synth 4 triangle "$a" triangle "$b" triangle "$c" triangle "$d" fade q 0.8 4 1.2 :)
done
unset 'chains[${#chains[@]}-1]'
synth -c 4 "$work/pad4.wav" "${chains[@]}"
sox "$work/pad4.wav" "$work/pad.wav" remix - lowpass 2000

# Arpeggio: plucked eighths up and down the chord, 4-12 s.
chains=()
for bar in 2 3 4 5; do             # two bars per chord: F, F, C, C
  read -r n0 n1 n2 n3 <<<"${arps[$(( bar / 2 ))]}"
  for n in $n0 $n1 $n2 $n3 $n2 $n1 $n0 $n1; do
    chains+=(synth 0.25 pluck "$n" fade q 0.005 0.25 0.2 :)
  done
done
unset 'chains[${#chains[@]}-1]'
synth -c 1 "$work/arp0.wav" "${chains[@]}"
sox "$work/arp0.wav" "$work/arp.wav" lowpass 3500 echo 0.8 0.7 250 0.35 pad 4

# Bass: the root on every beat, 8-12 s.
chains=()
for chord in 2 3; do
  for _ in 1 2 3 4; do
    chains+=(synth 0.5 pluck "${roots[$chord]}" fade q 0.01 0.5 0.3 :)
  done
done
unset 'chains[${#chains[@]}-1]'
synth -c 1 "$work/bass0.wav" "${chains[@]}"
sox "$work/bass0.wav" "$work/bass.wav" lowpass 500 pad 8

# Beat: a falling sine thump on every bar from 4 s, on every second from 8 s to 12 s.
synth -c 1 "$work/thump.wav" synth 0.35 sine 90-40 fade q 0.003 0.35 0.3
sox "$work/thump.wav" "$work/bar.wav" pad 0 1.65
sox "$work/thump.wav" "$work/second.wav" pad 0 0.65
sox "$work/bar.wav" "$work/bar.wav" "$work/second.wav" "$work/second.wav" "$work/second.wav" \
  "$work/second.wav" "$work/beat0.wav"
sox "$work/beat0.wav" "$work/beat.wav" pad 4

# Surf: low noise swelling once every four seconds.
synth -c 1 "$work/surf0.wav" synth 4 brownnoise lowpass 900 fade q 1.3 4 2.7
sox "$work/surf0.wav" "$work/surf.wav" repeat 3

# Mix at low gain (nothing clips before the level is set), a little room,
# stereo, the last two and a half seconds fading out, peaks at -3 dB.
sox -m -v 0.3 "$work/pad.wav" -v 0.25 "$work/arp.wav" -v 0.35 "$work/bass.wav" -v 0.3 "$work/beat.wav" \
  -v 0.25 "$work/surf.wav" "$work/mix.wav"
sox -V1 "$work/mix.wav" -b 16 -c 2 "$work/music.wav" reverb 40 50 80 trim 0 16 fade q 0 16 2.5 gain -n -3
oggenc -Q -q 4 -o "$out" "$work/music.wav"
