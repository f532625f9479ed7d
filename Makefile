# The commands the README gives. Every target installs what is missing first.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
# Seconds each fuzz target runs: briefly in make test, longer in make fuzz.
FUZZ_SECONDS ?= 10
FUZZERS = fuzz_outline fuzz_edits fuzz_logparser fuzz_pdfsync fuzz_encodings
JOBS ?= 2
# The tests in which several threads share the document model, and the planted race
# that proves ThreadSanitizer still sees races on our own strings. The console test
# is left out: Qt's thread pool and Qt PDF's renderer thread hand data over inside
# the uninstrumented Qt, in functions Qt does not export, which ThreadSanitizer
# reports as races; a suppression wide enough to name them (all of libQt6Core)
# would hide the planted race as well.
THREADED_TESTS = tst_editpipeline tst_livemodel tst_qsfilepool tst_latexlogparser tsan_seesstringraces

.PHONY: deps configure build run install package test test-sanitize test-tsan test-fuzz fuzz soak bench clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Opens the example thesis. Without a display: xvfb-run make run
run: build
	$(BUILD_DIR)/quillset examples/thesis/thesis.tex

# Installs under /usr/local (PREFIX=/usr for the system's own place); run as root.
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# A Debian package in build/: sudo apt-get install ./build/quillset_*.deb
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# The tests run as built for users, then under AddressSanitizer and
# UndefinedBehaviorSanitizer, which turn memory and undefined-behaviour faults into
# failures, and the threaded ones under ThreadSanitizer.
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-sanitize
	$(MAKE) test-tsan
	$(MAKE) test-fuzz

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUILLSET_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS) --target quillset_tests
	cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSET_TSAN=ON
	cmake --build $(TSAN_DIR) -j $(JOBS) --target $(THREADED_TESTS)
	cd $(TSAN_DIR) && ctest --output-on-failure -R '^($(subst $() ,|,$(THREADED_TESTS)))$$'

# The fuzz targets, built with clang's libFuzzer under AddressSanitizer and UBSan,
# each run for FUZZ_SECONDS from its seeds in tests/fuzz/corpus; what they find
# new goes into $(FUZZ_DIR)/corpus, a crashing input into $(FUZZ_DIR).
test-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSET_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target quillset_fuzzers
	for fuzzer in $(FUZZERS); do \
	  mkdir -p $(FUZZ_DIR)/corpus/$$fuzzer && \
	  $(FUZZ_DIR)/tests/fuzz/$$fuzzer -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus/$$fuzzer tests/fuzz/corpus/$$fuzzer \
	    || exit 1; \
	done

fuzz:
	$(MAKE) test-fuzz FUZZ_SECONDS=1800

# 100,000 random edits through the text view and the edit worker.
soak: build
	QT_QPA_PLATFORM=offscreen QUILLSET_SOAK_EDITS=100000 $(BUILD_DIR)/tests/tst_livemodel

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quillset_bench
	$(BUILD_DIR)/bench/quillset_bench

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(TSAN_DIR) $(FUZZ_DIR)
