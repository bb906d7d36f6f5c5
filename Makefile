# make demo   build the plug-in and the tool, and run the demo
# make test   build everything and run every test
# make bench  build and run the benchmarks
# make sanitize  build and run every test with the address and undefined-behaviour sanitizers
# make tsan   build the multi-threaded tests with the thread sanitizer and run them
# make windows   build build-win32/Quorvane.dll and build-win64/Quorvane.dll
# make windows-package   the installer and the zip of both modules in build-win64/
# make package   build the Debian package build/quorvane_VERSION_ARCH.deb and check it
.PHONY: all deps configure build test demo bench sanitize tsan package format clean windows windows-deps windows-build windows-package windows-package-build test-win32

BUILD := build
TOOL := $(BUILD)/quorvane

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	cmake --build --preset default

# The Windows tests run when the cross compilers and wine64 are there or can be installed: the
# 64-bit module's tests under wine64, the 32-bit module's under 32-bit wine (natively, else
# emulated, else skipped: scripts/wine-run32 decides and the last line says which), and on the
# Linux side the file check of both modules, the comparison of their output streams with
# Quorvane.so's and the installer under wine.
test: deps
	@if scripts/install-deps.sh windows; then w=ON; else w=OFF; \
	    echo "the Windows tests are skipped: the packages above are missing" >&2; fi; \
	cmake --preset default -DQUORVANE_WINDOWS_TESTS=$$w >/dev/null && \
	cmake --build --preset default && \
	if [ $$w = ON ]; then \
	    $(MAKE) --no-print-directory windows-build windows-package-build && \
	    ctest --preset default && ctest --preset win64 && \
	    $(MAKE) --no-print-directory test-win32; \
	else ctest --preset default; fi

# The 32-bit Windows tests, the way this machine can run them.
test-win32:
	@mode=$$(scripts/wine-run32 --mode); \
	case $$mode in \
	native) how="ran natively with 32-bit wine (/usr/lib/wine/wine)";; \
	emulated) how="ran under user-mode emulation (qemu-i386 with 32-bit wine)";; \
	*) how="were skipped: $${mode#none: }";; \
	esac; \
	start=$$(date +%s); ctest --preset win32; rc=$$?; \
	echo "32-bit Windows tests $$how ($$(( $$(date +%s) - start )) s)"; exit $$rc

# The demo needs only the module and the tool; make test builds the rest.
demo: configure
	cmake --build --preset default --target quorvane Quorvane
	$(TOOL) demo

bench: deps
	@cmake --preset bench >/dev/null
	cmake --build --preset bench
	@for b in $(BUILD)/bench/*; do [ -x "$$b" ] && [ -f "$$b" ] && "$$b" --benchmark_min_time=0.2; done; true

package: build
	cd $(BUILD) && cpack -G DEB
	ctest --preset default -R '^package$$'

sanitize: deps
	@cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --preset sanitize

tsan: deps
	@cmake --preset tsan >/dev/null
	cmake --build --preset tsan
	ctest --preset tsan

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

windows: windows-deps
	@$(MAKE) --no-print-directory windows-build

windows-deps:
	@scripts/install-deps.sh windows

windows-build:
	@cmake --preset win32 >/dev/null
	cmake --build --preset win32
	@cmake --preset win64 >/dev/null
	cmake --build --preset win64

# Quorvane-VERSION-setup.exe (NSIS) and Quorvane-VERSION-windows.zip in build-win64/
windows-package: windows-deps
	@$(MAKE) --no-print-directory windows-build windows-package-build

windows-package-build:
	cmake --build --preset win64 --target windows-package

clean:
	rm -rf $(BUILD) build-sanitize build-tsan build-win32 build-win64

# make bitmaps   redraw resources/bmp/*.bmp with the generator in resources/
.PHONY: bitmaps
bitmaps:
	@cmake -S resources -B $(BUILD)/bitmapgen -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/bitmapgen --target bitmapgen -j 2
	$(BUILD)/bitmapgen/bitmapgen resources/bmp
