# The two set-up commands of a fresh Debian 12 machine (as root):
#   make run    install what is needed, build, and start the system
#   make test   install what is needed, build, and run the whole test suite
# and the parts they are made of.

BUILD       ?= build
BUILD_ASAN  ?= build-asan
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps deps-test build build-asan run install test test-fast test-asan fuzz clean

all: build

deps:
	@scripts/install-deps.sh

deps-test:
	@scripts/install-deps.sh --test

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAR_BUILD_TESTS=OFF -DAR_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# Application mode when a display exists; otherwise the scheduler in service mode, in the
# foreground until Ctrl-C. velquin seeds the data folder itself at its first start.
run: build
	@if [ -n "$${DISPLAY}$${WAYLAND_DISPLAY}" ]; then exec $(BUILD)/bin/velquin; \
	else echo "No display: velquin runs as the scheduler (service mode) in the foreground; Ctrl-C stops it."; \
	exec $(BUILD)/bin/velquin /s; fi

# The program folder goes to $(PREFIX)/lib/autoresponder, the service unit to systemd.
PREFIX ?= /usr/local
install: build
	install -d $(DESTDIR)$(PREFIX)/lib/autoresponder
	cp -a $(BUILD)/bin/. $(DESTDIR)$(PREFIX)/lib/autoresponder/
	install -D -m 0644 dist/velquin.service $(DESTDIR)/etc/systemd/system/velquin.service

test: deps-test test-fast test-asan

test-fast:
	cmake -S . -B $(BUILD)-test -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-test -j $(JOBS)
	cd $(BUILD)-test && ctest --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over the same suite.
test-asan:
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=Debug -DAR_SANITIZE=ON -DAR_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every fuzz target (libFuzzer, with the address and undefined-behaviour sanitizers) for
# FUZZ_SECONDS each; make test replays their corpora.
BUILD_FUZZ   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh --fuzz
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAR_FUZZ=ON -DAR_BUILD_TESTS=OFF -DAR_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target $$(cd fuzz && ls *_fuzz.cpp | sed 's/\.cpp$$//')
	scripts/fuzz.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-test $(BUILD_ASAN) $(BUILD_FUZZ)
