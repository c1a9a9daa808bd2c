# The kernel module's lab. CMake builds the module (with the kernel's build system), the
# client and the VM tests; this step fetches, once, the Debian kernel image the VM boots.
BUILD_STEPS += vm-kernel

.PHONY: vm-kernel
vm-kernel: setup
	@vmlab/fetch-kernel >/dev/null

# The debugging kernel (KASAN, UBSAN, lockdep, ...), built from Debian's kernel source once per
# machine: about 12 minutes, so never by `make build`. Once it is built, `make test` runs the
# module's VM tests on it too (ctest label debug-kernel); until then they are skipped, and
# `make test` says how to build it.
TEST_STEPS += debug-kernel-note

.PHONY: debug-kernel test-debug-kernel debug-kernel-note
debug-kernel: setup
	@vmlab/debug-kernel/build >/dev/null

test-debug-kernel: build debug-kernel
	@ctest --preset $(PRESET) -L debug-kernel -j $(JOBS)

debug-kernel-note: test-main
	@vmlab/debug-kernel/build --if-built >/dev/null || \
		echo "Not run: the kernel module's tests on the debugging kernel, which is not built." \
			"Build it once with 'make debug-kernel' (about 12 minutes); from then on 'make test' runs them."

# The module's VM tests on any kernel: make test-kernel KERNEL=IMAGE KDIR=DIR (a bzImage and
# the build tree or headers it was built with). The same as VMLAB_KERNEL and VMLAB_KDIR in
# the environment of ./labs run qb_ioctl, ./labs vm or ctest.
.PHONY: test-kernel
test-kernel: build
	@test -n "$(KERNEL)" -a -n "$(KDIR)" || { echo "make test-kernel: say KERNEL=IMAGE KDIR=DIR" >&2; exit 2; }
	@vmlab/boot --check --kernel "$(abspath $(KERNEL))" --kdir "$(abspath $(KDIR))"
	@VMLAB_KERNEL="$(abspath $(KERNEL))" VMLAB_KDIR="$(abspath $(KDIR))" \
		ctest --preset $(PRESET) -R '^driver_(vm|fuzz|session|labs_vm)$$' -j $(JOBS)

# The module's VM tests on each of Debian's kernel series the lab offers (5.10, 6.1, 6.12;
# SERIES="5.10" for fewer): fetches what is missing (about 80 MB, once), then the scenarios,
# the fuzzer, the session and the scripts on each, and a table of the results. Not part of
# `make test`: a few minutes per series.
SERIES ?=
.PHONY: test-kernels
test-kernels: build
	@BUILD_DIR=$(CURDIR)/build/$(PRESET) JOBS=$(JOBS) vmlab/test-series $(SERIES)
