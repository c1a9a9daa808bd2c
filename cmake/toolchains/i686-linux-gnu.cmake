# 32-bit x86: the i386 instruction set (preset i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i386)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_C_FLAGS_INIT "-march=i386")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Run here under qemu-user (Debian's i386 C library needs at least a pentium2 model) with
# the target's C library from its cross sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -cpu pentium2 -L ${CMAKE_FIND_ROOT_PATH})
set(LABS_TARGET i386)
