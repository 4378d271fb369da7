# Set-up commands for a fresh Debian machine:
#   make run    install what the build needs (as root), build, run the bundled example
#   make test   build and run every test: normal (with the Python module and its pytest suite),
#               AddressSanitizer + UndefinedBehaviorSanitizer, and the concurrent analyses under ThreadSanitizer
#   make check  build and run the tests in the normal build only (quick, for development)
#   make bench  time the release build on the large ensembles (see bench/)

JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
BUILD   ?= build
ASAN    ?= build-asan
TSAN    ?= build-tsan
EXAMPLE ?= examples/1d3z.pdb
# Debian's Python, for which pybind11 and pytest are installed (another python3 may come first on PATH).
PYTHON  ?= /usr/bin/python3

.PHONY: all deps build run test check asan tsan bench clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRIX_PYTHON=ON -DPython3_EXECUTABLE=$(PYTHON) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/veldrix $(EXAMPLE)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVELDRIX_SANITIZE=ON >/dev/null
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Only the tests of concurrent analyses are built with ThreadSanitizer: they are what it can judge.
tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRIX_TSAN=ON >/dev/null
	cmake --build $(TSAN) -j $(JOBS) --target test_concurrency
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

test: check asan tsan

bench: deps
	bench/run.sh

clean:
	rm -rf $(BUILD) $(ASAN) $(TSAN) build-release build-python
