# The third-party notices of the programs, read from the build machine:
# which libraries a static link puts into them, the Debian package and
# source package each comes from with their versions, and the licence texts
# they need. Gives ${fc_made}/THIRD-PARTY-NOTICES, the copyright stanzas of
# the .deb (fc_copyright_stanzas, fc_copyright_licences) and its
# Built-Using field (fc_built_using).
#
# The components, by the static libraries the links take members from (a
# link map lists them): on Linux the C library and GCC's runtime; on Windows
# GCC's runtime, the mingw-w64 runtime and its POSIX threads (the import
# libraries of the system DLLs hold no code).

find_program(FC_DPKG_QUERY dpkg-query REQUIRED)

# Sets <prefix>_package, _version, _source and _source_version for the
# installed package that holds the file `path`.
function(fc_package_of path prefix)
  execute_process(COMMAND ${FC_DPKG_QUERY} -S ${path} OUTPUT_VARIABLE owner
                  RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT owner MATCHES "^([^:, ]+)(:[^:]+)?: ")
    message(FATAL_ERROR "no installed package holds ${path}")
  endif()
  set(package ${CMAKE_MATCH_1})
  execute_process(COMMAND ${FC_DPKG_QUERY} -W "-f=\${Version}\n\${source:Package}\n\${source:Version}"
                          ${package}
                  OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" ";" fields "${fields}")
  list(GET fields 0 version)
  list(GET fields 1 source)
  list(GET fields 2 source_version)
  foreach(field package version source source_version)
    set(${prefix}_${field} ${${field}} PARENT_SCOPE)
  endforeach()
endfunction()

# The path of the library `name` that the compiler links, without "..".
function(fc_library_path name output)
  if(name STREQUAL "libgcc.a")
    set(ask -print-libgcc-file-name)
  else()
    set(ask -print-file-name=${name})
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${ask} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT IS_ABSOLUTE "${path}")
    message(FATAL_ERROR "the compiler has no ${name}")
  endif()
  get_filename_component(path "${path}" ABSOLUTE)
  set(${output} ${path} PARENT_SCOPE)
endfunction()

# Describes one component: a key for fc_package_of_<key>, its name, its
# copyright holders, its licence (SPDX, then Debian's copyright-format name)
# and the libraries it is linked from. Appends to fc_notice_list,
# fc_copyright_stanzas and fc_built_using_list.
function(fc_component key name holders spdx debian_licence)
  set(paths "")
  set(sources "")
  foreach(library IN LISTS ARGN)
    fc_library_path(${library} path)
    fc_package_of(${path} found)
    list(APPEND paths ${path})
    string(APPEND sources "\n    ${path}\n      Debian package ${found_package} ${found_version},"
           " source ${found_source} ${found_source_version}")
    list(APPEND fc_built_using_list "${found_source} (= ${found_source_version})")
  endforeach()
  # The upstream version: the package's without epoch or Debian revision.
  string(REGEX REPLACE "^[0-9]+:" "" upstream "${found_version}")
  string(REGEX REPLACE "-.*$" "" upstream "${upstream}")
  string(APPEND fc_notice_list "\n${name} ${upstream}\n  Copyright: ${holders}\n"
         "  Licence: ${spdx}\n  Linked from:${sources}\n")
  list(TRANSFORM paths REPLACE "^/" "")
  list(JOIN paths "\n " files)
  string(APPEND fc_copyright_stanzas "\nFiles: ${files}\nCopyright: ${holders}\n"
         "License: ${debian_licence}\nComment: ${name} ${upstream}, linked statically into\n"
         " usr/bin/frame-client and usr/bin/frame-sink; THIRD-PARTY-NOTICES says more.\n")
  foreach(list fc_notice_list fc_copyright_stanzas fc_built_using_list)
    set(${list} "${${list}}" PARENT_SCOPE)
  endforeach()
  set(fc_package_of_${key} ${found_package} PARENT_SCOPE)
endfunction()

# Appends to fc_notice_texts a licence text under its title.
function(fc_notice_text title text)
  string(REPEAT "=" 78 rule)
  string(APPEND fc_notice_texts "\n\n${rule}\n${title}\n${rule}\n\n${text}")
  set(fc_notice_texts "${fc_notice_texts}" PARENT_SCOPE)
