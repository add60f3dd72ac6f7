# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the
# tests run under qemu-user. TARNWICK_SYSROOT (optional) names a directory
# where Debian's arm64 packages were unpacked (the Python headers and an
# interpreter for the module's build and tests); the cross toolchain's own
# root holds the C and C++ runtimes.
#   cmake -S . -B build/aarch64 \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(TARNWICK_AARCH64_RUNTIME /usr/aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${TARNWICK_AARCH64_RUNTIME})

# Libraries, headers and packages from the target's roots only; programs
# (the host's tools) from the host.
set(CMAKE_FIND_ROOT_PATH ${TARNWICK_AARCH64_RUNTIME})
if(DEFINED ENV{TARNWICK_SYSROOT})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{TARNWICK_SYSROOT})
  # Debian's python3.x/pyconfig.h includes the target's own, from
  # <aarch64-linux-gnu/python3.x/pyconfig.h>.
  set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES $ENV{TARNWICK_SYSROOT}/usr/include)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
