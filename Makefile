# The collection's front door for make: `make tour` builds everything and shows it
# working, `make test` builds everything and runs every test. Both install what is missing.
# Further build and test steps (other targets, the kernel module) come from tools/make/*.mk,
# which add their own rules to BUILD_STEPS and TEST_STEPS.
PRESET ?= default
JOBS := $(shell nproc)
BUILD_STEPS := build-main
TEST_STEPS := test-main

.PHONY: all setup configure build build-main tour test test-main test-asan list clean
all: build

-include $(sort $(wildcard tools/make/*.mk))

setup:
	@tools/setup

configure: setup
	@test -f build/$(PRESET)/build.ninja || cmake --preset $(PRESET) >/dev/null
	@ln -sfn build/default/compile_commands.json compile_commands.json

build-main: configure
	@cmake --build --preset $(PRESET)

build: $(BUILD_STEPS)

tour: build
	@./labs tour

list:
	@./labs list

test-main: build
	@ctest --preset $(PRESET) -j $(JOBS)

test: $(TEST_STEPS)

# The main suite again, built and run under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@$(MAKE) --no-print-directory build-main test-main PRESET=asan

clean:
	rm -rf build compile_commands.json
