#!/usr/bin/env bash
# Builds the wheel of the Python package vxfreq from a built tree, offline, with
# Debian's python3-build, setuptools and wheel:
#   scripts/build-wheel.sh [BUILD_DIR [OUT_DIR]]     (default: build/release dist)
# The tree is installed into a scratch prefix; the package folder, with libvxfreq.so.0
# copied next to the compiled module (which finds it there through its RPATH $ORIGIN),
# becomes the wheel. PYTHON names the interpreter (default /usr/bin/python3, the one
# the module is built for).
set -euo pipefail
build=${1:-build/release}
out=${2:-dist}
python=${PYTHON:-/usr/bin/python3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install "$build" --prefix "$stage/prefix" >/dev/null
package=$(find "$stage/prefix" -type d -path '*/site-packages/vxfreq' | head -n 1)
library=$(find "$stage/prefix" -name 'libvxfreq.so.0' | head -n 1)
if [ -z "$package" ] || [ -z "$library" ]; then
  echo "build-wheel: $build has no Python package or no libvxfreq.so.0 to install" >&2
  exit 1
fi
mkdir "$stage/src"
cp -r "$package" "$stage/src/vxfreq"
cp -L "$library" "$stage/src/vxfreq/libvxfreq.so.0"
cp "$source_dir/python/packaging/pyproject.toml" "$source_dir/python/packaging/setup.py" \
  "$stage/src/"
mkdir -p "$out"
"$python" -m build --wheel --no-isolation --outdir "$out" "$stage/src" >"$stage/build.log" 2>&1 ||
  { cat "$stage/build.log" >&2; exit 1; }
ls "$out"/vxfreq-*.whl
