# The two commands of the README: `make test` and `make demo`.
# Both install missing system packages first (scripts/install-deps).

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo demo-snmp screenshots package fuzz-snmp check-sanitize coverage fuzz bench bench-fleet format clean

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	BUILD_DIR=$(BUILD_DIR) ./scripts/demo

# tavo-console against a private snmpd of this machine, as an snmp-host.
demo-snmp: build
	BUILD_DIR=$(BUILD_DIR) ./scripts/demo-snmp

# Pictures of tavo-client in use under Xvfb, into $(BUILD_DIR)/screenshots.
screenshots: build
	BUILD_DIR=$(BUILD_DIR) ./scripts/screenshots

# Debian packages (runtime and development) from CPack, left in $(BUILD_DIR).
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# AddressSanitizer and UndefinedBehaviorSanitizer build in a directory of its own.
check-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=ON -DTAVO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS) --timeout 600 -LE packaging

# Line and branch coverage of kernel/, plugins/ and tools/ by every test, in
# a build of its own; the programs the tests start write their counts when
# they are stopped with SIGTERM. A flaky test gets a second run, as the
# instrumented build is slower.
COVERAGE_DIR ?= build-coverage
coverage:
	./scripts/install-deps coverage
	cmake -S . -B $(COVERAGE_DIR) -DCMAKE_BUILD_TYPE=Debug -DTAVO_COVERAGE=ON -DTAVO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(COVERAGE_DIR) -j $(JOBS)
	find $(COVERAGE_DIR) -name '*.gcda' -delete
	cd $(COVERAGE_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 900 --repeat until-pass:2
	./scripts/coverage-report $(COVERAGE_DIR)

# libFuzzer on the tavo protocol's decoder, with ASan and UBSan, for
# FUZZ_SECONDS (60); needs clang, which install-deps adds for this target.
# Seeded with the recorded exchanges of tests/plugins/corpus; what it finds
# goes to the first directory, the build's.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	./scripts/install-deps fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=ON \
		-DTAVO_FUZZ=ON -DTAVO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_tavo_decoder
	mkdir -p $(FUZZ_DIR)/corpus
	ASAN_OPTIONS=detect_leaks=0 $(FUZZ_DIR)/tests/plugins/fuzz_tavo_decoder $(FUZZ_DIR)/corpus \
		tests/plugins/corpus -max_total_time=$(FUZZ_SECONDS) -max_len=8192

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do \
		case "$$b" in *bench_fleet) continue;; esac; [ -x "$$b" ] && "$$b"; done; true

# One tavo-console against simulated fleets of 100, 500, 1000 and 2000 hosts,
# FLEET_SECONDS (35) each: one "fleet:" line per fleet.
FLEET_SECONDS ?= 35
bench-fleet: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target bench_fleet
	$(BUILD_DIR)/bench/bench_fleet --seconds=$(FLEET_SECONDS)

format:
	find kernel tests tools plugins bench -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(COVERAGE_DIR) $(COVERAGE_DIR)-per-test

# libFuzzer on the SNMP message decoder (net-snmp's parser underneath).
fuzz-snmp:
	./scripts/install-deps fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=ON \
		-DTAVO_FUZZ=ON -DTAVO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_snmp_decoder
	mkdir -p $(FUZZ_DIR)/corpus-snmp
	ASAN_OPTIONS=detect_leaks=0 $(FUZZ_DIR)/tests/plugins/snmp/fuzz_snmp_decoder \
		$(FUZZ_DIR)/corpus-snmp -max_total_time=$(FUZZ_SECONDS) -max_len=4096
