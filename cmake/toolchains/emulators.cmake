# How the 32-bit programs run on this x86-64 machine: under qemu-user, with the target's
# C library from its cross sysroot. The ARM CPU model is an ARMv5 one, so an instruction
# newer than v5 traps; Debian's i386 C library needs at least a pentium2 model.
# Used by the toolchain files and by the tests that run the cross-built programs.
set(LABS_ARM_EMULATOR qemu-arm -cpu arm926 -L /usr/arm-linux-gnueabi)
set(LABS_I386_EMULATOR qemu-i386 -cpu pentium2 -L /usr/i686-linux-gnu)
