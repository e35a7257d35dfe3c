# Two commands on a fresh Debian 12 or 13 machine: `make run` and `make test`.
# Each first installs what is missing (scripts/setup.sh), then configures and builds
# incrementally.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
BENCH_BUILD ?= build-bench
PKG_BUILD  ?= build-deb
PKG_OUT    ?= out
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

# A build folder is configured once; CMAKE_ARGS given later are applied to it again.
configure = if [ ! -f $(1)/CMakeCache.txt ] || [ -n "$(CMAKE_ARGS)" ]; then \
	cmake -S . -B $(1) -G Ninja -DVELLOMARIN_WERROR=ON $(2) $(CMAKE_ARGS); fi

.PHONY: all build run test test-asan fuzz bench soak package package-test clean

all: build

build:
	@scripts/setup.sh build
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS)

run:
	@scripts/setup.sh run
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS) --target vellomarin
	@$(BUILD)/src/app/vellomarin

test:
	@scripts/setup.sh test
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS)
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=10

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@scripts/setup.sh test
	@$(call configure,$(ASAN_BUILD),-DVELLOMARIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Arbitrary bytes into the three boxes and 設定, and as the wake helper's messages, for
# FUZZ_SECONDS each; the corpora are kept in $(FUZZ_BUILD) and grow from run to run.
# The clang is the newest of the release that has libFuzzer (scripts/setup.sh llvm).
fuzz:
	@scripts/setup.sh test
	@if [ ! -f $(FUZZ_BUILD)/CMakeCache.txt ] || [ -n "$(CMAKE_ARGS)" ]; then \
		llvm=$$(scripts/setup.sh llvm) && \
		CC=clang-$$llvm CXX=clang++-$$llvm cmake -S . -B $(FUZZ_BUILD) \
		-G Ninja -DVELLOMARIN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS); fi
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target settei_fuzzer wake_message_fuzzer
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/wake-corpus
	@scripts/fuzz.sh $(FUZZ_BUILD)/tests/fuzz/settei_fuzzer $(FUZZ_BUILD)/corpus $(FUZZ_SECONDS)
	@scripts/fuzz.sh $(FUZZ_BUILD)/tests/fuzz/wake_message_fuzzer $(FUZZ_BUILD)/wake-corpus $(FUZZ_SECONDS)

# Every figure of bench/README.md, from a Release build, printed as one table (a few minutes).
bench:
	@scripts/setup.sh bench
	@$(call configure,$(BENCH_BUILD),-DCMAKE_BUILD_TYPE=Release -DVELLOMARIN_BENCH=ON -DBUILD_TESTING=OFF)
	@cmake --build $(BENCH_BUILD) -j $(JOBS) --target benches
	@/usr/bin/python3 bench/run.py $(BENCH_BUILD)

# The real program for SOAK_MINUTES minutes with its clock sixty times as fast: alarms set,
# cancelled and heard; reports memory and rings (not part of `make test`).
SOAK_MINUTES ?= 10
soak:
	@scripts/setup.sh test
	@$(call configure,$(BUILD))
	@cmake --build $(BUILD) -j $(JOBS) --target vellomarin
	@SOAK_MINUTES=$(SOAK_MINUTES) VELLOMARIN_BUILD_DIR=$(abspath $(BUILD)) PYTHONPATH=tests \
		PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 tests/e2e/soak.py

# The Debian package, $(PKG_OUT)/vellomarin_<version>_<arch>.deb, from a build of the
# program alone with Debian's compiler and linker flags, hardening included.
# One commit gives the same bytes wherever and whenever it is built: Debian's flags map
# the source folder to "." in what the compiler records, and the build folder is mapped
# too; every time stamp (rcc's in the program, CPack's in the ar and tar files) is
# SOURCE_DATE_EPOCH, by default the commit's date, or the release date outside git. A
# build folder made with another date is built again from clean: rcc wrote the old one.
package package-test: export SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null || \
	date -u +%s -d "$$(sed -n 's/^set(VELLOMARIN_RELEASE_DATE \(.*\))$$/\1/p' packaging/CMakeLists.txt) 12:00")
package:
	@scripts/setup.sh package
	@{ [ -f $(PKG_BUILD)/CMakeCache.txt ] && [ -z "$(CMAKE_ARGS)" ]; } || { export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
		CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS) -ffile-prefix-map=$(abspath $(PKG_BUILD))=build" \
		LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
		cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF $(CMAKE_ARGS); }
	@[ "$$(cat $(PKG_BUILD)/source-date-epoch 2>/dev/null)" = "$$SOURCE_DATE_EPOCH" ] || \
		{ cmake --build $(PKG_BUILD) --target clean && echo "$$SOURCE_DATE_EPOCH" >$(PKG_BUILD)/source-date-epoch; }
	@cmake --build $(PKG_BUILD) -j $(JOBS)
	@rm -rf $(PKG_BUILD)/cpack && mkdir -p $(PKG_OUT) && rm -f $(PKG_OUT)/vellomarin_*.deb
	@cpack --config $(PKG_BUILD)/CPackConfig.cmake -B $(PKG_BUILD)/cpack
	@cp $(PKG_BUILD)/cpack/vellomarin_*.deb $(PKG_OUT)/
	@ls -l $(PKG_OUT)/vellomarin_*.deb

# That package read back with dpkg-deb and judged by lintian (a few seconds after
# `make package`; `make test` checks a package of its own build the same way).
package-test: package
	@VELLOMARIN_DEB="$$(ls $(PKG_OUT)/vellomarin_*.deb)" VELLOMARIN_BUILD_DIR=$(abspath $(PKG_BUILD)) \
		VELLOMARIN_VERSION="$$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$$/\1/p' $(PKG_BUILD)/CPackConfig.cmake)" \
		PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 tests/package/deb_package_test.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(PKG_BUILD) $(PKG_OUT)
