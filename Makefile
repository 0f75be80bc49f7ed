# Thin wrapper over the CMake presets. `make demo` and `make test` are the two
# set-up commands of the README; both install missing Debian packages first.
JOBS ?= $(shell nproc)

.PHONY: demo test test-asan test-tsan lint check bench deps clean

deps:
	@scripts/install-deps.sh

demo: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target vxfreq-demo
	./build/release/examples/vxfreq-demo

test: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan

# clang-tidy and cppcheck over the library's own sources.
lint: deps
	scripts/install-deps.sh --lint
	cmake --preset release >/dev/null
	scripts/lint.sh build/release

# Everything CI runs: the tests of an optimized build, then the sanitizer builds and
# the static checks.
check: test test-asan test-tsan lint

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./build/bench/bench/vxfreq_bench

clean:
	rm -rf build
