cmake_minimum_required(VERSION 3.25)

# Fails unless the given programs carry the hardening of a release build,
# read from their headers, and the given static library (our own objects)
# was compiled with the stack guard: the runtime libraries linked into the
# programs have the guard's symbols whatever our flags were.
#   Linux:   cmake -DREADELF=<readelf> -DNM=<nm> -DPROGRAMS=<a;b> -DLIBRARY=<lib.a>
#              -DMACHINE=<readelf's machine name> [-DOBJECT_NOTE=<property text>]
#              -P check_hardening.cmake
#            the programs: for MACHINE, static PIE (type DYN, no interpreter, no
#            needed library), BIND_NOW, GNU_RELRO, a stack that is not
#            executable; each object of the library: the control-flow property
#            note OBJECT_NOTE (the programs may lack it: aarch64-linux-gnu.cmake
#            says why)
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
  expect(${program} "${header}" "Type:[ \t]+DYN" "not position-independent (ELF type is not DYN)")
  run_tool(segments ${READELF} -lW ${program})
  expect_not(${program} "${segments}" "[\r\n][ \t]*INTERP[ \t]"
             "asks for a program interpreter: not static")
  expect(${program} "${segments}" "[\r\n][ \t]*GNU_RELRO[ \t]" "no GNU_RELRO segment")
  # The flags are the last field but the alignment: RW, or RWE when executable.
  expect(${program} "${segments}" "[\r\n][ \t]*GNU_STACK([ \t]+[^ \t\r\n]+)+[ \t]+RW[ \t]+0x"
         "no GNU_STACK segment, or an executable stack")
  run_tool(dynamic ${READELF} -dW ${program})
  expect_not(${program} "${dynamic}" "\\(NEEDED\\)" "needs a shared library: not static")
  expect(${program} "${dynamic}" "\\(FLAGS\\)[^\r\n]*BIND_NOW" "no immediate binding (BIND_NOW)")
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
  else()
    check_pe(${program})
  endif()
  message(STATUS "${program}: hardened")
endforeach()

if(OBJECT_NOTE)
  check_object_notes(${LIBRARY} "${OBJECT_NOTE}")
endif()

run_tool(symbols ${NM} ${LIBRARY})
expect(${LIBRARY} "${symbols}" "[ \t]U[ \t]+__stack_chk_fail[\r\n]"
       "no object calls __stack_chk_fail: compiled without the stack guard")
