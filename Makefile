# Tarnwick: `make run` opens the viewer on a sample, `make test` runs every
# test. Both install what is missing first, each only what it uses.
# `make install` (PREFIX, DESTDIR) installs the program and its desktop
# files; `make package` builds a Debian package of them.
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 30
FUZZ_LONG_SECONDS ?= 600
SAMPLE      ?= samples/welcome.pd
PREFIX      ?= /usr/local
DESTDIR     ?=

.PHONY: all deps build run test test-sanitize fuzz fuzz-build fuzz-long bench check-readers format install package clean

configure = cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

all: build

deps:
	@scripts/install-deps test

build:
	@scripts/install-deps build
	@$(configure)
	@cmake --build $(BUILD)

run:
	@scripts/install-deps run
	@$(configure)
	@cmake --build $(BUILD) -t tarnwick
	@scripts/run-viewer $(BUILD)/tarnwick $(SAMPLE)

test:
	@scripts/install-deps test
	@$(configure)
	@cmake --build $(BUILD)
	@cd $(BUILD) && ctest --output-on-failure --timeout 300

# The program, desktop entry, icon, file types, man page, completion and
# metainfo under PREFIX (staged under DESTDIR when set).
install:
	@scripts/install-deps build
	@$(configure)
	@cmake --build $(BUILD) -t tarnwick manpage
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files, checked with dpkg-deb.
package:
	@scripts/install-deps package
	@$(configure)
	@cmake --build $(BUILD) -t tarnwick manpage
	@cd $(BUILD) && cpack -G DEB >/dev/null
	@scripts/check-package $(BUILD)/tarnwick_*.deb

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@scripts/install-deps test
	@cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD_ASAN)
	@cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure --timeout 600

fuzz-build:
	@scripts/install-deps fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF >/dev/null
	@cmake --build $(BUILD_FUZZ)

# Each fuzz target for FUZZ_SECONDS seconds (bounded, for CI), starting
# from tests/fuzz's seeds, the real documents and generated long lines.
fuzz: fuzz-build
	@scripts/run-fuzzers $(BUILD_FUZZ) $(FUZZ_SECONDS)

# The same for longer runs: `make fuzz-long FUZZ_SECONDS=3600`.
fuzz-long: FUZZ_SECONDS = $(FUZZ_LONG_SECONDS)
fuzz-long: fuzz-build
	@scripts/run-fuzzers $(BUILD_FUZZ) $(FUZZ_SECONDS)

# Lays out every C++ file by .clang-format.
format:
	@scripts/install-deps format
	@git ls-files '*.cpp' '*.h' ':!tests/data' | xargs clang-format -i

bench:
	@scripts/install-deps bench
	@$(configure)
	@cmake --build $(BUILD)
	@$(BUILD)/bench/load_bench
	@$(BUILD)/bench/convert_bench $(BUILD)/tarnwick
	@$(BUILD)/bench/convert_bench --dense $(BUILD)/tarnwick
	@$(BUILD)/bench/viewer_bench
	@$(BUILD)/bench/find_bench
	@$(BUILD)/bench/startup_bench $(BUILD)/bench/first_page_probe
	@$(BUILD)/bench/long_line_bench $(BUILD)/tarnwick $(BUILD)/bench/first_page_probe
	@bench/print_bench $(BUILD)/tarnwick
	@bench/pandoc_compare $(BUILD)/tarnwick
	@$(BUILD)/bench/csv_bench $(BUILD)/tarnwick
	@bench/libreoffice_compare $(BUILD)/tarnwick

# The real documents' RTF and HTML read back by LibreOffice and Chromium,
# and the spreadsheets' CSV by LibreOffice Calc (installed when missing;
# not part of make test, LibreOffice is large).
check-readers: build
	@scripts/check-readers $(BUILD)/tarnwick
	@scripts/check-csv-roundtrip $(BUILD)/tarnwick

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
