# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu); the programs and the tests run here under
# user-mode emulation (qemu-aarch64, Debian's qemu-user).
#
# Branch protection (hardening.cmake) gives each of our objects the BTI/PAC
# property note, but the linked programs carry none: the linker keeps the
# note only when every input has it, and Debian builds its static C library
# (libc.a and the start files crt1, crti, crtn), libstdc++.a, libgcc.a and
# GCC's crtbegin/crtend without branch protection. Our functions still sign
# and check their return addresses (PAC works without the note); only the
# kernel's BTI enforcement, which the note asks for, stays off.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(fc_cross_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${fc_cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${fc_cross_triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${fc_cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Configure checks, test discovery and ctest run the programs under the
# emulator. The test programs are linked dynamically: -L names the folder
# of the target's loader and libraries. The shipped programs are static and
# need none of it.
find_program(FC_QEMU_AARCH64 qemu-aarch64)
if(NOT FC_QEMU_AARCH64)
  message(FATAL_ERROR "qemu-aarch64 not found: install Debian's qemu-user")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${FC_QEMU_AARCH64} -L ${CMAKE_FIND_ROOT_PATH})
