# Quillmere: `make run` starts the viewer, `make test` runs every test, `make check` the quick
# ones (the CPU code and the drawing, under a minute) while editing.
# Each target first installs the Debian packages it needs that are missing.

BUILD_DIR := build
JOBS := $(shell nproc)

BUILD_PACKAGES := g++ make cmake pkg-config libsfml-dev libglew-dev libglm-dev libgl1-mesa-dri \
                  libx11-dev libxss-dev libsystemd-dev libpng-dev
# CPack reads the package's dependencies off the binary with dpkg-shlibdeps and file.
PACKAGE_PACKAGES := $(BUILD_PACKAGES) dpkg-dev file lintian
# The tests, the benchmark and the screenshot drive the real window on a virtual screen; the
# globe library is also cross-built for arm64 and i386 and run under qemu-user, and the package
# is built twice from two clones of the last commit; the screensaver runs under the real
# xscreensaver.
DEV_PACKAGES := $(BUILD_PACKAGES) libgtest-dev xvfb x11-utils openbox xdotool imagemagick bats \
                faketime sox libsox-fmt-base dpkg-dev file lintian desktop-file-utils appstream \
                man-db procps dbus-daemon dbus-bin python3-dbusmock python3-xlib x11-xserver-utils git \
                xscreensaver g++-aarch64-linux-gnu g++-i686-linux-gnu qemu-user

APP := $(BUILD_DIR)/src/app/quillmere

.PHONY: all build dev-build run test check stress bench screenshot package install clean

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

check: dev-build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -L '^(unit|gl)$$'

# The whole suite N times while a load generator keeps every core busy, and a table of
# failures per test: a suite that never flakes here does not flake on a clean machine.
# TESTS (a ctest regular expression) narrows it, as in `make stress N=10 TESTS=e2e_`.
N ?= 10
TESTS ?= .
stress: dev-build
	@tools/install-deps.sh stress-ng
	@tools/stress.sh $(BUILD_DIR) $(N) '$(TESTS)'

# Figures only, never pass or fail: the globe build against the plain loop, the draw
# rate and the start-up split on the software renderer.
bench: dev-build
	@$(BUILD_DIR)/bench/globe_bench
	@cd assets && ../tools/with-xvfb.sh ../$(BUILD_DIR)/bench/draw_bench

# Runs the real viewer on a virtual screen and saves its first globe frame as a PNG.
screenshot: dev-build
	@tools/with-xvfb.sh tools/screenshot.sh $(APP) assets out/screenshot.png

# The Debian package, built into this folder and checked by lintian (errors fail it). Every
# time stamp in it is the last commit's (outside git, the changelog's), as Debian's
# reproducible-builds convention has it, and the umask is 022 as dpkg-buildpackage makes it,
# so the same source always gives the same bytes.
package: export SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null || \
                                       dpkg-parsechangelog -l packaging/changelog -STimestamp 2>/dev/null)
package: build
	@tools/install-deps.sh $(PACKAGE_PACKAGES)
	@rm -rf $(BUILD_DIR)/packages
	@umask 022 && cpack --config $(BUILD_DIR)/CPackConfig.cmake -B $(BUILD_DIR)/packages \
	    >$(BUILD_DIR)/cpack.log 2>&1 || { cat $(BUILD_DIR)/cpack.log; exit 1; }
	@for deb in $(BUILD_DIR)/packages/quillmere_*.deb; do \
	    mv "$$deb" . && echo "$${deb##*/}" || exit 1; \
	    lintian --fail-on error "$${deb##*/}" >$(BUILD_DIR)/lintian.log 2>&1; status=$$?; \
	    grep -v 'running with root privileges' $(BUILD_DIR)/lintian.log; \
	    [ $$status -eq 0 ] && echo "lintian: no errors" || exit 1; \
	done

# The same tree as the package, under PREFIX (and DESTDIR, for staging), without dpkg.
PREFIX ?= /usr/local
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

clean:
	rm -rf $(BUILD_DIR)
