# Quick start: `make demo` and `make test` on a fresh Debian 12 machine.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

CLI := $(BUILD_DIR)/src/cli/harlox-cli
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build demo test bench sanitize fuzz clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

demo: build
	@scripts/demo.sh $(CLI) out

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: configure
	@cmake -S . -B $(BUILD_DIR)-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARLOX_GUI=OFF >/dev/null
	@cmake --build $(BUILD_DIR)-release --target harlox_bench -j $(JOBS)
	@$(BUILD_DIR)-release/bench/harlox_bench
	@cmake --build $(BUILD_DIR) --target harlox_redraw_bench -j $(JOBS)
	@QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/harlox_redraw_bench

# The model library's tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(BUILD_DIR)-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARLOX_GUI=OFF -DHARLOX_BENCH=OFF \
		-DHARLOX_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	@cd $(BUILD_DIR)-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

# Every file reader under libFuzzer with ASan and UBSan, FUZZ_SECONDS each (clang). The seeds
# include projects written by harlox-cli when the normal build has made it.
fuzz: deps
	@cmake -S . -B $(BUILD_DIR)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DHARLOX_FUZZ=ON -DHARLOX_GUI=OFF -DHARLOX_BENCH=OFF >/dev/null
	@cmake --build $(BUILD_DIR)-fuzz --target harlox_fuzzers -j $(JOBS)
	@fuzz/seed_corpora.sh $(BUILD_DIR)-fuzz/corpus $(wildcard $(CLI))
	@fuzz/run_fuzzers.sh $(BUILD_DIR)-fuzz $(BUILD_DIR)-fuzz/corpus $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-asan $(BUILD_DIR)-release $(BUILD_DIR)-fuzz out
