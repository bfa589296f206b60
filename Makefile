# Front door: each target installs the missing Debian packages of its own set
# (scripts/packages.txt: run, demo, test), configures and builds.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

.PHONY: all deps deps-demo deps-test configure build run test test-asan demo install format bench bench-pop3 clean

all: build

deps:
	@scripts/ensure-packages run

deps-demo:
	@scripts/ensure-packages demo

deps-test:
	@scripts/ensure-packages test

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The build's program keeps its files where an installed one does: ~/.config/pelloway.
run: build
	$(BUILD)/app/pelloway

test: deps-test build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

test-asan: deps-test
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPELLOWAY_SANITIZE=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: deps-demo build
	scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'fuzz/*.cpp' 'scripts/*.cpp')

bench: deps-test build
	cmake --build $(BUILD) --target bench

bench-pop3: deps-test build
	cmake --build $(BUILD) --target bench-pop3

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
