# Two commands on a fresh Debian 12 machine: `make run` and `make test`.
# Each first installs what is missing (scripts/setup.sh), then configures and builds
# incrementally.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

configure = test -f $(1)/CMakeCache.txt || cmake -S . -B $(1) -G Ninja -DVELLOMARIN_WERROR=ON $(2) $(CMAKE_ARGS)

.PHONY: all build run test test-asan clean

all: build

build:
	@scripts/setup.sh build
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS)

run:
	@scripts/setup.sh run
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS) --target vellomarin
	@$(BUILD)/src/vellomarin

test:
	@scripts/setup.sh test
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS)
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@scripts/setup.sh test
	@$(call configure,$(ASAN_BUILD),-DVELLOMARIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
