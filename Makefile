# Set-up and build entry points; CMake does the real work in build/.
BUILD ?= build
SAN_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
BENCH_SIZES ?= 10000 100000 300000
JOBS ?= 2
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local

.PHONY: all deps build demo check check-sanitize fuzz reliability bench effectiveness install clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The demo needs the programs only; the test programs would double its time.
demo: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target mivo mivo-analyse
	@bash scripts/demo $(BUILD)

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
check-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DMIVO_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# Every reader of outside input under libFuzzer, FUZZ_SECONDS each.
fuzz:
	@bash scripts/install-deps --fuzz
	@bash scripts/fuzz $(FUZZ_SECONDS) $(FUZZ_BUILD)

# The long trials: kills, full disks, damaged data directories, bad input,
# concurrent runs, then the fuzz targets; prints the figures of each.
reliability: build
	@bash scripts/reliability $(BUILD)
	@bash scripts/install-deps --fuzz
	@bash scripts/fuzz $(FUZZ_SECONDS) $(FUZZ_BUILD)

# The benchmark in Release: generated corpora of BENCH_SIZES documents (cached
# in BENCH_BUILD/bench), a first and a second run each, checked against the
# results kept from the first benchmark of each size.
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target mivo mivo-analyse gencorpus
	bash bench/bench.sh $(BENCH_BUILD) $(BENCH_SIZES)

# mivo's learners next to scikit-learn and fastText on the fortune corpora
# and a public mail corpus, in the Release build of the benchmark; prints
# micro-F1 and seconds per corpus. EFFECTIVENESS_RC is measured beside the
# defaults when it exists.
EFFECTIVENESS_RC ?= recommended.rc
effectiveness: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target mivo mivo-analyse
	bash bench/effectiveness $(BENCH_BUILD) $(EFFECTIVENESS_RC)

# The program, the shipped analyser and the manual page under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
