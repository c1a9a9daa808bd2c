# 32-bit ARM: ARMv5T, ARM (not Thumb) instruction set, soft-float EABI (preset arm).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_C_FLAGS_INIT "-march=armv5t -marm -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT}")
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Run here under qemu-user with an ARMv5 CPU model (a newer instruction traps) and the
# target's C library from its cross sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -cpu arm926 -L ${CMAKE_FIND_ROOT_PATH})
set(LABS_TARGET arm)
