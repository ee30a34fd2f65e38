# Thin wrapper: every target installs what it needs, configures and builds.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DNEPHODAR_WERROR=ON

.PHONY: all deps configure build run test bench install screenshot format lint clean

all: build

deps:
	bash scripts/install-deps

configure:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps build
	bash scripts/run-demo $(BUILD)/program

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps build
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	bash scripts/run-benchmarks $(BUILD)

install: build
	bash scripts/install $(BUILD)/program

screenshot: deps build
	bash scripts/screenshot $(BUILD)/program docs/screenshot.png

format:
	find src tools tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

lint: configure
	find src tools -name '*.cpp' | xargs clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD)
