# Thin wrapper over the CMake presets. `make demo` and `make test` are the two
# set-up commands of the README; both install missing Debian packages first.
JOBS ?= $(shell nproc)

.PHONY: demo test test-asan bench deps clean

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

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./build/bench/bench/vxfreq_bench

clean:
	rm -rf build
