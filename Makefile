# Quillmere: `make run` starts the viewer, `make test` runs every test.
# Each target first installs the Debian packages it needs that are missing.

BUILD_DIR := build
JOBS := $(shell nproc)

BUILD_PACKAGES := g++ make cmake libsfml-dev libglew-dev libglm-dev libgl1-mesa-dri
# The tests, the benchmark and the screenshot drive the real window on a virtual screen.
DEV_PACKAGES := $(BUILD_PACKAGES) libgtest-dev xvfb x11-utils openbox xdotool imagemagick bats \
                faketime sox libsox-fmt-base

APP := $(BUILD_DIR)/src/app/quillmere

.PHONY: all build dev-build run test bench screenshot clean

all: build

build:
	@tools/install-deps.sh $(BUILD_PACKAGES)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_DEV_TOOLS=OFF >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

dev-build:
	@tools/install-deps.sh $(DEV_PACKAGES)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_DEV_TOOLS=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) -- --no-print-directory

# The viewer reads its colour ramp and music from the working directory.
run:
	@if [ -z "$$DISPLAY" ]; then \
	    echo "No display: DISPLAY is not set, so the viewer has nowhere to open its window (try 'make screenshot')."; \
	    exit 1; \
	fi
	@$(MAKE) --no-print-directory build
	@cd assets && ../$(APP)

test: dev-build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Figures only, never pass or fail: the globe build against the plain loop, the draw
# rate and the start-up split on the software renderer.
bench: dev-build
	@$(BUILD_DIR)/bench/globe_bench
	@cd assets && ../tests/with-xvfb.sh ../$(BUILD_DIR)/bench/draw_bench

# Runs the real viewer on a virtual screen and saves its first globe frame as a PNG.
screenshot: dev-build
	@tests/with-xvfb.sh tools/screenshot.sh $(APP) assets out/screenshot.png

clean:
	rm -rf $(BUILD_DIR)
