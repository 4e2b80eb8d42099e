# Front door: make | make test | make run | make asan | make tsan | make fuzz | make bench | make package
BUILD        ?= build
ASAN_BUILD   ?= build-asan
TSAN_BUILD   ?= build-tsan
FUZZ_BUILD   ?= build-fuzz
JOBS         ?= 2
FUZZ_SECONDS ?= 60
BUILD_TYPE   ?= RelWithDebInfo
CMAKE_FLAGS  ?=
# Configure quietly: warnings and errors only. cmake prints its three closing
# lines ("-- Configuring done", "-- Generating done", "-- Build files have
# been written to") at any log level; they are dropped from its standard
# output, while its warnings and errors (standard error) and its exit status
# (pipefail) are kept.
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c
CMAKE_QUIET = 2>&1 | sed -E '/^-- (Configuring done|Generating done|Build files have been written to)/d'
CMAKE_CONFIGURE = cmake -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)
# The sanitizer builds: light optimisation and line tables only, which
# compile in less than half the time of -O2 -g and still give file and line
# in every report.
CMAKE_SANITIZE = cmake -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g1" $(CMAKE_FLAGS)
# Every test is headless and keeps its temporary files in the build tree.
TEST_ENV = QT_QPA_PLATFORM=offscreen

.PHONY: all deps configure build test run sim asan tsan fuzz bench screenshot package clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	@echo "configure: $(BUILD)/"
	@$(CMAKE_CONFIGURE) -S . -B $(BUILD) $(CMAKE_QUIET)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && $(TEST_ENV) ctest --output-on-failure -j $(JOBS)

# Builds only the console and the simulated module.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pravik pravik-sim
	@$(BUILD)/pravik --simulate

sim: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pravik-sim
	$(BUILD)/pravik-sim

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer. The one
# known leak, inside the system's fontconfig, is suppressed by name.
asan: deps
	@echo "configure: $(ASAN_BUILD)/ (address, undefined)"
	@$(CMAKE_SANITIZE) -S . -B $(ASAN_BUILD) -DPRAVIK_SANITIZE=address,undefined $(CMAKE_QUIET)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(TEST_ENV) \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer on what has threads of its own: the serial channel and its
# queue, the packet manager over a pseudo-terminal, the simulated module, the
# real-time message loop that takes posts from other threads, and pravik-cli
# (its tests run the ThreadSanitizer build of the program).
# (Qt's painting races inside Qt and is left out.) Address-space
# randomisation is switched off for the run: this TSan cannot map its shadow
# under the kernel's large random offsets.
TSAN_TESTS = pravik-tests-platform pravik-tests-link pravik-tests-protocol pravik-tests-sim pravik-tests-cli
tsan: deps
	@echo "configure: $(TSAN_BUILD)/ (thread)"
	@$(CMAKE_SANITIZE) -S . -B $(TSAN_BUILD) -DPRAVIK_SANITIZE=thread $(CMAKE_QUIET)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS) pravik-sim
	@set -e; for t in $(TSAN_TESTS); do \
	  echo "== $$t"; \
	  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 setarch $$(uname -m) -R $(TSAN_BUILD)/tests/$$t --gtest_brief=1; \
	done

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target pravik-bench
	$(BUILD)/bench/pravik-bench

fuzz:
	@scripts/install-deps clang libclang-rt-14-dev llvm
	@echo "configure: $(FUZZ_BUILD)/ (clang, libFuzzer, address, undefined)"
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPRAVIK_FUZZ=ON $(CMAKE_QUIET)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

screenshot: configure
	@cmake --build $(BUILD) -j $(JOBS) --target pravik
	QT_QPA_PLATFORM=offscreen $(BUILD)/pravik --screenshot docs/main-window.png

# A Debian package of the console, the command-line program and the
# simulated module (CPack).
package: configure
	@scripts/install-deps dpkg-dev file
	@cmake --build $(BUILD) -j $(JOBS) --target pravik pravik-cli pravik-sim pravik-dissector
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/pravik_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
