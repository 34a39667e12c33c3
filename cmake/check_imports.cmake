cmake_minimum_required(VERSION 3.25)

# Fails unless every DLL that the given programs import ships with Windows
# itself, so that they run on a bare system (nothing from the compiler's
# runtime: libstdc++, libgcc, libwinpthread).
#   cmake -DOBJDUMP=<objdump> -DPROGRAMS=<a.exe;b.exe> -P check_imports.cmake
set(system_dlls kernel32.dll ws2_32.dll msvcrt.dll ntdll.dll advapi32.dll user32.dll
    ucrtbase.dll)

foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${program} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  if(NOT imports)
    message(FATAL_ERROR "${program}: no imported DLL found; is it a Windows program?")
  endif()
  set(shown "")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    list(APPEND shown ${dll})
    if(NOT lower IN_LIST system_dlls AND NOT lower MATCHES "^api-ms-win-.*\\.dll$")
      message(FATAL_ERROR "${program} imports ${dll}, which Windows does not ship")
    endif()
  endforeach()
  message(STATUS "${program}: ${shown}")
endforeach()
