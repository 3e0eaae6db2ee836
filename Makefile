# Quillmere: `make run` starts the viewer, `make test` runs every test.
# Each target first installs the Debian packages it needs that are missing.

BUILD_DIR := build
JOBS := $(shell nproc)

BUILD_PACKAGES := g++ make cmake libsfml-dev libglew-dev libglm-dev libgl1-mesa-dri
TEST_PACKAGES := $(BUILD_PACKAGES) libgtest-dev libx11-dev libxtst-dev xvfb faketime
BENCH_PACKAGES := $(BUILD_PACKAGES) libx11-dev libxtst-dev xvfb

APP := $(BUILD_DIR)/src/app/quillmere

.PHONY: all build run test bench screenshot clean

all: build

build:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_TESTS=OFF -DQUILLMERE_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# The viewer reads its colour ramp and music from the working directory.
run: build
	@if [ -z "$$DISPLAY" ]; then \
	    echo "No display: DISPLAY is not set, so the viewer has nowhere to open its window (try 'make screenshot')."; \
	    exit 1; \
	fi
	@cd assets && ../$(APP)

test:
	@tools/install-deps.sh $(TEST_PACKAGES)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_TESTS=ON -DQUILLMERE_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)
