# What `cmake --install` puts in place, and the packages CPack makes of it:
# a .deb and a .tar.gz on Linux, a .zip on Windows. Packages are written to
# <build>/packages, with SHA256SUMS beside them. Nothing here names a
# processor of its own: the Debian architecture and the archives' system
# name come from the target.
#
# Three install components:
#   programs  the programs, the README, the third-party notices of statically
#             linked programs and (not on Windows) the manual pages: in every
#             package and every install;
#   licence   LICENSE: in the archives and in `cmake --install`;
#   debian    Debian's copyright file, the changelog and lintian's overrides:
#             only in the .deb, which carries the licence in its copyright
#             file instead.

if(WIN32)
  # A folder to unpack anywhere: the programs and the texts side by side.
  set(fc_bin_dir .)
  set(fc_doc_dir .)
else()
  set(fc_bin_dir bin)
  set(fc_doc_dir share/doc/frame-client)
endif()
install(TARGETS frame-client frame-sink RUNTIME DESTINATION ${fc_bin_dir} COMPONENT programs)
install(FILES README.md DESTINATION ${fc_doc_dir} COMPONENT programs)
install(FILES LICENSE DESTINATION ${fc_doc_dir} COMPONENT licence)

set(CPACK_PACKAGE_NAME frame-client)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT
    "frame-client maintainers <maintainers@users.noreply.c-seed-985fc703.example>")

# The target machine under the names packages use: the archives' system
# name (linux-x86_64, linux-armhf, ..., windows-x86_64) and the Debian
# architecture, both from linux_targets.cmake on Linux. CPack would ask
# dpkg, which knows only the build machine's: it does so only for a native
# build on a machine that is not listed there.
if(fc_debian_arch)
  fc_linux_target(${fc_debian_arch})
  set(CPACK_SYSTEM_NAME linux-${fc_target_archive_name})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${fc_debian_arch})
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()

# Files made here for the packages.
set(fc_made ${CMAKE_BINARY_DIR}/package_files)
file(MAKE_DIRECTORY ${fc_made})

# Statically linked programs carry other projects' code: the notices say
# whose, under which licence (notices.cmake), and on Linux how to link the
# programs with another C library from the source archive.
if(WIN32 OR FC_STATIC_PROGRAMS)
  include(${CMAKE_CURRENT_LIST_DIR}/notices.cmake)
  set(fc_relink "")
  if(NOT WIN32)
    set(fc_preset release-${fc_debian_arch})
    if(NOT CMAKE_CROSSCOMPILING)
      set(fc_preset release)
    endif()
    set(fc_start_file crt1.o)
    if(FC_PROGRAM_TYPE STREQUAL "static-pie")
      set(fc_start_file rcrt1.o)
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/relink.in ${fc_made}/relink @ONLY)
    file(READ ${fc_made}/relink fc_relink)
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/notices.in ${fc_made}/THIRD-PARTY-NOTICES @ONLY)
  install(FILES ${fc_made}/THIRD-PARTY-NOTICES DESTINATION ${fc_doc_dir} COMPONENT programs)
endif()

if(NOT WIN32)
  # The compilers' notes in .comment serve nobody at run time; the installed
  # programs go without them.
  install(CODE "
    foreach(program frame-client frame-sink)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${fc_bin_dir}/\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()" COMPONENT programs)

  # Compressed files without a name or a time in them, so that they come out
  # the same wherever they are made.
  find_program(FC_GZIP gzip REQUIRED)
  function(fc_gzip source target)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND ${FC_GZIP} -9n -c ${source} OUTPUT_FILE ${target}
                    COMMAND_ERROR_IS_FATAL ANY)
  endfunction()

  foreach(page frame-client.1 frame-sink.1)
    fc_gzip(${PROJECT_SOURCE_DIR}/doc/${page} ${fc_made}/${page}.gz)
    install(FILES ${fc_made}/${page}.gz DESTINATION share/man/man1 COMPONENT programs)
  endforeach()

  # Debian's machine-readable copyright file, the licence's terms in it.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE fc_licence_text)
  string(FIND "${fc_licence_text}" "Permission is hereby granted" fc_terms)
  string(SUBSTRING "${fc_licence_text}" ${fc_terms} -1 fc_licence_text)
  string(STRIP "${fc_licence_text}" fc_licence_text)
  string(REPLACE "\n\n" "\n.\n" fc_licence_text "${fc_licence_text}")
  string(REPLACE "\n" "\n " fc_licence_text " ${fc_licence_text}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${fc_made}/copyright @ONLY)

  # The changelog's newest entry must be this version's.
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in fc_newest LIMIT_COUNT 1)
  if(NOT fc_newest MATCHES "^frame-client \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog.in: the newest entry is not ${PROJECT_VERSION}")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${fc_made}/changelog @ONLY)
  fc_gzip(${fc_made}/changelog ${fc_made}/changelog.gz)

  install(FILES ${fc_made}/copyright ${fc_made}/changelog.gz DESTINATION share/doc/frame-client
          COMPONENT debian EXCLUDE_FROM_ALL)
  # What lintian misreads in a static program depends on its type.
  if(FC_PROGRAM_TYPE STREQUAL "static-pie")
    set(fc_lintian_tag shared-library-lacks-prerequisites)
    string(CONCAT fc_lintian_reason
           "# As static PIEs they are ELF files of type DYN, which lintian takes for\n"
           "# shared libraries, with no library to name as needed: they need none.")
  else()
    set(fc_lintian_tag statically-linked-binary)
    string(CONCAT fc_lintian_reason
           "# Debian's own packages avoid static links, for the sake of the libraries'\n"
           "# security updates; these programs are meant to be copied anywhere.\n"
           "# Built-Using names the sources of what they hold.")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides.in
                 ${fc_made}/lintian-overrides @ONLY)
  install(FILES ${fc_made}/lintian-overrides
          DESTINATION share/lintian/overrides RENAME frame-client COMPONENT debian
          EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "one-shot client that sends one length-prefixed JSON frame to 127.0.0.1:12345")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "frame-client connects to a server on 127.0.0.1:12345, sends one frame (a\n"
       "four-byte big-endian length, then compact JSON), prints what it sent and\n"
       "exits. frame-sink is a receiver that prints the payload of each frame it\n"
       "gets. Both programs are linked statically and need no other package.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
# The archives take what `cmake --install` installs; the .deb, one package
# all the same, takes the components package_config.cmake names.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Reproducible packages: fixed times (SOURCE_DATE_EPOCH, by default the last
# commit's time) on every file.
set(CPACK_FC_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package_config.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package_times.cmake)
# The source archive goes beside the packages, before their checksums.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/source_archive.cmake
                             ${CMAKE_CURRENT_LIST_DIR}/package_sums.cmake)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Debian asks a package that links other source packages' code statically
  # to name them, with their exact versions, in Built-Using. CPack 3.25 has
  # no variable for it: the field follows Source on a line of its own.
  if(fc_built_using)
    set(CPACK_DEBIAN_PACKAGE_SOURCE "frame-client\nBuilt-Using: ${fc_built_using}")
  endif()
endif()

include(CPack)
