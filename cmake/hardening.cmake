# Exploit mitigations for everything the build compiles and links; meant for
# optimised builds (fortified calls need the optimiser).

if(WIN32)
  # mingw-w64 implements the stack guard and the fortified calls in libssp,
  # which the static link takes in whole: no DLL is added. ASLR with
  # high-entropy addresses and DEP are binutils' defaults already; they are
  # asked for here so that a change of default cannot drop them. Windows
  # probes every large stack frame by itself, and GNU ld cannot mark an
  # image as compatible with shadow stacks, so the stack-clash and
  # control-flow options would add nothing there.
  add_compile_options(-fstack-protector-strong -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  add_link_options(-fstack-protector-strong LINKER:--dynamicbase LINKER:--high-entropy-va
                   LINKER:--nxcompat)
else()
  # Level 3 fortifies calls whose buffer sizes are only known at run time;
  # GNU libc falls back to level 2 by itself where the compiler lacks what
  # level 3 needs. The compiler's own default level is dropped first, as a
  # second definition would be a warning.
  add_compile_options(-fstack-protector-strong -fstack-clash-protection -U_FORTIFY_SOURCE
                      -D_FORTIFY_SOURCE=3)
  # Control-flow protection: on 64-bit ARM, signed return addresses (PAC)
  # and marked branch targets (BTI); on x86, shadow-stack and branch-target
  # marks. GCC 12 has none for 32-bit ARM, POWER, IBM Z or RISC-V. There,
  # too, it accepts the stack-clash option, but for RISC-V it emits no
  # probes yet.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    add_compile_options(-mbranch-protection=standard)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|i686)$")
    add_compile_options(-fcf-protection)
  endif()
  # Full RELRO: every relocation is done at start-up, then made read-only.
  add_link_options(LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
endif()
