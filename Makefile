# Two entry points: `make run` and `make test`. Each installs the Debian packages it
# needs when they are missing, then builds what it runs.

JOBS ?= $(shell nproc)

# Linux build and tests
DEBS_LINUX := cmake make g++ libgtest-dev libcli11-dev \
              qt6-base-dev qt6-translations-l10n fonts-wqy-microhei \
              clang-14 libclang-rt-14-dev desktop-file-utils libglib2.0-bin \
              osslsigncode openssl
# Windows builds, and the Windows tests under wine64; the GUI tests run the 32-bit product
# (wine32, from the i386 architecture that need-debs.sh adds) on a virtual X display, with
# Chinese fonts, the Chinese and a Western locale, and the X libraries Wine loads at run
# time, for both halves
X_LIBS := libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 libxinerama1
DEBS_WINDOWS := g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine64 wine32:i386 \
                osslsigncode openssl \
                xvfb locales fonts-wine fonts-wqy-microhei $(X_LIBS) $(X_LIBS:=:i386)

.PHONY: all run run-windows demo dist test check deps deps-linux deps-windows linux win32 win64 check-windows fuzz bench clean

all: linux win32 win64

deps-linux:
	@sh tools/need-debs.sh $(DEBS_LINUX)

deps-windows:
	@sh tools/need-debs.sh $(DEBS_WINDOWS)
	@sh tools/need-locale.sh zh_CN.UTF-8 en_US.UTF-8

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

# The window; without a display, run-window.sh says how else to run it.
run: deps-linux
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS) --target tarvello-qt tarvello-cli
	sh tools/run-window.sh build/linux/bin

# The downloads: dist/Tarvello-2.0-win32.zip and the Linux archive, from optimised builds.
dist: win32 deps-linux
	cmake --preset release >/dev/null
	cmake --build --preset release -j$(JOBS) --target tarvello-qt tarvello-cli tarvello_reader
	sh tools/dist.sh build/win32/bin build/release

# The Windows window (x86_64 build) under wine64, on this machine's display.
run-windows: win64
	sh tools/run-win64.sh build/win64/bin

# The command-line tool packs the sample PDFs, then lists and checks the e-book.
demo: linux
	sh tools/demo.sh build/linux/bin

# The e-book reader's fuzzer, for a minute, from the seed e-books and saved inputs.
FUZZ_SECONDS ?= 60
fuzz: deps-linux
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)
	sh tools/fuzz.sh build/fuzz $(FUZZ_SECONDS)

# The Windows GUI tests drive the 32-bit build, the product, from the 64-bit one.
test: linux win32 win64 check-windows fuzz
	ctest --preset linux -j$(JOBS)
	ctest --preset win64

# The edit-build-test loop: the Linux build and its tests only. Installs nothing and
# builds nothing for Windows; run `make test` once first on a new machine.
check:
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j$(JOBS)
	ctest --preset linux -j$(JOBS)

bench: deps-linux
	sh bench/pack.sh

clean:
	rm -rf build dist
