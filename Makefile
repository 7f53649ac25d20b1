# Tarnwick: `make run` opens the viewer on a sample, `make test` runs every
# test. Both install what is missing first.
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 30
SAMPLE      ?= samples/welcome.pd

.PHONY: all deps build run test test-sanitize fuzz bench clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD)

run: build
	@scripts/run-viewer $(BUILD)/tarnwick $(SAMPLE)

test: build
	@cd $(BUILD) && ctest --output-on-failure --timeout 300

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	@cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_ASAN)
	@cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure --timeout 600

# Each fuzz target for FUZZ_SECONDS seconds, starting from tests/fuzz/corpus.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF >/dev/null
	@cmake --build $(BUILD_FUZZ)
	@scripts/run-fuzzers $(BUILD_FUZZ) $(FUZZ_SECONDS)

bench: build
	@$(BUILD)/bench/load_bench
	@$(BUILD)/bench/convert_bench $(BUILD)/tarnwick
	@$(BUILD)/bench/viewer_bench
	@$(BUILD)/bench/find_bench
	@$(BUILD)/bench/startup_bench $(BUILD)/bench/first_page_probe
	@bench/print_bench $(BUILD)/tarnwick
	@bench/pandoc_compare $(BUILD)/tarnwick

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
