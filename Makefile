# make demo   build everything and run the demo
# make test   build everything and run every test
# make bench  build and run the benchmarks
# make sanitize  build and run every test with the address and undefined-behaviour sanitizers
# make package   build the Debian package build/quorvane_VERSION_ARCH.deb and check it
.PHONY: all deps configure build test demo bench sanitize package format clean

BUILD := build
TOOL := $(BUILD)/quorvane

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake --preset default >/dev/null

build: configure
	cmake --build --preset default

test: build
	ctest --preset default

demo: build
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

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-sanitize

# make bitmaps   redraw resources/bmp/*.bmp with the generator in resources/
.PHONY: bitmaps
bitmaps:
	@cmake -S resources -B $(BUILD)/bitmapgen -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/bitmapgen --target bitmapgen -j 2
	$(BUILD)/bitmapgen/bitmapgen resources/bmp
