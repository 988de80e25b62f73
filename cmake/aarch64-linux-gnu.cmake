# Cross build for AArch64 Linux with Debian's cross compiler and arm64
# multiarch libraries; tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# Without -E the cross loader would pick up the multiarch libc, and every
# dynamically linked program hangs at its first thread.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
set(ZELVAN_NM aarch64-linux-gnu-nm CACHE STRING "")
set(ZELVAN_READELF aarch64-linux-gnu-readelf CACHE STRING "")
set(ZELVAN_OBJDUMP aarch64-linux-gnu-objdump CACHE STRING "")
