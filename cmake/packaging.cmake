# What `cmake --install` puts in place, and the packages CPack makes of it:
# a .deb and a .tar.gz on Linux, a .zip on Windows. Packages are written to
# <build>/packages.

if(WIN32)
  # A folder to unpack anywhere: the programs and the README side by side.
  set(fc_bin_dir .)
  set(fc_doc_dir .)
else()
  set(fc_bin_dir bin)
  set(fc_doc_dir share/doc/frame-client)
endif()
install(TARGETS frame-client frame-sink RUNTIME DESTINATION ${fc_bin_dir})
install(FILES README.md DESTINATION ${fc_doc_dir})

set(CPACK_PACKAGE_NAME frame-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT
    "frame-client maintainers <maintainers@users.noreply.c-seed-985fc703.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "one-shot client that sends one length-prefixed JSON frame to 127.0.0.1:12345")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "frame-client connects to a server on 127.0.0.1:12345, sends one frame (a\n"
       "four-byte big-endian length, then compact JSON), prints what it sent and\n"
       "exits. frame-sink is a receiver that prints the payload of each frame it\n"
       "gets. Both programs are linked statically and need no other package.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# Reproducible packages: fixed times (SOURCE_DATE_EPOCH, by default the last
# commit's time) on every file.
set(CPACK_FC_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package_epoch.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_times.cmake)

# Named after the machine the programs are for, which a cross build does
# not share with the build machine: linux-x86_64, linux-aarch64,
# windows-x86_64.
string(TOLOWER ${CMAKE_SYSTEM_NAME} fc_package_system)
set(CPACK_SYSTEM_NAME ${fc_package_system}-${CMAKE_SYSTEM_PROCESSOR})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  # Debian's name for the architecture; CPack would ask dpkg on the build
  # machine, which is right only for a native build.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "no Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
endif()

include(CPack)
