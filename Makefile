# The two commands: `make run` and `make test`. Both install what is missing
# (Debian packages, as root), configure once and build incrementally.
# `make package` makes the Debian package and the self-updating archive (scripts/package.sh).

BUILD_DIR ?= build
CMAKE_FLAGS ?=

.PHONY: run test build deps clean package

run: build
	@bash scripts/run.sh $(BUILD_DIR)

test: build
	@bash scripts/test.sh $(BUILD_DIR)

package: deps
	@bash scripts/package.sh

build: deps
	@[ -f $(BUILD_DIR)/build.ninja ] || cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS)
	@cmake --build $(BUILD_DIR)

deps:
	@bash scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR)
