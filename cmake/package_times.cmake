# CPack pre-build script: gives every staged file and folder the time in
# SOURCE_DATE_EPOCH, which the archives record, so that the same sources
# always make the same archive.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH}
                        ${CPACK_TEMPORARY_DIRECTORY} ${entries}
                COMMAND_ERROR_IS_FATAL ANY)
