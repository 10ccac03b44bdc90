# The commands a newcomer types.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build test bench demo clean screenshots

all: build

bootstrap:
	@bash scripts/bootstrap.sh

$(BUILD_DIR)/build.ninja: | bootstrap
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

configure: bootstrap $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Every test runs under Wine; a virtual display serves the GUI tests.
test: build
	bash scripts/run-tests.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

# Speed and memory figures; not part of `make test`.
bench: build
	bash scripts/run-bench.sh $(BUILD_DIR)

# Pictures of the wizard's pages and message boxes in $(BUILD_DIR)/screenshots.
screenshots: build
	bash scripts/screenshots.sh $(BUILD_DIR)

# The main job end to end: a sample setup repackaged and installed under Wine;
# prints a report, leaves everything in $(BUILD_DIR)/demo.
demo: build
	bash scripts/demo.sh $(BUILD_DIR)