endfunction()

function(fc_notice_file title path)
  file(READ ${path} text)
  fc_notice_text("${title}" "${text}")
  set(fc_notice_texts "${fc_notice_texts}" PARENT_SCOPE)
endfunction()

# The GCC Runtime Library Exception, as the compiler's copyright file has it.
function(fc_runtime_exception package)
  file(READ /usr/share/doc/${package}/copyright text)
  string(REGEX MATCH "GCC RUNTIME LIBRARY EXCEPTION[^\n]*\n.*requirements of the license of GCC\\.\n"
         exception "${text}")
  if(NOT exception)
    message(FATAL_ERROR "no GCC Runtime Library Exception in the copyright file of ${package}")
  endif()
  fc_notice_text("GCC Runtime Library Exception, version 3.1" "${exception}")
  set(fc_notice_texts "${fc_notice_texts}" PARENT_SCOPE)
endfunction()

set(fc_notice_list "")
set(fc_notice_texts "")
set(fc_copyright_stanzas "")
set(fc_built_using_list "")
set(fc_fsf "Free Software Foundation, Inc.")
set(fc_gcc_licence "GPL-3.0-or-later WITH GCC-exception-3.1"
                   "GPL-3+ with GCC-exception-3.1 exception")
if(WIN32)
  fc_component(mingw "mingw-w64 runtime" "the mingw-w64 project and others"
               "ZPL-2.1, parts under other free licences" ZPL-2.1 libmingw32.a libmingwex.a)
  fc_component(winpthreads "winpthreads, mingw-w64's POSIX threads," "the mingw-w64 project"
               "MIT, parts under BSD-3-Clause" Expat libpthread.a)
  fc_component(gcc "GCC runtime libraries (libstdc++, libgcc, libssp)" ${fc_fsf}
               ${fc_gcc_licence} libstdc++.a libgcc.a libgcc_eh.a libssp.a)
  fc_notice_file("mingw-w64 and winpthreads: copyright and licences (Debian's copyright file)"
                 /usr/share/doc/${fc_package_of_mingw}/copyright)
else()
  fc_component(libc "GNU C Library" "${fc_fsf} and others"
               "LGPL-2.1-or-later, parts under other free licences" LGPL-2.1+ libc.a)
  fc_component(gcc "GCC runtime libraries (libstdc++, libgcc)" ${fc_fsf} ${fc_gcc_licence}
               libstdc++.a libgcc.a libgcc_eh.a)
  fc_notice_file("The GNU C Library: copyright and licences (Debian's copyright file)"
                 /usr/share/doc/${fc_package_of_libc}/copyright)
  fc_notice_file("GNU Lesser General Public License, version 2.1"
                 /usr/share/common-licenses/LGPL-2.1)
endif()
fc_notice_file("GNU General Public License, version 3" /usr/share/common-licenses/GPL-3)
fc_runtime_exception(${fc_package_of_gcc})

list(REMOVE_DUPLICATES fc_built_using_list)
list(SORT fc_built_using_list)
list(JOIN fc_built_using_list ", " fc_built_using)

# The licences the .deb's copyright stanzas name, by Debian's short names;
# Debian systems hold their full texts.
if(NOT WIN32)
  string(CONCAT fc_copyright_licences
         "\nLicense: LGPL-2.1+\n"
         " This library is free software; you can redistribute it and/or modify it\n"
         " under the terms of the GNU Lesser General Public License as published by\n"
         " the Free Software Foundation; either version 2.1 of the License, or (at\n"
         " your option) any later version.\n .\n"
         " On Debian systems, the complete text of the GNU Lesser General Public\n"
         " License, version 2.1, is in /usr/share/common-licenses/LGPL-2.1.\n"
         "\nLicense: GPL-3+ with GCC-exception-3.1 exception\n"
         " These libraries are free software; you can redistribute them and/or\n"
         " modify them under the terms of the GNU General Public License as\n"
         " published by the Free Software Foundation; either version 3, or (at your\n"
         " option) any later version, with the GCC Runtime Library Exception,\n"
         " version 3.1, which THIRD-PARTY-NOTICES reproduces.\n .\n"
         " On Debian systems, the complete text of the GNU General Public License,\n"
         " version 3, is in /usr/share/common-licenses/GPL-3.\n")
endif()
