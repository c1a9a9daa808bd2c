# The collection's front door for make: `make tour` builds everything and shows it
# working, `make test` builds everything and runs every test. Both install what is missing.
PRESET ?= default
JOBS := $(shell nproc)

.PHONY: all setup configure build tour test test-asan list clean
all: build

setup:
	@tools/setup

configure: setup
	@test -f build/$(PRESET)/build.ninja || cmake --preset $(PRESET) >/dev/null
	@ln -sfn build/default/compile_commands.json compile_commands.json

build: configure
	@cmake --build --preset $(PRESET)

tour: build
	@./labs tour

list:
	@./labs list

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

# The same suite built and run under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@$(MAKE) --no-print-directory test PRESET=asan

clean:
	rm -rf build compile_commands.json
