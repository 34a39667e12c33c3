cmake_minimum_required(VERSION 3.25)

# Fails unless the given programs carry the hardening of a release build,
# read from their headers, and the given static library (our own objects)
# was compiled with the stack guard: the runtime libraries linked into the
# programs have the guard's symbols whatever our flags were.
#   Linux:   cmake -DREADELF=<readelf> -DNM=<nm> -DPROGRAMS=<a;b> -DLIBRARY=<lib.a>
#              -DMACHINE=<readelf's machine name> -DPROGRAM_TYPE=<static-pie|static>
#              [-DOBJECT_NOTE=<property text>] -P check_hardening.cmake
#            the programs: for MACHINE, static (no interpreter, no needed
#            library), GNU_RELRO, a stack that is not executable; a static PIE
#            is of type DYN with BIND_NOW, a plain static program of type EXEC
#            with no dynamic section at all, so that nothing is left to bind
#            at run time; each object of the library: the control-flow
#            property note OBJECT_NOTE, where the target has such protection
#            (the programs may lack it: linux-cross.cmake says why)
#   Windows: cmake -DOBJDUMP=<objdump> -DNM=<nm> -DPROGRAMS=<a.exe;b.exe> -DLIBRARY=<lib.a>
#              -P check_hardening.cmake
#            DYNAMIC_BASE, HIGH_ENTROPY_VA and NX_COMPAT

function(run_tool output)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed")
  endif()
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

function(expect program text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${program}: ${what}")
  endif()
endfunction()

function(expect_not program text pattern what)
  if(text MATCHES "${pattern}")
    message(FATAL_ERROR "${program}: ${what}")
  endif()
endfunction()

function(check_elf program)
  run_tool(header ${READELF} -hW ${program})
  expect(${program} "${header}" "Machine:[ \t]+${MACHINE}[\r\n]" "not a program for ${MACHINE}")
  run_tool(segments ${READELF} -lW ${program})
  expect_not(${program} "${segments}" "[\r\n][ \t]*INTERP[ \t]"
             "asks for a program interpreter: not static")
  expect(${program} "${segments}" "[\r\n][ \t]*GNU_RELRO[ \t]" "no GNU_RELRO segment")
  # The flags are the last field but the alignment: RW, or RWE when executable.
  expect(${program} "${segments}" "[\r\n][ \t]*GNU_STACK([ \t]+[^ \t\r\n]+)+[ \t]+RW[ \t]+0x"
         "no GNU_STACK segment, or an executable stack")
  run_tool(dynamic ${READELF} -dW ${program})
  if(PROGRAM_TYPE STREQUAL "static-pie")
    expect(${program} "${header}" "Type:[ \t]+DYN" "not position-independent (ELF type is not DYN)")
    expect_not(${program} "${dynamic}" "\\(NEEDED\\)" "needs a shared library: not static")
    expect(${program} "${dynamic}" "\\(FLAGS\\)[^\r\n]*BIND_NOW" "no immediate binding (BIND_NOW)")
  elseif(PROGRAM_TYPE STREQUAL "static")
    expect(${program} "${header}" "Type:[ \t]+EXEC"
           "not a plain static program (ELF type is not EXEC)")
    expect(${program} "${dynamic}" "no dynamic section" "has a dynamic section: not plain static")
  else()
    message(FATAL_ERROR "PROGRAM_TYPE is neither static-pie nor static: ${PROGRAM_TYPE}")
  endif()
endfunction()

function(check_pe program)
  run_tool(dump ${OBJDUMP} -p ${program})
  foreach(flag DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT)
    expect(${program} "${dump}" "[\r\n][ \t]+${flag}[\r\n]" "${flag} is not set")
  endforeach()
endfunction()

# Each object's notes follow a line "File: lib.a(object)".
function(check_object_notes library note)
  run_tool(notes ${READELF} -nW ${library})
  string(REPLACE ";" "," notes "${notes}")
  string(REGEX REPLACE "(^|[\r\n])File: " ";" members "${notes}")
  list(FILTER members INCLUDE REGEX "^[^\r\n]+\\(")
  if(NOT members)
    message(FATAL_ERROR "${library}: no object found")
  endif()
  foreach(member IN LISTS members)
    string(REGEX MATCH "^[^\r\n]+" name "${member}")
    string(FIND "${member}" "${note}" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "${name}: no property note \"${note}\"")
    endif()
  endforeach()
  list(LENGTH members count)
  message(STATUS "${library}: ${note}, in each of ${count} objects")
endfunction()

foreach(program IN LISTS PROGRAMS)
  if(READELF)
    check_elf(${program})
    message(STATUS "${program}: hardened, ${PROGRAM_TYPE}")
  else()
    check_pe(${program})
    message(STATUS "${program}: hardened")
  endif()
endforeach()

if(OBJECT_NOTE)
  check_object_notes(${LIBRARY} "${OBJECT_NOTE}")
elseif(READELF)
  message(STATUS "${LIBRARY}: no control-flow property note: GCC has none for ${MACHINE}")
endif()

# 32-bit x86 position-independent code calls the guard's local alias.
run_tool(symbols ${NM} ${LIBRARY})
expect(${LIBRARY} "${symbols}" "[ \t]U[ \t]+__stack_chk_fail(_local)?[\r\n]"
       "no object calls __stack_chk_fail: compiled without the stack guard")
