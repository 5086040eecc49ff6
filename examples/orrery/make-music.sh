#!/usr/bin/env bash
# make-music.sh OUT.ogg: synthesises the 48-second score of "Orrery" with sox and encodes
# it with oggenc. 120 beats per minute, two seconds per bar, one chord every two bars
# (Dm9, Bbmaj7, Gm7, A7), 24 bars:
#   0-8 s    pad and glass bells                   (the hall wakes, the title)
#   8-16 s   an arpeggio joins                     (the lantern lights, the orrery turns)
#   16-32 s  kick on every beat, bass, hats        (the orb pulses with the kick)
#   32-40 s  a lead melody and claps on 2 and 4    (the beam from above)
#   40-48 s  pad and bells again, fading out       (the credits)
# The noise is generated with sox's fixed seed (-R): the file is the same every run.
set -euo pipefail

out=${1:?usage: make-music.sh OUT.ogg}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
synth() { sox -R -n -r 44100 "$@"; }
calc() { awk "BEGIN { print $1 }"; }

# Four chords: pad voicings, arpeggio tones (an octave up) and bass roots.
pads=("146.83 174.61 220 329.63" "116.54 146.83 174.61 220" "98 116.54 146.83 174.61" "110 138.59 164.81 196")
arps=("293.66 349.23 440 659.26" "233.08 293.66 349.23 440" "196 233.08 293.66 349.23" "220 277.18 329.63 392")
roots=(73.42 58.27 49 55)

# Pad: four triangles and a sine an octave down per chord, 4 s each, 12 chords.
chains=()
for bar in $(seq 0 11); do
  read -r a b c d <<<"${pads[$(( bar % 4 ))]}"
  chains+=(synth 4 triangle "$a" triangle "$b" triangle "$c" triangle "$d" sine "$(calc "$a / 2")"
           fade q 0.6 4 1.0 :)
done
unset 'chains[${#chains[@]}-1]'
synth -c 5 "$work/pad5.wav" "${chains[@]}"
sox "$work/pad5.wav" "$work/pad.wav" remix - lowpass 1800

# Glass bells: two plucked notes a bar, with a long echo, in the first and last 8 s.
bells() {
  local from=$1 chains=() bar n0 n1
  for bar in 0 1 2 3; do
    read -r n0 _ n1 _ <<<"${arps[$(( (from / 2 + bar) / 2 % 4 ))]}"
    chains+=(synth 1 pluck "$(calc "$n1 * 2")" fade q 0.002 1 0.9 :
             synth 1 pluck "$(calc "$n0 * 4")" fade q 0.002 1 0.9 :)
  done
  unset 'chains[${#chains[@]}-1]'
  synth -c 1 "$2" "${chains[@]}"
}
bells 0 "$work/bells0.wav"
bells 40 "$work/bells1.wav"
sox "$work/bells0.wav" "$work/bells0e.wav" highpass 600 echo 0.8 0.7 500 0.45 750 0.25
sox "$work/bells1.wav" "$work/bells1e.wav" highpass 600 echo 0.8 0.7 500 0.45 750 0.25 pad 40
sox -m "$work/bells0e.wav" "$work/bells1e.wav" "$work/bells.wav"

# Arpeggio: plucked eighths up and down the chord, 8-40 s.
chains=()
for bar in $(seq 4 19); do
  read -r n0 n1 n2 n3 <<<"${arps[$(( bar / 2 % 4 ))]}"
  for n in $n0 $n1 $n2 $n3 $n2 $n1 $n0 $n1; do
    chains+=(synth 0.25 pluck "$n" fade q 0.004 0.25 0.2 :)
  done
done
unset 'chains[${#chains[@]}-1]'
synth -c 1 "$work/arp0.wav" "${chains[@]}"
sox "$work/arp0.wav" "$work/arp.wav" lowpass 3200 echo 0.8 0.7 375 0.3 pad 8

# Bass: the root on every eighth, 16-40 s.
chains=()
for bar in $(seq 8 19); do
  root=${roots[$(( bar / 2 % 4 ))]}
  for _ in 1 2 3 4 5 6 7 8; do
    chains+=(synth 0.25 square "$root" sine "$(calc "$root * 2")" fade q 0.005 0.25 0.15 :)
  done
done
unset 'chains[${#chains[@]}-1]'
synth -c 2 "$work/bass2.wav" "${chains[@]}"
sox "$work/bass2.wav" "$work/bass.wav" remix - lowpass 420 pad 16

# Kick on every beat and hats on the off-beats, 16-40 s; claps on beats 2 and 4, 32-40 s.
synth -c 1 "$work/kick1.wav" synth 0.3 sine 110-38 fade q 0.002 0.3 0.26 pad 0 0.2
sox "$work/kick1.wav" "$work/kicks.wav" repeat 47
synth -c 1 "$work/hat1.wav" synth 0.05 whitenoise highpass 7000 fade q 0.001 0.05 0.045 pad 0.25 0.2
sox "$work/hat1.wav" "$work/hats.wav" repeat 47
synth -c 1 "$work/clap1.wav" synth 0.14 whitenoise bandpass 1400 600 fade q 0.002 0.14 0.12 pad 0.5 0.36
sox "$work/clap1.wav" "$work/claps.wav" repeat 7
sox -m "$work/kicks.wav" -v 0.5 "$work/hats.wav" "$work/beat0.wav"
sox "$work/beat0.wav" "$work/beat.wav" pad 16
sox "$work/claps.wav" "$work/clap.wav" reverb 30 pad 32

# Lead: a four-note phrase a chord, soft sawtooth, 32-40 s.
lead=(440 349.23 587.33 523.25 587.33 523.25 466.16 440 466.16 440 392 349.23 329.63 392 440 440)
chains=()
for n in "${lead[@]}"; do
  chains+=(synth 0.5 sawtooth "$n" sine "$n" fade q 0.02 0.5 0.12 :)
done
unset 'chains[${#chains[@]}-1]'
synth -c 2 "$work/lead2.wav" "${chains[@]}"
sox "$work/lead2.wav" "$work/lead.wav" remix - lowpass 1600 echo 0.8 0.6 250 0.3 pad 32

# Mix at low gain, a little room, stereo, the last four seconds fading out, peaks at -3 dB.
sox -m -v 0.28 "$work/pad.wav" -v 0.22 "$work/bells.wav" -v 0.2 "$work/arp.wav" -v 0.3 "$work/bass.wav" \
  -v 0.42 "$work/beat.wav" -v 0.25 "$work/clap.wav" -v 0.16 "$work/lead.wav" "$work/mix.wav"
sox -V1 "$work/mix.wav" -b 16 -c 2 "$work/music.wav" reverb 35 50 70 trim 0 48 fade q 0 48 4 gain -n -3
oggenc -Q -q 4 -o "$out" "$work/music.wav"
