# make demo   build everything and run the demo
# make test   build everything and run every test
# make bench  build and run the benchmarks
# make sanitize  build and run every test with the address and undefined-behaviour sanitizers
# make tsan   build the multi-threaded tests with the thread sanitizer and run them
.PHONY: all deps configure build test demo bench sanitize tsan format clean

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

clean:
	rm -rf $(BUILD) build-sanitize build-tsan

# make bitmaps   redraw resources/bmp/*.bmp with the generator in resources/
.PHONY: bitmaps
bitmaps:
	@cmake -S resources -B $(BUILD)/bitmapgen -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/bitmapgen --target bitmapgen -j 2
	$(BUILD)/bitmapgen/bitmapgen resources/bmp
