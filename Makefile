# Two entry points: `make run` and `make test`. Each installs the Debian packages it
# needs when they are missing, then builds what it runs.

JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Linux build and tests
DEBS_LINUX := cmake make g++ libgtest-dev libcli11-dev
# Windows builds, and the Windows tests under wine64
DEBS_WINDOWS := g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine64

.PHONY: all run test deps deps-linux deps-windows linux win32 win64 check-windows bench clean

all: linux win32 win64

deps-linux:
	@sh tools/need-debs.sh $(DEBS_LINUX)

deps-windows:
	@sh tools/need-debs.sh $(DEBS_WINDOWS)

deps: deps-linux deps-windows

linux: deps-linux
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS)

win32: deps-windows
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

win64: deps-windows
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j$(JOBS)

# The Windows programs must carry nothing of mingw's runtime.
check-windows: win32 win64
	sh tools/check-windows-deps.sh build/win32/bin build/win64/bin

run: linux
	sh tools/demo.sh build/linux/bin

test: linux win32 win64 check-windows
	ctest --preset linux -j$(JOBS)
	ctest --preset win64

bench: deps-linux
	sh bench/pack.sh

clean:
	rm -rf build dist
