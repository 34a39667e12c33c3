# Linux programs linked statically: no loader and no shared library at run
# time, so they start on any Linux of their architecture whatever its C
# library. Where the target's static C library can start a static PIE, they
# are static PIEs, loaded at a random address; elsewhere plain static
# programs at a fixed address.

include(CheckCXXSourceRuns)

# A static PIE starts from the C library's rcrt1.o, which applies the
# program's own relocations. Debian 12's cross C libraries for armhf,
# ppc64el, s390x and riscv64 ship none: GCC then reports only the file's
# name instead of its path.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=rcrt1.o
                OUTPUT_VARIABLE fc_rcrt1 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(IS_ABSOLUTE "${fc_rcrt1}")
  set(FC_PROGRAM_TYPE static-pie)
else()
  set(FC_PROGRAM_TYPE static)
  message(STATUS "Programs: plain static, not static PIEs: the C library has no rcrt1.o")
endif()

if(FC_PROGRAM_TYPE STREQUAL "static-pie")
  # Every object must be position-independent to end up in a static PIE.
  add_compile_options(-fPIE)

  # Compact relative relocations leave the start-up code far fewer entries
  # to apply. The C library's static start-up must know the format, so the
  # flag is used only where a static PIE built with it actually runs, and
  # has its relocations packed: a linker that does not know the format for
  # the target ignores the flag with a warning (binutils 2.40 for ARM),
  # which the programs' links would take for an error.
  set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie LINKER:-z,pack-relative-relocs)
  check_cxx_source_runs([[
    #include <elf.h>
    #include <link.h>
    extern ElfW(Dyn) _DYNAMIC[];
    static int values[4] = {1, 2, 3, 4};
    static int* pointers[4] = {&values[0], &values[1], &values[2], &values[3]};
    int main() {
      bool packed = false;
      for (const ElfW(Dyn)* entry = _DYNAMIC; entry->d_tag != DT_NULL; ++entry) {
        packed = packed || entry->d_tag == DT_RELR;
      }
      return packed && *pointers[3] == 4 ? 0 : 1;
    }
  ]] FC_PACKED_RELATIVE_RELOCS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
endif()

# Links the given programs statically, as FC_PROGRAM_TYPE says. libstdc++
# and libgcc come in statically with the C library; adding
# -static-libstdc++ or -static-libgcc as well makes GCC 12 produce a static
# PIE that crashes at start-up.
function(fc_link_static)
  foreach(program IN LISTS ARGN)
    target_link_options(${program} PRIVATE -${FC_PROGRAM_TYPE})
    if(FC_PACKED_RELATIVE_RELOCS)
      target_link_options(${program} PRIVATE LINKER:-z,pack-relative-relocs)
    endif()
    set_target_properties(${program} PROPERTIES
                          CXX_LINKER_LAUNCHER ${PROJECT_SOURCE_DIR}/cmake/static-link.sh)
  endforeach()
endfunction()
