# Read by CPack once for each generator, before it packages.

# The .deb's components (packaging.cmake): it carries the licence in
# Debian's copyright file, where the archives carry LICENSE.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL programs debian)
endif()

# Without SOURCE_DATE_EPOCH in the environment, the time of the sources'
# last commit stands for it, so that packages are reproducible by default;
# without git, the time of CMakeLists.txt, which in the unpacked source
# archive is that same time. The .deb takes its times from it directly, the
# archives through package_times.cmake and source_archive.cmake.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${CPACK_FC_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    file(TIMESTAMP "${CPACK_FC_SOURCE_DIR}/CMakeLists.txt" epoch "%s" UTC)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
