# make run    builds and starts Telvane (in build/, where its WAV files go)
# make demo   builds and runs the command-line demonstration
# make test   builds and runs every test
# make check  builds and runs the release suite only (no sanitizers, no fuzzing)
# make bench  builds and runs the benchmarks
# make deb    builds the Debian package build/telvane_<version>_<arch>.deb
# Each first installs whatever Debian packages are missing.

.PHONY: all deps build run demo test check bench deb clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		cd build && exec bin/telvane; \
	else \
		echo "make run: no display here (DISPLAY and WAYLAND_DISPLAY are not set), so Telvane's window cannot open."; \
		echo "Start it from a desktop session, or try the command-line tool: make demo"; \
	fi

demo: build
	@scripts/demo

# Then the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# again under ThreadSanitizer (every test that starts a thread is in it:
# the transmit thread, the soaks, cross-thread message boxes, the sound
# player on its own thread), and the fuzz targets (30 s each).
test: build
	@ctest --preset release
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan
	@ctest --preset tsan
	@scripts/fuzz

check: build
	@ctest --preset release

bench: build
	@build/bin/telvane-bench

deb: build
	@cd build && cpack -G DEB

clean:
	rm -rf build build-asan build-tsan build-fuzz
