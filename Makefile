# Front door: make | make test | make run | make fuzz | make bench | make screenshot
BUILD        ?= build
FUZZ_BUILD   ?= build-fuzz
JOBS         ?= 2
FUZZ_SECONDS ?= 60
BUILD_TYPE   ?= RelWithDebInfo
CMAKE_FLAGS  ?=

.PHONY: all deps configure build test run sim fuzz bench screenshot clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

run: build
	@if [ -x $(BUILD)/pravik ]; then $(BUILD)/pravik --simulate; else $(BUILD)/pravik-sim; fi

sim: build
	$(BUILD)/pravik-sim

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target pravik-bench
	$(BUILD)/bench/pravik-bench

fuzz:
	@scripts/install-deps clang libclang-rt-14-dev llvm
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPRAVIK_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

screenshot: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/pravik --screenshot docs/main-window.png

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
