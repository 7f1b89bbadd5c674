# Tarvello's builds, tests and downloads. `make` alone lists the targets and does nothing
# else. Every target that builds installs the Debian packages it needs when they are
# missing (tools/need-debs.sh, as root or through sudo), then builds what it runs; on a
# machine without make, ./make.sh TARGET installs make first. `make check` installs
# nothing.

JOBS ?= $(shell nproc)

# Linux build and tests; the fuzzer takes the release's own clang (clang, clang++)
DEBS_LINUX := cmake make g++ libgtest-dev libcli11-dev \
              qt6-base-dev qt6-translations-l10n fonts-wqy-microhei \
              clang libclang-rt-dev desktop-file-utils libglib2.0-bin \
              osslsigncode openssl python3
# The Linux reader double-clicked: a virtual display, a terminal and someone who types
DEBS_LINUX += xvfb xterm xdotool
# Windows builds, and the Windows tests under wine64; the GUI tests run the 32-bit product
# (wine32, from the i386 architecture that need-debs.sh adds) on a virtual X display, with
# Chinese fonts, the Chinese and a Western locale, and the X libraries Wine loads at run
# time, for both halves
X_LIBS := libxrender1 libxrandr2 libxi6 libxcursor1 libxfixes3 libxinerama1
DEBS_WINDOWS := g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
                binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 googletest wine64 wine32:i386 \
                xvfb locales fonts-wine fonts-wqy-microhei $(X_LIBS) $(X_LIBS:=:i386)
# The downloads; unzip only tells two of them apart when they differ
DEBS_DIST := zip unzip
# The Debian package's checks, and the bare roots it is installed into
DEBS_DEB := lintian appstream dpkg-dev man-db debootstrap

.DEFAULT_GOAL := help
.PHONY: help run run-windows demo dist test check check-all repro bare-check deps deps-linux \
        deps-windows deps-dist deps-deb linux win32 win64 check-windows check-deb fuzz fuzz-check bench \
        clean floor floor-check

help:
	@echo 'make run          build and open the Linux window (tarvello-qt)'
	@echo 'make test         build Linux, 32-bit and 64-bit Windows; run every test, the'
	@echo '                  Windows ones under Wine, the Debian package'"'"'s checks (check-deb)'
	@echo '                  and the reproducibility check'
	@echo 'make check        the Linux build and its tests only; installs nothing'
	@echo 'make check-all    every build and its tests, without the fuzzer and make repro'
	@echo 'make run-windows  the 64-bit Tarvello.exe under wine64'
	@echo 'make demo         tarvello-cli packs samples/ into an e-book, lists and checks it'
	@echo 'make dist         the downloads in dist/: two archives and the Debian package'
	@echo 'make check-deb    lintian and the other checks of the package, then apt installs'
	@echo '                  it into bare Debian 12 and 13 roots, runs it and purges it (root)'
	@echo 'make repro        builds what ships twice, in two folders, and compares the bytes'
	@echo 'make floor-check  the Linux download'"'"'s tarvello-cli and reader on a bare Debian 11'
	@echo 'make bare-check   `./make.sh test` in a bare Debian 12 root (as root; debootstrap;'
	@echo '                  SUITE=trixie for Debian 13)'
	@echo 'make fuzz         the reader'"'"'s fuzzer for FUZZ_SECONDS (60)'
	@echo 'make bench        the packing benchmark (bench/README.md has the others)'
	@echo 'make linux|win32|win64|floor|deps|clean'
	@echo 'Every target but check, help and clean installs the Debian packages it needs.'

# The shape of the code: every include points down the layers, no function is too long.
lint = sh tools/check-includes.sh src && \
       python3 tools/long-functions.py $$(find src -name '*.cc' -o -name '*.h' | sort)

# $(call build,PRESET[,TARGETS]): configures the preset's build folder, then builds all of
# it, or only TARGETS.
build = cmake --preset $(1) >/dev/null && cmake --build --preset $(1) -j$(JOBS)$(if $(2), --target $(2))

deps-linux:
	@sh tools/need-debs.sh $(DEBS_LINUX)

deps-windows:
	@sh tools/need-debs.sh $(DEBS_WINDOWS)
	@sh tools/need-locale.sh zh_CN.UTF-8 en_US.UTF-8

