# Read by CPack before it packages: without SOURCE_DATE_EPOCH in the
# environment, the time of the sources' last commit stands for it, so that
# packages are reproducible by default. The .deb takes its times from it
# directly, the archives through package_times.cmake.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
execute_process(COMMAND git -C "${CPACK_FC_SOURCE_DIR}" log -1 --format=%ct
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                RESULT_VARIABLE status)
if(status EQUAL 0 AND epoch MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
