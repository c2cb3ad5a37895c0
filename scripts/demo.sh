#!/usr/bin/env bash
# The main job, headless: the built-in driver unit written to a unit file and its data sheet,
# then the example projects beside harlox-cli (one per box type) opened with their data sheets,
# curve files and pictures of their diagrams, and the two example filter projects.
set -euo pipefail
cli=$1
out=$2
examples="$(dirname "$cli")/examples"
mkdir -p "$out"

echo "== Built-in driver unit -> $out/builtin.unt"
"$cli" unit default "$out/builtin.unt"
"$cli" unit show "$out/builtin.unt"

# The first two in full: data sheet, the four curves as text and as PNG pictures.
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

# The other types, kept short: data sheet, SPL plot, and the air speed plot where there are ports.
show_type() {
    local name=$1 ported=$2
    local extra=()
    [[ $ported == ported ]] && extra=(--plot airspeed="$out/$name-airspeed.png")
    echo
    echo "== $examples/$name.box -> $out/$name-spl.png${extra:+, $name-airspeed.png}"
    "$cli" open "$examples/$name.box" --datasheet --plot spl="$out/$name-spl.png" "${extra[@]}"
}

show_project closed          # the built-in unit in a 20-litre closed box
show_project bassreflex      # the same unit in a 40-litre bass reflex box tuned to 35 Hz
show_type dt1 ported         # double tuned 1: 30 l rear box vented into a 20 l front box
show_type dt2 ported         # double tuned 2: 35 l front box with a 15 l closed side chamber
show_type abr plain          # 30 l box with a passive radiator of 220 sq.cm
show_type bp1 ported         # bandpass 1: 20 l closed rear box, 15 l front box tuned to 70 Hz
show_type bp2 ported         # bandpass 2: two 20 l boxes, ports at 45 and 90 Hz
show_type bp3 ported         # bandpass 3: 25 l rear box at 40 Hz, 15 l front box at 80 Hz
show_type bp4 ported         # bandpass 4: two drivers, 30 l side boxes and a 20 l middle box
show_type reflexbp ported    # reflex bandpass: front and rear driver, 15 l and 30 l chambers

# The two filter projects on real measured curves: total SPL and impedance as curve files and
# pictures, the off-axis surface map and the schematic.
show_filter() {
    local name=$1 impedance=$2
    shift 2
    local extra=()
    [[ $impedance == passive ]] && extra=(--export impedance="$out/$name-impedance.zma"
                                          --plot impedance="$out/$name-impedance.png")
    local kind
    for kind in "$@"; do
        extra+=(--plot "$kind=$out/$name-${kind/:/}.svg")
    done
    echo
    echo "== $examples/$name.flt -> $out/$name-*.frd, .png, .svg"
    "$cli" filter open "$examples/$name.flt" \
        --export total="$out/$name-total.frd" \
        --plot total="$out/$name-total.png" \
        --plot surface="$out/$name-surface.png" \
        --plot overlay="$out/$name-overlay.png" \
        "${extra[@]}"
}

# Passive 2-way: 4" woofer and 1" tweeter at 2.5 kHz.
show_filter passive2 passive schematic
# Active 3-way: 10" woofer, 2" midrange and 1" tweeter at 300 Hz and 3 kHz, one schematic a net.
show_filter active3 active schematic:1 schematic:2 schematic:3
