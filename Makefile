# make test  — install what is missing, build everything for 32-bit Windows, run all tests under Wine
# make demo  — run the first example worksheet against the simulated bench and show the values
# make bench — conversion and processing-cycle benchmarks (not part of make test)
# make soak  — millions of processing cycles on one bus, one summary line (SOAK_CYCLES sets the count)
# make fuzz  — fuzz the pure units (FUZZ_SECONDS per target) and keep the new corpus in fuzz/corpus
BUILD ?= $(CURDIR)/build
JOBS ?= 2
TOOLCHAIN := $(CURDIR)/cmake/mingw-i686.cmake
RUN := BUILD=$(BUILD) $(CURDIR)/scripts/with-display.sh

.PHONY: all setup configure build test demo bench fuzz clean

all: build

setup:
	@$(CURDIR)/scripts/setup.sh

configure: setup
	@cmake -S $(CURDIR) -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	@$(RUN) ctest --test-dir $(BUILD) --output-on-failure

demo: build
	@$(RUN) $(CURDIR)/scripts/demo.sh

bench: build
	@$(RUN) $(CURDIR)/scripts/bench.sh

fuzz:
	@FUZZ_BUILD=$(BUILD)/fuzz $(CURDIR)/scripts/fuzz.sh

soak: configure
	@cmake --build $(BUILD) -j$(JOBS) --target gpib_soak
	@$(RUN) $(CURDIR)/scripts/soak.sh

clean:
	rm -rf $(BUILD)
