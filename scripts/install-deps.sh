#!/usr/bin/env bash
# Installs the Debian packages Harlox needs to build and test. Idempotent: it only
# touches apt when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libfftw3-dev libcli11-dev libsndfile1-dev sox nlohmann-json3-dev
    qt6-base-dev qt6-svg-dev libgl-dev
    clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo=(sudo); else
        echo "install-deps: missing packages (${missing[*]}) and not root; install them and retry" >&2
        exit 1
    fi
fi

echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
