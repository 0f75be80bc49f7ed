#!/usr/bin/env bash
# Builds the API reference and the guide into build/docs/html with Doxygen
# (docs/Doxyfile). The input is the set of public headers that cmake/install.cmake
# installs (the filt/ headers it lists, every header of platform/), so a header added
# there is documented, and checked, without further change. Doxygen's warnings are
# errors (an undocumented public name fails the build), and any line of its output
# that contains "warning" fails it too.
set -euo pipefail
cd "$(dirname "$0")/.."

filt=$(sed -n 's|.*{PROJECT_SOURCE_DIR}/\(filt/[A-Za-z0-9_]*\.h\).*|\1|p' cmake/install.cmake)
platform=$(ls platform/*.h)
VXFREQ_DOC_INPUT=$(echo $filt $platform)
export VXFREQ_DOC_INPUT

rm -rf build/docs
mkdir -p build/docs
status=0
doxygen docs/Doxyfile >build/docs/doxygen.log 2>&1 || status=$?
cat build/docs/doxygen.log
if [ "$status" -ne 0 ] || grep -qiE "warning|error" build/docs/doxygen.log; then
  echo "make docs: Doxygen reported problems (above)" >&2
  exit 1
fi
echo "Reference and guide: build/docs/html/index.html"
