# SPDX-License-Identifier: GPL-3.0-or-later
# Thin wrapper: every target installs what it needs, configures and builds.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DNEPHODAR_WERROR=ON

.PHONY: all deps deps-run deps-package configure build run test test-sanitize bench install package screenshot format format-check lint check-layers clean

all: build

# Every group of packages; `make run` and `make package` install only what they need.
deps:
	bash scripts/install-deps

deps-run:
	bash scripts/install-deps run

configure:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps-run build
	bash scripts/run-demo $(BUILD)/program

test: deps build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer. Warnings
# stay errors in the plain build only: GCC's sanitizer instrumentation raises false ones.
SANITIZE_BUILD ?= build-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DNEPHODAR_SANITIZE=ON -DNEPHODAR_WERROR=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	bash scripts/run-sanitized-tests $(SANITIZE_BUILD) $(JOBS)

bench: deps build
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	bash scripts/run-benchmarks $(BUILD)

# The fuzzers of tests/fuzz: a clang build of their own, each run FUZZ_SECONDS on a copy of
# its corpus; fails when one finds something.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DNEPHODAR_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

install: build
	bash scripts/install $(BUILD)/program

# A Debian package that installs into /usr: $(BUILD)/nephodar_<version>_<arch>.deb.
deps-package:
	bash scripts/install-deps run package

package: deps-package configure
	cmake --build $(BUILD) -j $(JOBS) --target packagefiles
	cd $(BUILD) && cpack -G DEB

screenshot: deps build
	bash scripts/screenshot $(BUILD)/program docs/screenshot.png

# Every C++ file of ours; the fuzzers' corpora and generated files are not.
SOURCES = find src tools tests bench \( -name '*.cpp' -o -name '*.h' \) -print0

format:
	$(SOURCES) | xargs -0 clang-format -i

# Fails on the first file whose formatting differs from .clang-format's.
format-check:
	$(SOURCES) | xargs -0 clang-format --dry-run --Werror

# clang-tidy with the checks of .clang-tidy over the program's sources; any finding fails.
lint: configure
	cmake --build $(BUILD) -j $(JOBS)
	find src tools -name '*.cpp' -print0 | xargs -0 run-clang-tidy -p $(BUILD) -quiet -j $(JOBS) \
	  > $(BUILD)/lint.txt 2>&1 || true
	@if grep -E '(warning|error):' $(BUILD)/lint.txt; then echo "lint: findings above"; exit 1; fi
	@echo "lint: no findings"

check-layers:
	bash scripts/check-layers

clean:
	rm -rf $(BUILD)
