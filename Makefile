# Set-up and build entry points; CMake does the real work in build/.
BUILD ?= build
SAN_BUILD ?= build-sanitize
BENCH_BUILD ?= build-bench
BENCH_SIZES ?= 10000 100000 300000
JOBS ?= 2
PREFIX ?= /usr/local

.PHONY: all deps build demo check check-sanitize bench install clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

demo: build
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

# The benchmark in Release: generated corpora of BENCH_SIZES documents (cached
# in BENCH_BUILD/bench), a first and a second run each, checked against the
# results kept from the first benchmark of each size.
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target mivo gencorpus
	bash bench/bench.sh $(BENCH_BUILD) $(BENCH_SIZES)

# The program, the shipped analyser and the manual page under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
