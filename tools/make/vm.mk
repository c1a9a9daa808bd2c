# The kernel module's lab. CMake builds the module (with the kernel's build system), the
# client and the VM tests; this step fetches, once, the Debian kernel image the VM boots.
BUILD_STEPS += vm-kernel

.PHONY: vm-kernel
vm-kernel: setup
	@vmlab/fetch-kernel >/dev/null
