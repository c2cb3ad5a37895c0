#!/usr/bin/env bash
# The main job, headless: the built-in driver unit written to a unit file and its data sheet.
set -euo pipefail
cli=$1
out=$2
mkdir -p "$out"

echo "== Built-in driver unit -> $out/builtin.unt"
"$cli" unit default "$out/builtin.unt"
"$cli" unit show "$out/builtin.unt"
