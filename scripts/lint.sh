#!/usr/bin/env bash
# The static checks: the includes against the library's layers (scripts/check-layers.py),
# the layout of every C++ source (.clang-format), then clang-tidy (checks in .clang-tidy)
# and cppcheck over the library's sources, using the compile commands of a configured
# build directory. Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure first" >&2; exit 2; }

echo "layers"
python3 scripts/check-layers.py

echo "clang-format"
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --style=file --dry-run --Werror

mapfile -t sources < <(find platform filt -name '*.cpp' | sort)
echo "clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet

echo "cppcheck"
cppcheck --std=c++17 --language=c++ --enable=warning,performance,portability \
  --error-exitcode=1 --inline-suppr --quiet -I . \
  --suppress=missingIncludeSystem --suppress=unmatchedSuppression \
  platform filt
echo "lint: clean"
