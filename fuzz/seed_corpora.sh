#!/usr/bin/env bash
# Fills one seed corpus folder per fuzz target from the example projects, the real
# measurement files and the regression inputs; with harlox-cli at hand it also writes a
# project of every type and variant, a unit file and WAV/FLAC files.
# Usage: fuzz/seed_corpora.sh CORPUS_DIR [HARLOX_CLI]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: seed_corpora.sh CORPUS_DIR [HARLOX_CLI]}"
cli="${2:-}"
shared="$root/../shared/data"

targets=()
for src in "$root"/fuzz/fuzz_*.cpp; do
    name="${src##*/fuzz_}"
    [ "$name" = entries.cpp ] || targets+=("${name%.cpp}")
done
for t in "${targets[@]}"; do mkdir -p "$out/$t"; done

# Copies the files matching the globs (those that exist) into a target's corpus.
seed() {
    local target="$1"; shift
    local f
    for f in "$@"; do
        [ -f "$f" ] && cp -f "$f" "$out/$target/"
    done
    return 0
}

shopt -s nullglob
for t in "${targets[@]}"; do seed "$t" "$root"/tests/data/fuzz/"$t"/*; done

examples="$root/examples"
[ -n "$cli" ] && examples="$(dirname "$(dirname "$(dirname "$cli")")")/examples"
seed unit_file "$examples"/*.unt "$root"/tests/data/*.unt
seed box_project "$examples"/*.box "$root"/tests/data/*.box
seed filter_project "$examples"/*.flt "$root"/tests/data/*.flt
seed snapshot "$root"/tests/data/*.snp
# The first 8 kB of each curve: the rest of its lines are like these and only slow the fuzzer.
for f in "$shared"/measured/* "$examples"/measured/* "$root"/tests/data/*.{frd,zma,txt,gdt,fmp,fm}; do
    [ -f "$f" ] && head -c 8192 "$f" > "$out/measured_curve/$(basename "$f")"
done

# The box projects carry the measurement setup record after their type code, version and 16
# spare bytes.
for f in "$examples"/*.box; do
    dd if="$f" of="$out/measure_setup/$(basename "$f" .box).prf" bs=1 skip=22 count=51 status=none
done
# A snapshot file is 40585 bytes: version 100, 20 .. 2000 Hz, range 30, the rest empty.
{
    printf '\144\000\024\000\000\000\320\007\000\000\036\000\000\000'
    head -c $((40585 - 14)) /dev/zero
} > "$out/snapshot/empty.snp"
# A window rectangle 10,20 - 810,620 and the notice flag.
printf '\012\000\000\000\024\000\000\000\052\003\000\000\154\002\000\000\001' > "$out/app_config/window.cfg"
head -c 4096 /dev/urandom > "$out/raw_pcm/noise.pcm"
# Driver tables: a leading 'c' reads the rest as CSV, 'j' as JSON.
for f in "$root"/examples/drivers/*.csv "$shared"/drivers/akustik/*.csv; do
    [ -f "$f" ] && { printf 'c'; head -c 8192 "$f"; } > "$out/driver_library/$(basename "$f")"
done
for f in $(ls "$shared"/drivers/boxdex/*/*.json 2>/dev/null | head -5) "$shared"/drivers/boxed/"DaytonAudio DCS255-4.json"; do
    [ -f "$f" ] && { printf 'j'; cat "$f"; } > "$out/driver_library/$(basename "$f" | tr ' ' '_')"
done

if [ -n "$cli" ] && [ -x "$cli" ]; then
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    "$cli" unit default "$out/unit_file/default.unt" >/dev/null
    for v in simple2 simple3 passive1 passive2 passive3 passive4 active1 active2 active3 active4; do
        "$cli" filter new "$v" --save "$out/filter_project/new-$v.flt" >/dev/null
    done
    for b in closed bassreflex dt1 dt2 abr bp1 bp2 bp3 bp4 reflexbp; do
        unit2=(); [ "$b" = reflexbp ] && unit2=(--unit2 "$out/unit_file/default.unt")
        "$cli" box "$b" --unit "$out/unit_file/default.unt" "${unit2[@]}" --save "$out/box_project/new-$b.box" >/dev/null
    done
    for f in "$examples"/*.box "$examples"/*.flt; do
        "$cli" open "$f" --dump "$out/project_text/$(basename "$f").json" >/dev/null 2>&1 || true
    done
    if [ -f "$examples/passive2.flt" ]; then
        head -c 2048 /dev/urandom > "$work/in.pcm"
        "$cli" filter open "$examples/passive2.flt" --music "$work/in.pcm" "$out/wav_file/music.wav" >/dev/null 2>&1
        "$cli" filter open "$examples/passive2.flt" --music "$work/in.pcm" "$out/flac_file/music.flac" >/dev/null 2>&1
    fi
fi
for t in "${targets[@]}"; do
    printf '%-16s %4d seeds\n' "$t" "$(find "$out/$t" -type f | wc -l)"
done
