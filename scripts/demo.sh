#!/usr/bin/env bash
# The main job, headless: the built-in driver unit written to a unit file and its data sheet,
# then simulated in a closed and in a bass reflex box with their curves and data sheets.
set -euo pipefail
cli=$1
out=$2
mkdir -p "$out"

echo "== Built-in driver unit -> $out/builtin.unt"
"$cli" unit default "$out/builtin.unt"
"$cli" unit show "$out/builtin.unt"

echo
echo "== Built-in unit in a 20-litre closed box -> $out/closed-*.frd, .zma"
"$cli" box closed --set box.Vb=0.020 \
    --export spl="$out/closed-spl.frd" \
    --export impedance="$out/closed-impedance.zma" \
    --export excursion="$out/closed-excursion.frd" \
    --export groupdelay="$out/closed-groupdelay.frd" \
    --datasheet

echo "== Built-in unit in a 40-litre bass reflex box tuned to 35 Hz -> $out/bassreflex-*.frd, .zma"
"$cli" box bassreflex --set box.Vb=0.040 --set port.fb=35 \
    --export spl="$out/bassreflex-spl.frd" \
    --export impedance="$out/bassreflex-impedance.zma" \
    --export excursion="$out/bassreflex-excursion.frd" \
    --export groupdelay="$out/bassreflex-groupdelay.frd" \
    --export airspeed="$out/bassreflex-airspeed.frd" \
    --datasheet
