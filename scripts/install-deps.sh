#!/usr/bin/env bash
# Installs the Debian packages that building and testing vxfreq needs, when any is missing.
# Safe to run again: it does nothing when everything is present.
#   --all    also the extra tools: clang, its sanitizer runtime, clang-tidy, cppcheck,
#            clang-format
#   --fuzz   also what the archive fuzzer needs: clang and its sanitizer and libFuzzer
#            runtimes
#   --clang  also clang, for the Clang build of the tests
#   --arm64  also the aarch64 cross compiler, qemu-user and GoogleTest's sources, for
#            the aarch64 build of the tests
#   --bench  also the comparison libraries of the benchmarks (FFTW, OpenCV, KissFFT)
#            and matplotlib for the plot in docs/performance.md; scipy and pyfftw for
#            bench/accuracy.py
#   --docs   also Doxygen and Graphviz, for the API reference and the guide (make docs)
set -euo pipefail

packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev libpng-dev pkg-config)
# python3-skimage brings scikit-image's sample photographs, which the padding tests read.
packages+=(python3-skimage)
# The Python module, its tests, stub check and batch example (Debian's /usr/bin/python3).
packages+=(python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-mypy
           python3-pil python3-dask python3-distributed python3-scipy)
# `pip install --no-build-isolation .` (setup.py) and the wheel, offline: setuptools, wheel and
# build from Debian, the package tried in a fresh venv (python_wheel).
packages+=(python3-build python3-setuptools python3-wheel python3-venv python3-pip)
# The filter workbench's browser tests: headless Chromium, its driver and Selenium.
packages+=(chromium chromium-driver python3-selenium)
for arg in "$@"; do
  case "$arg" in
    --all) packages+=(clang libclang-rt-14-dev clang-tidy cppcheck clang-format) ;;
    --lint) packages+=(clang-tidy cppcheck clang-format) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    --clang) packages+=(clang) ;;
    --arm64) packages+=(g++-aarch64-linux-gnu qemu-user googletest) ;;
    --bench) packages+=(libfftw3-dev libopencv-dev libkissfft-dev python3 python3-matplotlib
                        python3-scipy python3-pyfftw) ;;
    --docs) packages+=(doxygen graphviz python3) ;;
    *) echo "usage: $0 [--all] [--lint] [--fuzz] [--clang] [--arm64] [--bench] [--docs]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
