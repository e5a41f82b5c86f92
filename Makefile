# A thin driver over CMake and CTest: `make test` alone does all the set-up on a fresh Debian
# machine (as root). BUILD_DIR and JOBS may be set on the command line.
BUILD_DIR ?= build/release
ASAN_DIR  ?= build/asan
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build test test-asan demo run screenshot bench fuzz faults format clean

all: build

deps:
	@./scripts/deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DRPQ_SANITIZE=ON -DRPQ_BUILD_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD_DIR)

run: build
	./scripts/run.sh $(BUILD_DIR)

screenshot: build
	./scripts/screenshot.sh $(BUILD_DIR)

bench: build
	./scripts/bench.sh $(BUILD_DIR)

fuzz: deps
	./scripts/fuzz.sh

faults: build
	./scripts/faults.sh $(BUILD_DIR)

format:
	find toolkit codecs packs batch cli ui tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
