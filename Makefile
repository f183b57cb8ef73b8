# The two commands: `make test` and `make demo`. Both install what is missing first.
BUILD_DIR ?= build
RELEASE_DIR ?= build/release
TSAN_DIR ?= build/tsan
JOBS ?= $(shell nproc)
FUZZ_DIR ?= $(BUILD_DIR)/fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build test tsan demo bench fuzz fuzz-large format clean

all: build

deps:
	bash tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The threaded tests under ThreadSanitizer, in a clang build of their own (not part of `test`).
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRV_TSAN=ON \
		-DTRV_BUILD_BENCH=OFF -DTRV_CHECK_HEADERS=OFF
	cmake --build $(TSAN_DIR) -j $(JOBS) --target trv_tsan_tests
	cd $(TSAN_DIR) && ctest -R '^tsan\.' --output-on-failure -j $(JOBS) --timeout 600

demo: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTRV_BUILD_TESTS=OFF -DTRV_BUILD_BENCH=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target trevantor
	$(RELEASE_DIR)/bin/trevantor

bench: build
	@for b in $(BUILD_DIR)/bench/*/bench_*; do echo "== $$b"; $$b; done

# Every fuzz target for FUZZ_SECONDS each, JOBS at a time, from a clang build of its own; new
# crashes, the grown corpora and the logs stay under $(FUZZ_DIR).
fuzz: deps
	cmake -S . -B $(FUZZ_DIR)/clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRV_FUZZ=ON \
	  -DTRV_BUILD_TESTS=OFF -DTRV_BUILD_BENCH=OFF -DTRV_CHECK_HEADERS=OFF
	cmake --build $(FUZZ_DIR)/clang -j $(JOBS) --target trv_fuzz_targets
	bash tools/run-fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(JOBS)

# Each parser over 64 MB of random bytes (made once, kept out of git): no crash, and a peak
# resident size within four times the input.
fuzz-large: build
	bash tools/fuzz-large-input.sh $(BUILD_DIR)

format:
	find src tests bench -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
