# The Linux machines the release is built for, one line each, by Debian
# architecture: the GNU triple of its C library and cross compiler, the
# processor as uname -m names it, the name in the archives' file names,
# qemu-user's name for it, and readelf's name of its ELF machine. The
# archives say armhf, not armv7l: a 32-bit ARM system on a 64-bit kernel
# reports aarch64, and the hard-float ABI is what the program needs.
set(fc_linux_amd64 x86_64-linux-gnu x86_64 x86_64 x86_64 "Advanced Micro Devices X86-64")
set(fc_linux_arm64 aarch64-linux-gnu aarch64 aarch64 aarch64 AArch64)
set(fc_linux_armhf arm-linux-gnueabihf armv7l armhf arm ARM)
set(fc_linux_i386 i686-linux-gnu i686 i686 i386 "Intel 80386")
set(fc_linux_ppc64el powerpc64le-linux-gnu ppc64le ppc64le ppc64le PowerPC64)
set(fc_linux_s390x s390x-linux-gnu s390x s390x s390x "IBM S/390")
set(fc_linux_riscv64 riscv64-linux-gnu riscv64 riscv64 riscv64 RISC-V)

# Sets fc_target_triple, _processor, _archive_name, _qemu and _elf_machine
# for the Debian architecture given.
macro(fc_linux_target architecture)
  if(NOT DEFINED fc_linux_${architecture})
    message(FATAL_ERROR "no Linux target is known for the Debian architecture ${architecture}")
  endif()
  list(GET fc_linux_${architecture} 0 fc_target_triple)
  list(GET fc_linux_${architecture} 1 fc_target_processor)
  list(GET fc_linux_${architecture} 2 fc_target_archive_name)
  list(GET fc_linux_${architecture} 3 fc_target_qemu)
  list(GET fc_linux_${architecture} 4 fc_target_elf_machine)
endmacro()

# The Debian architecture of this build: the preset's for a cross build,
# else the one whose processor this machine has (empty if none is listed).
function(fc_linux_architecture output)
  if(FC_DEBIAN_ARCH)
    set(${output} ${FC_DEBIAN_ARCH} PARENT_SCOPE)
    return()
  endif()
  foreach(architecture amd64 arm64 armhf i386 ppc64el s390x riscv64)
    list(GET fc_linux_${architecture} 1 processor)
    if(processor STREQUAL CMAKE_SYSTEM_PROCESSOR)
      set(${output} ${architecture} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${output} "" PARENT_SCOPE)
endfunction()
