# make test  — install what is missing, build everything for 32-bit Windows, run all tests under Wine
# make demo  — run the first example worksheet against the simulated bench and show the values
# make bench — conversion and processing-cycle benchmarks (not part of make test)
# make soak  — millions of processing cycles on one bus, one summary line (SOAK_CYCLES sets the count)
# make dist  — the release package dist/extavik-VERSION-win32.zip, from a clean build in build-dist
# make fuzz  — fuzz the pure units (FUZZ_SECONDS per target) and keep the new corpus in fuzz/corpus
# ARCH=x86_64 builds and runs the 64-bit portability variant instead (in build-x86_64, win64 prefix).
# I386=emulate|native forces how 32-bit x86 code runs (see scripts/setup.sh).
ARCH ?= i686
ifeq ($(ARCH),i686)
BUILD ?= $(CURDIR)/build
else
BUILD ?= $(CURDIR)/build-$(ARCH)
endif
JOBS ?= 2
TOOLCHAIN := $(CURDIR)/cmake/mingw-$(ARCH).cmake
RUN := ARCH=$(ARCH) BUILD=$(BUILD) $(CURDIR)/scripts/with-display.sh
export ARCH

.PHONY: all setup configure build test demo bench fuzz soak dist clean

all: build

setup:
	@$(CURDIR)/scripts/setup.sh

configure: setup
	@test -f $(TOOLCHAIN) || { echo "ARCH=$(ARCH): no cmake/mingw-$(ARCH).cmake (use i686 or x86_64)"; exit 2; }
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

# Only what ships is built (gpibrun depends on every DLL of the package).
DIST_BUILD := $(CURDIR)/build-dist
dist: setup
	@rm -rf $(DIST_BUILD)
	@cmake -S $(CURDIR) -B $(DIST_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(DIST_BUILD) -j$(JOBS) --target dist

clean:
	rm -rf $(BUILD)
