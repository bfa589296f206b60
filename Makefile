# Front door: each target installs the missing Debian packages of its own set
# (scripts/packages.txt: run, demo, test), configures and builds. Three build folders, so
# switching between them never reconfigures:
#   build/       the program alone (make build, run, install, demo): no tests, no benchmarks
#   build-test/  the program, the tests and the benchmarks, warnings as errors (make test, bench)
#   build-asan/  the same under AddressSanitizer, LeakSanitizer and UBSan (make test-asan)
BUILD      ?= build
TEST_BUILD ?= build-test
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

PROGRAM_SETTINGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
TEST_SETTINGS    := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DPELLOWAY_STRICT=ON
ASAN_SETTINGS    := -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=ON -DPELLOWAY_STRICT=ON -DPELLOWAY_SANITIZE=ON
CTEST            := QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# $(call configure,FOLDER,SETTINGS): runs CMake when the folder's cache is missing or does
# not hold every one of SETTINGS (CMAKE_ARGS are passed along then).
define configure
	@(for s in $(2); do kv=$${s#-D}; \
	    grep -qsE "^$${kv%%=*}:[A-Z]+=$${kv#*=}$$" $(1)/CMakeCache.txt || exit 1; \
	done) || cmake -S . -B $(1) $(2) $(CMAKE_ARGS)
endef

.PHONY: all deps deps-demo deps-test configure configure-test build build-test run test test-asan demo \
        install format format-check bench bench-pop3 clean

all: build

deps:
	@scripts/ensure-packages run

deps-demo:
	@scripts/ensure-packages demo

deps-test:
	@scripts/ensure-packages test

configure: deps
	$(call configure,$(BUILD),$(PROGRAM_SETTINGS))

configure-test: deps-test
	$(call configure,$(TEST_BUILD),$(TEST_SETTINGS))

build: configure
	cmake --build $(BUILD) -j $(JOBS)

build-test: configure-test
	cmake --build $(TEST_BUILD) -j $(JOBS)

# The build's program keeps its files where an installed one does: ~/.config/pelloway.
run: build
	$(BUILD)/app/pelloway

test: build-test
	cd $(TEST_BUILD) && $(CTEST)

test-asan: deps-test
	$(call configure,$(ASAN_BUILD),$(ASAN_SETTINGS))
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(CTEST)

demo: deps-demo build
	scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	scripts/check-format --fix

# What `make test` checks too (its "format" test): every tracked source as .clang-format has it.
format-check:
	scripts/check-format

# One after another, so that nothing else of the build runs beside a benchmark.
bench: configure-test
	cmake --build $(TEST_BUILD) --target bench

bench-pop3: configure-test
	cmake --build $(TEST_BUILD) --target bench-pop3

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(ASAN_BUILD)