deps-dist:
	@sh tools/need-debs.sh $(DEBS_DIST)

deps-deb:
	@sh tools/need-debs.sh $(DEBS_DEB)

deps: deps-linux deps-windows deps-dist deps-deb

linux: deps-linux
	$(call build,linux)

win32: deps-windows
	$(call build,win32)

win64: deps-windows
	$(call build,win64)

# The Windows programs must carry nothing of mingw's runtime.
check-windows: win32 win64
	sh tools/check-windows-deps.sh build/win32/bin build/win64/bin

# The window; without a display, run-window.sh says how else to run it.
run: deps-linux
	$(call build,linux,tarvello-qt tarvello-cli)
	sh tools/run-window.sh build/linux/bin

# The Linux reader and tarvello-cli that ship, built in a bare Debian 11 root so that they
# run on every glibc from 2.28 on. As root, or through sudo.
floor: deps-linux
	JOBS=$(JOBS) sh tools/floor-build.sh build/floor

# The downloads: dist/Tarvello-2.0-win32.zip, the Linux archive and the Debian package,
# from optimised builds.
dist: win32 floor deps-linux deps-dist
	$(call build,release,tarvello-qt)
	sh tools/dist.sh build/win32/bin build/release build/floor/bin

# The Linux download's tarvello-cli and reader at work on a bare Debian 11 (as root).
floor-check: dist
	sh tools/floor-check.sh dist/tarvello-*-linux-x86_64.tar.gz

# The Windows window (x86_64 build) under wine64, on this machine's display.
run-windows: win64
	sh tools/run-win64.sh build/win64/bin

# The command-line tool packs the sample PDFs, then lists and checks the e-book.
demo: linux
	sh tools/demo.sh build/linux/bin

# The e-book reader's fuzzer, for a minute, from the seed e-books and saved inputs.
FUZZ_SECONDS ?= 60
fuzz: deps-linux
	$(call build,fuzz)
	sh tools/fuzz.sh build/fuzz $(FUZZ_SECONDS)

# The fuzzer in the test command: the seeds and saved findings replayed, then FUZZ_RUNS
# inputs searched from a fixed seed, the same ones every run.
FUZZ_RUNS ?= 100000
fuzz-check: deps-linux
	$(call build,fuzz)
	sh tools/fuzz.sh --check build/fuzz $(FUZZ_RUNS)

# The Debian package passes lintian and installs, runs and purges cleanly on bare Debian 12
# and 13 (DEB_SUITES; built on Debian 13, on Debian 13 only).
DEB_SUITES ?=
check-deb: dist deps-deb
	sh tools/deb-check.sh dist/tarvello_*_amd64.deb $(DEB_SUITES)

# Two copies of the tree built one after the other must give the same bytes.
repro: deps
	JOBS=$(JOBS) sh tools/repro.sh build/repro

# Every build and its tests, after the shape of the code: the Windows GUI tests drive the
# 32-bit build, the product, from the 64-bit one.
check-all: linux win32 win64 check-windows
	$(lint)
	ctest --preset linux -j$(JOBS)
	ctest --preset win64

# All of that and the fuzzer's fixed search; the Linux download is tried on Debian 11, the
# Debian package on bare Debian 12 and 13. Then what ships is built twice more and compared.
test: check-all fuzz-check deps-dist floor-check
	$(MAKE) --no-print-directory check-deb
	JOBS=$(JOBS) sh tools/repro.sh build/repro

# The edit-build-test loop: the Linux build and its tests only. Installs nothing and
# builds nothing for Windows.
check:
	@sh tools/need-debs.sh --check $(DEBS_LINUX) || { \
	  echo 'make check installs nothing: `make test` (or `make deps-linux`) installs these first.' >&2; \
	  exit 1; }
	$(lint)
	$(call build,linux)
	ctest --preset linux -j$(JOBS)

# A bare Debian root made with debootstrap (kept in /var/cache/tarvello), a clone of this
# commit in it, and the README's test command run there. As root. SUITE=trixie for
# Debian 13.
SUITE ?= bookworm
bare-check:
	SUITE=$(SUITE) sh tools/bare-debian.sh ./make.sh test

bench: deps-linux
	sh bench/pack.sh

clean:
	rm -rf build dist
