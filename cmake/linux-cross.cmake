# Cross build for another Linux machine with Debian's cross compiler
# (g++-<triple>); the programs and the tests run here under user-mode
# emulation (qemu-<processor>, Debian's qemu-user). The preset names the
# machine by its Debian architecture in FC_DEBIAN_ARCH; linux_targets.cmake
# says what goes with it.
#
# On 64-bit ARM, branch protection (hardening.cmake) gives each of our
# objects the BTI/PAC property note, but the linked programs carry none: the
# linker keeps the note only when every input has it, and Debian builds its
# static C library (libc.a and the start files crt1, crti, crtn),
# libstdc++.a, libgcc.a and GCC's crtbegin/crtend without branch
# protection. Our functions still sign and check their return addresses (PAC
# works without the note); only the kernel's BTI enforcement, which the note
# asks for, stays off.
set(FC_DEBIAN_ARCH "" CACHE STRING "Debian architecture of the target machine (arm64, armhf, ...)")
# The checks of the configure step build projects of their own, which read
# this file again: they need the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES FC_DEBIAN_ARCH)
include(${CMAKE_CURRENT_LIST_DIR}/linux_targets.cmake)
fc_linux_target(${FC_DEBIAN_ARCH})

# GCC notes for 32-bit ARM that a std::span argument is passed as GCC 7.1
# changed it to; nothing in a static program was built by an older GCC.
if(FC_DEBIAN_ARCH STREQUAL "armhf")
  set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${fc_target_processor})

set(CMAKE_C_COMPILER ${fc_target_triple}-gcc)
set(CMAKE_CXX_COMPILER ${fc_target_triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${fc_target_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Configure checks, test discovery and ctest run the programs under the
# emulator. The test programs are linked dynamically (but below): -L names
# the folder of the target's loader and libraries. The shipped programs are
# static and need none of it.
find_program(FC_QEMU qemu-${fc_target_qemu})
if(NOT FC_QEMU)
  message(FATAL_ERROR "qemu-${fc_target_qemu} not found: install Debian's qemu-user")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${FC_QEMU} -L ${CMAKE_FIND_ROOT_PATH})
# qemu-i386 7.2 hangs or crashes the child of fork() in a dynamically linked
# program (a static one forks fine, threads or not): there the test
# programs, which fork to start the programs under test, are static too.
set(fc_static_tests OFF)
if(FC_DEBIAN_ARCH STREQUAL "i386")
  set(fc_static_tests ON)
endif()
