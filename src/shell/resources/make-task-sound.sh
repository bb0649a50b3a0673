#!/bin/sh
# Makes "task complete.wav": two soft sine notes (E5, then B5 a fifth above),
# each with a touch of its octave, half-sine fades and a short room tail.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -n -r 44100 -b 16 -c 1 "$tmp/n1.wav" synth 0.22 sine 659.25 sine 1318.5 \
    remix 1v0.85,2v0.15 fade h 0.01 0.22 0.16
sox -n -r 44100 -b 16 -c 1 "$tmp/n2.wav" synth 0.5 sine 987.77 sine 1975.5 \
    remix 1v0.85,2v0.15 fade h 0.01 0.5 0.42
sox "$tmp/n1.wav" "$tmp/n2.wav" "$tmp/mix.wav"
sox "$tmp/mix.wav" -r 44100 -b 16 -c 1 "task complete.wav" \
    vol 0.4 pad 0 0.35 reverb 30 50 70 fade t 0 1.07 0.3 norm -6
