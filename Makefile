# The two set-up commands of a fresh Debian 12 machine (as root):
#   make run    install what is needed, build, and start the system
#   make test   install what is needed, build, and run the whole test suite
# and the parts they are made of.

BUILD       ?= build
BUILD_ASAN  ?= build-asan
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps deps-test build build-asan run test test-fast test-asan clean

all: build

deps:
	@scripts/install-deps.sh

deps-test:
	@scripts/install-deps.sh --test

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAR_BUILD_TESTS=OFF -DAR_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# Until the control program takes over, running the system means seeding the data folder
# from the initial databases when it holds none, then one processing run for all
# autoresponders.
run: build
	@data=$$($(BUILD)/tools/seed_data $(BUILD)/bin) && echo "data folder: $$data" && \
	$(BUILD)/bin/ostrel 0 && echo "processing run finished; trace log: $$data/debug/tracepop.log"

test: deps-test test-fast test-asan

test-fast:
	cmake -S . -B $(BUILD)-test -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-test -j $(JOBS)
	cd $(BUILD)-test && ctest --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over the same suite.
test-asan:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DAR_SANITIZE=ON -DAR_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-test $(BUILD_ASAN)
