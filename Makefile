# Thin wrapper over the CMake presets. `make demo` and `make test` are the two
# set-up commands of the README; both install missing Debian packages first.
JOBS ?= $(shell nproc)

.PHONY: demo test test-asan test-tsan test-scalar test-clang test-arm64 lint docs check bench fuzz deps clean

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

# The scalar path alone (VXFREQ_SIMD=OFF), as on a target without vector paths.
test-scalar: deps
	cmake --preset scalar
	cmake --build --preset scalar -j $(JOBS)
	ctest --preset scalar -j $(JOBS)

# A release build with Clang: the engines' reference hashes, the path-against-scalar
# tests and the cross-machine hashes, so both compilers are shown to give the same bits.
test-clang: deps
	scripts/install-deps.sh --clang
	cmake --preset clang
	cmake --build --preset clang -j $(JOBS)
	ctest --preset clang -j $(JOBS)

# The library and its tests cross-compiled for aarch64 (NEON path) and run under
# qemu-user: the whole suite but the install test, which builds a client with the
# host's compiler, and the demo, which needs libpng for aarch64.
test-arm64: deps
	scripts/install-deps.sh --arm64
	cmake --preset arm64
	cmake --build --preset arm64 -j $(JOBS)
	ctest --preset arm64 -j $(JOBS)

# clang-tidy and cppcheck over the library's own sources.
lint: deps
	scripts/install-deps.sh --lint
	cmake --preset release >/dev/null
	scripts/lint.sh build/release

# The API reference and the guide (Doxygen) in build/docs/html; any warning fails it,
# so does a public name without documentation.
docs: deps
	scripts/install-deps.sh --docs
	scripts/docs.sh

# Everything CI runs: the tests of an optimized build, then the sanitizer builds, the
# scalar, Clang and aarch64 builds, the static checks and the reference.
check: test test-asan test-tsan test-scalar test-clang test-arm64 lint docs

bench: deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	./build/bench/bench/vxfreq_bench

# The archive fuzzer (clang, libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer):
# fresh seeds and the committed corpus are copied into build/fuzz/corpus, which the run
# grows; fuzz/corpus itself is never written. A crash, a sanitizer report or a broken
# promise of the library stops the run with exit status non-zero and leaves the input
# in build/fuzz/artifacts. FUZZ_FLAGS passes more libFuzzer options (e.g. -jobs=1).
FUZZ_SECONDS ?= 60
FUZZ_MAX_LEN ?= 16384
FUZZ_FLAGS ?=
FUZZ_DIR := build/fuzz

fuzz: deps
	scripts/install-deps.sh --fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	rm -rf $(FUZZ_DIR)/seeds
	mkdir -p $(FUZZ_DIR)/seeds $(FUZZ_DIR)/corpus $(FUZZ_DIR)/artifacts
	$(FUZZ_DIR)/fuzz/vxfreq_make_seeds $(FUZZ_DIR)/seeds
	cp fuzz/corpus/* $(FUZZ_DIR)/corpus/
	cp $(FUZZ_DIR)/seeds/* $(FUZZ_DIR)/corpus/
	$(FUZZ_DIR)/fuzz/vxfreq_archive_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -max_len=$(FUZZ_MAX_LEN) -dict=fuzz/archive.dict -timeout=20 -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_DIR)/artifacts/ $(FUZZ_FLAGS) $(FUZZ_DIR)/corpus

clean:
	rm -rf build
