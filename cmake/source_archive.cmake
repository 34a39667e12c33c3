# CPack post-build script: writes the source archive,
# frame-client-<version>.tar.gz, beside the packages, so that whoever gets
# them can build the same programs, and link them with a C library of their
# own (THIRD-PARTY-NOTICES says how). Reproducible: the files sorted by name,
# one time on all (SOURCE_DATE_EPOCH), owner 0, modes from the execute bit
# alone, gzip without a name or a time.
#
# The files are those git tracks in the source tree; without git (a copy of
# the tracked files, or the unpacked archive itself) every file but what
# .gitignore names, the build folders.
set(source ${CPACK_FC_SOURCE_DIR})
set(top ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION})
execute_process(COMMAND git -C ${source} rev-parse --show-toplevel OUTPUT_VARIABLE git_top
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
if(status EQUAL 0 AND git_top)
  file(REAL_PATH ${git_top} git_top)
  file(REAL_PATH ${source} source_real)
endif()
if(status EQUAL 0 AND git_top STREQUAL source_real)
  execute_process(COMMAND git -C ${source} ls-files OUTPUT_VARIABLE files
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" files "${files}")
  string(REPLACE "\n" ";" files "${files}")
else()
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${source} ${source}/*)
  list(FILTER files EXCLUDE REGEX "^(build|\\.cache|\\.git)(/|$)")
endif()
list(SORT files)
list(JOIN files "\n" listing)
set(list_file ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/source-files)
file(WRITE ${list_file} "${listing}\n")

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not set: the source archive's times would vary")
endif()
execute_process(
  COMMAND tar --create --file=- --format=gnu --directory=${source} --verbatim-files-from
          --files-from=${list_file} "--transform=flags=r;s|^|${top}/|"
          --mtime=@$ENV{SOURCE_DATE_EPOCH} --owner=0 --group=0 --numeric-owner
          --mode=u=rwX,go=rX
  COMMAND gzip -9n
  OUTPUT_FILE ${CPACK_PACKAGE_DIRECTORY}/${top}.tar.gz COMMAND_ERROR_IS_FATAL ANY)
