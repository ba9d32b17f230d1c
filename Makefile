# The two set-up commands of the README. Both install whatever Debian
# packages are missing, configure and build; then `run` starts the program
# and `test` runs the whole suite.

PACKAGES := cmake ninja-build g++ make pkg-config \
            qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev \
            googletest libgtest-dev libgmock-dev libbenchmark-dev \
            xvfb xauth openbox xdotool x11-utils imagemagick libx11-dev libxtst-dev \
            fonts-wqy-microhei g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all setup configure build cross run test clean

all: build

setup:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing Debian packages:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: setup
	cmake --preset default

build: configure
	cmake --build --preset default

# The link library and pelmora-send, cross-built for Windows: keeps the
# Win32 serial code compiling.
cross: setup
	cmake --preset windows-link
	cmake --build --preset windows-link

run: build
	@if [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1 || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  exec ./build/bin/pelmora; \
	else \
	  echo "make run: no display, so here is the main job without the window: one page to a simulated transmitter."; \
	  exec tools/demo.sh build/bin; \
	fi

test: build cross
	ctest --preset default

clean:
	rm -rf build build-mingw
