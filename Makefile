# Tarnwick: `make run` opens the viewer on a sample, `make test` runs every
# test. Both install what is missing first, each only what it uses.
# `make install` (PREFIX, DESTDIR) installs the program and its desktop
# files, `make uninstall` removes them; `make package` builds a Debian package of them.
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_FUZZ  ?= build-fuzz
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
FUZZ_SECONDS ?= 30
FUZZ_LONG_SECONDS ?= 600
SAMPLE      ?= samples/welcome.pd
PREFIX      ?= /usr/local
DESTDIR     ?=

.PHONY: all deps build run test test-sanitize fuzz fuzz-build fuzz-long bench check-readers format architecture install uninstall package clean

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
# metainfo under PREFIX (staged under DESTDIR when set). Run by another
# user than the build folder's owner (`sudo make install` after `make`),
# it installs what is built and writes nothing in the build folder, so
# that the owner's next `make` still works. The list of what was
# installed goes with it, for `make uninstall`.
MANIFEST = $(DESTDIR)$(PREFIX)/share/tarnwick/install-manifest.txt

install:
	@if [ "$$(stat -L -c %u $(BUILD) 2>/dev/null || id -u)" = "$$(id -u)" ]; then \
	  scripts/install-deps build && $(configure) && cmake --build $(BUILD) -t tarnwick manpage; \
	elif [ ! -x $(BUILD)/tarnwick ] || [ ! -f $(BUILD)/data/tarnwick.1.gz ]; then \
	  echo "make install: $(BUILD)/ is not built; run 'make' as its owner first" >&2; exit 1; \
	fi
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)
	@# cmake --install leaves its list of files in the build folder: it
	@# goes with the installed files instead.
	@mkdir -p "$(dir $(MANIFEST))"
	@mv $(BUILD)/install_manifest.txt "$(MANIFEST)"

# Removes what `make install` installed under the same PREFIX (and
# DESTDIR), then refreshes the desktop's caches there.
uninstall:
	@if [ ! -f "$(MANIFEST)" ]; then \
	  echo "make uninstall: nothing installed by make install under $(DESTDIR)$(PREFIX)" >&2; exit 1; \
	fi
	@while IFS= read -r f || [ -n "$$f" ]; do rm -f "$$f"; done < "$(MANIFEST)"
	@rm -f "$(MANIFEST)"
	@rmdir "$(dir $(MANIFEST))" 2>/dev/null || true
	@if [ -z "$(DESTDIR)" ]; then \
	  share="$(PREFIX)/share"; \
	  ! command -v update-mime-database >/dev/null || update-mime-database "$$share/mime" >/dev/null 2>&1 || true; \
	  ! command -v update-desktop-database >/dev/null || update-desktop-database -q "$$share/applications" 2>/dev/null || true; \
	  [ ! -f "$$share/icons/hicolor/index.theme" ] || ! command -v gtk-update-icon-cache >/dev/null || \
	    gtk-update-icon-cache -q -t "$$share/icons/hicolor" 2>/dev/null || true; \
	fi

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

# The architecture picture, drawn from its text source.
architecture:
	@scripts/install-deps docs
	@dot -Tsvg docs/architecture.dot -o docs/architecture.svg

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
	@$(BUILD)/bench/computing_bench $(BUILD)/tarnwick
	@bench/libreoffice_compare $(BUILD)/tarnwick

# The real documents' RTF and HTML read back by LibreOffice and Chromium,
# and the spreadsheets' CSV by LibreOffice Calc (installed when missing;
# not part of make test, LibreOffice is large).
check-readers: build
	@scripts/check-readers $(BUILD)/tarnwick
	@scripts/check-csv-roundtrip $(BUILD)/tarnwick

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)
