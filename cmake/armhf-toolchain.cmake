# Cross-compiles for the stand's Raspberry Pi 3 (32-bit Debian, armhf) on a
# Debian machine with crossbuild-essential-armhf and the :armhf development
# packages (libbcm2835-dev, libgtest-dev, libgmock-dev; scripts/deps installs
# them). Headers are the shared /usr/include ones; libraries and package files
# come from the armhf multiarch directories (CMAKE_LIBRARY_ARCHITECTURE).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

# The cross toolchain's tree and the multiarch directory first; build tools
# are the machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf /usr/lib/arm-linux-gnueabihf)
set(CMAKE_LIBRARY_PATH /usr/lib/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Tests and test discovery run the armhf programs under user-mode emulation.
# No binfmt registration is assumed: an emulated program cannot start another
# armhf program by itself (tests/CMakeLists.txt says how the tests manage).
# The programs are linked against the cross toolchain's C library, so they run
# with it: with Debian's own armhf libc6 installed too (SQLite's armhf package
# pulls it in), the loader's cache would otherwise hand the cross loader that
# other C library, and the programs would crash at their first thread.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabihf -E LD_LIBRARY_PATH=/usr/arm-linux-gnueabihf/lib)

# GCC notes on every std::vector iterator passed by value that its ABI for
# such arguments changed in GCC 7.1; everything here is built by one compiler.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
