# The two commands of the Quick start. `make run` builds and starts Vantrel; `make test` builds
# everything and runs every test, then runs the Qt-free tests again under ASan and UBSan.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz

.PHONY: run test deps configure build build-asan package fuzz clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DVANTREL_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/app/shell/vantrel

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVANTREL_WERROR=ON \
		-DVANTREL_SANITIZE=ON -DVANTREL_QT_FREE_ONLY=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build build-asan
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L qtfree

# The Debian package $(BUILD)/vantrel_{version}_{arch}.deb: the executable, its menu entry, icon
# and manual page, built with only what they need.
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target vantrel vantrel_docs
	@cd $(BUILD) && cpack

# The libFuzzer targets (clang, with ASan and UBSan); bench/fuzz.sh runs them. Not part of `test`,
# which replays their seed corpora instead.
fuzz:
	@scripts/install-deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++-14 -DVANTREL_FUZZ=ON \
		-DVANTREL_QT_FREE_ONLY=ON -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF -DVANTREL_WERROR=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
