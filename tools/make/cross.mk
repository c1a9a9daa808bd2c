# The 32-bit ARM and i386 builds of the optimisation demos (presets arm and i386), built
# with everything else. Their tests are part of the main suite, which runs them under
# qemu-user, so the sanitizer build's suite needs them built as well.
BUILD_STEPS += build-arm build-i386

.PHONY: build-arm build-i386
build-arm build-i386: build-%: setup
	@test -f build/$*/build.ninja || cmake --preset $* >/dev/null
	@cmake --build --preset $*

test-asan: build-arm build-i386
