#!/usr/bin/env bash
# The main job, headless: the built-in driver unit written to a unit file and its data sheet,
# then the two example projects beside harlox-cli (a closed and a bass reflex box) opened
# with their data sheets, curve files and pictures of their diagrams.
set -euo pipefail
cli=$1
out=$2
examples="$(dirname "$cli")/examples"
mkdir -p "$out"

echo "== Built-in driver unit -> $out/builtin.unt"
"$cli" unit default "$out/builtin.unt"
"$cli" unit show "$out/builtin.unt"

# One example project: data sheet, the four curves as text and as PNG pictures.
show_project() {
    local name=$1
    echo
    echo "== $examples/$name.box -> $out/$name-*.frd, .zma, .png"
    "$cli" open "$examples/$name.box" --datasheet \
        --export spl="$out/$name-spl.frd" \
        --export impedance="$out/$name-impedance.zma" \
        --export excursion="$out/$name-excursion.frd" \
        --export groupdelay="$out/$name-groupdelay.frd" \
        --plot spl="$out/$name-spl.png" \
        --plot impedance="$out/$name-impedance.png" \
        --plot excursion="$out/$name-excursion.png" \
        --plot groupdelay="$out/$name-groupdelay.png"
}

show_project closed     # the built-in unit in a 20-litre closed box
show_project bassreflex # the same unit in a 40-litre bass reflex box tuned to 35 Hz
