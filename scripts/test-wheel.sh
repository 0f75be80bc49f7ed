#!/usr/bin/env bash
# Installs the Python package as its users do, `pip install --no-build-isolation .` at
# the top of a clean copy of the source tree, offline, into a fresh venv (with the
# system's packages: numpy, pytest, setuptools, wheel, Pillow, Dask), and runs the
# Python tests against the installed package, nothing of the source or build tree on
# the path:
#   scripts/test-wheel.sh SCRATCH_DIR
# The copy holds the files git would keep (tracked, or new and not ignored) as they are
# in the working tree. The build may write in it only what git ignores: git status is
# the same after it. The copy's source distribution must hold every file of the build.
# CMAKE_BUILD_PARALLEL_LEVEL (default 2) sets the compile jobs. CTest runs it as
# python_wheel, with the tests' environment (VXFREQ_REFERENCE, ...).
set -euo pipefail
scratch=$1
python=${PYTHON:-/usr/bin/python3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2}
unset PYTHONPATH LD_LIBRARY_PATH CMAKE_ARGS
rm -rf "$scratch"
mkdir -p "$scratch/src"
src=$scratch/src
log=$scratch/build.log

fail() {
  echo "test-wheel: $*" >&2
  exit 1
}

# The clean copy, made a git work tree of its own to see what the build leaves in it.
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard) |
  while IFS= read -r -d '' file; do
    if [ -e "$source_dir/$file" ]; then printf '%s\0' "$file"; fi
  done |
  tar -C "$source_dir" --null -T - -cf - | tar -C "$src" -xf -
git -C "$src" init -q
git -C "$src" add -A
status_before=$(git -C "$src" status --porcelain --untracked-files=all)

"$python" -m venv --system-site-packages "$scratch/venv"
venv_python=$scratch/venv/bin/python
(cd "$src" && "$venv_python" -m pip install --no-index --no-build-isolation .) >"$log" 2>&1 ||
  { cat "$log" >&2; fail "pip install failed"; }
(cd "$src" && "$venv_python" -m build --sdist --no-isolation --outdir "$scratch/dist" .) \
  >>"$log" 2>&1 || { cat "$log" >&2; fail "the source distribution failed"; }
[ "$(git -C "$src" status --porcelain --untracked-files=all)" = "$status_before" ] ||
  { git -C "$src" status --short >&2; fail "the build wrote into the source tree"; }

# The build: Release with the project's flags, the library and the module alone.
commands=$(find "$src/build/python-package" -name compile_commands.json -path '*/cmake/*')
[ -n "$commands" ] || fail "no compile_commands.json of the package's CMake build"
"$venv_python" - "$commands" "$src" <<'EOF'
import json, os, sys
entries = json.load(open(sys.argv[1]))
files = ["/" + os.path.relpath(e["file"], sys.argv[2]) for e in entries]
assert entries and all(" -O3 " in e["command"] and "-ffp-contract=off" in e["command"]
                       for e in entries), "not a Release build with the project's flags"
assert any(f.startswith("/filt/") for f in files) and "/python/module.cpp" in files
others = [f for f in files if any(d in f for d in ("/tests/", "/examples/", "/bench/", "/fuzz/"))]
assert not others, others
EOF

# The source distribution holds the build's files.
missing=$(comm -23 \
  <(git -C "$src" ls-files CMakeLists.txt setup.py pyproject.toml cmake filt platform python | sort) \
  <(tar -tzf "$scratch"/dist/vxfreq-*.tar.gz | sed 's|^[^/]*/||' | sort))
[ -z "$missing" ] || fail "the source distribution lacks: $missing"

# The installed package: from the venv, with its own libvxfreq.so.0; no other vxfreq
# (the copy's python/vxfreq, a build tree's) on the path.
cd "$scratch"
"$venv_python" - "$scratch/venv" <<'EOF'
import os, sys
import vxfreq
venv = sys.argv[1]
package = os.path.dirname(vxfreq.__file__)
assert package.startswith(venv + "/lib/"), package
loaded = {line.split()[-1] for line in open("/proc/self/maps") if "libvxfreq" in line}
assert loaded == {os.path.join(package, "libvxfreq.so.0")}, loaded
others = [p for p in sys.path
          if os.path.exists(os.path.join(p or ".", "vxfreq")) and not p.startswith(venv)]
assert not others, others
print("vxfreq from the venv:", package)
EOF
"$venv_python" -m pytest -q -p no:cacheprovider "$src/python/tests"
