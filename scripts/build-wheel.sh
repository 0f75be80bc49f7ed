#!/usr/bin/env bash
# Builds the source distribution and the wheel of the Python package vxfreq, offline,
# with Debian's python3-build, setuptools and wheel:
#   scripts/build-wheel.sh [OUT_DIR]     (default: build/dist)
# `python3 -m build --no-isolation` on the source tree: the wheel is built from the
# source distribution by setup.py, which builds the library and the module with CMake
# (CMAKE_BUILD_PARALLEL_LEVEL sets the compile jobs, CMAKE_ARGS adds options). The
# wheel carries libvxfreq.so.0 next to the compiled module. PYTHON names the
# interpreter (default /usr/bin/python3, which has Debian's numpy and pybind11).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$source_dir/build/dist}
python=${PYTHON:-/usr/bin/python3}
mkdir -p "$out"
out=$(cd "$out" && pwd)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd "$source_dir" && "$python" -m build --no-isolation --outdir "$out" .) >"$log" 2>&1 ||
  { cat "$log" >&2; exit 1; }
ls "$out"/vxfreq-*.whl
