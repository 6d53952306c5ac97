# The two commands: `make run` and `make test`. Both install what is missing
# (Debian packages, as root), configure once and build incrementally.

BUILD_DIR ?= build
CMAKE_FLAGS ?=

.PHONY: run test build deps clean

run: build
	@bash scripts/run.sh $(BUILD_DIR)

test: build
	@bash scripts/test.sh $(BUILD_DIR)

build: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	@cmake --build $(BUILD_DIR)

deps:
	@bash scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)
