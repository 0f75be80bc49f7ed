#!/usr/bin/env bash
# Builds the wheel of the Python package, installs it into a fresh venv (with the
# system's packages: numpy, pytest, Pillow, Dask) in a scratch folder, and runs the
# Python tests against the installed package, nothing of the build tree on the path:
#   scripts/test-wheel.sh BUILD_DIR SCRATCH_DIR
# CTest runs it as python_wheel, with the tests' environment (VXFREQ_REFERENCE, ...).
set -euo pipefail
build=$1
scratch=$2
python=${PYTHON:-/usr/bin/python3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"
PYTHON=$python "$source_dir/scripts/build-wheel.sh" "$build" "$scratch/dist" >/dev/null
"$python" -m venv --system-site-packages "$scratch/venv"
"$scratch/venv/bin/python" -m pip install --quiet --no-index "$scratch"/dist/vxfreq-*.whl
unset PYTHONPATH
cd "$scratch"
where=$("$scratch/venv/bin/python" -c "import vxfreq; print(vxfreq.__file__)")
case "$where" in
  "$scratch/venv/"*) echo "vxfreq from the wheel: $where" ;;
  *) echo "vxfreq imported from $where, not from the venv" >&2; exit 1 ;;
esac
"$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider "$source_dir/python/tests"
