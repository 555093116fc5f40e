# Cross build for 64-bit ARM Linux (aarch64) with Debian's g++-aarch64-linux-gnu, used by
# scripts/test-aarch64 (the preset aarch64):
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The libraries without Qt, GDAL or Python, the command-line tool, the C library and their
# tests. The programs run under qemu-user (qemu-aarch64, Debian's qemu-user), which ctest puts
# before each test command and the build before its helpers (the synthetic grid writer,
# GoogleTest's test discovery); it finds the C and C++ libraries in the sysroot that Debian
# installs with the cross compiler.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VORTAN_AARCH64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VORTAN_AARCH64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VORTAN_AARCH64_TRIPLET}-g++)

set(VORTAN_AARCH64_SYSROOT /usr/${VORTAN_AARCH64_TRIPLET})
set(CMAKE_FIND_ROOT_PATH ${VORTAN_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VORTAN_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(NOT VORTAN_QEMU_AARCH64)
  message(FATAL_ERROR "qemu-aarch64 was not found, and the build runs its helpers with it: "
                      "install the Debian package qemu-user (scripts/install-deps).")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORTAN_QEMU_AARCH64} -L ${VORTAN_AARCH64_SYSROOT})
