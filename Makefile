# make run    builds and starts Telvane
# make test   builds and runs every test
# make bench  builds and runs the benchmarks
# Each first installs whatever Debian packages are missing.

.PHONY: all deps build run test bench clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build
	@scripts/demo

# The threaded parts run once more under ThreadSanitizer.
test: build
	@ctest --preset release
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan --target core_tests
	@ctest --preset tsan -R '^(TransmitScheduler|AudioCapture)'

bench: build
	@build/bin/telvane-bench

clean:
	rm -rf build build-asan build-tsan
