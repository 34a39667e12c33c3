# CPack post-build script: writes SHA256SUMS beside the packages, for
# `sha256sum -c SHA256SUMS` there. It runs once per generator, before that
# generator's packages leave the staging folder, so it lists those where
# they were made and every other package already in the folder.
set(names "")
foreach(made IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${made}" NAME)
  list(APPEND names "${name}")
  set("path_${name}" "${made}")
endforeach()
file(GLOB present LIST_DIRECTORIES false RELATIVE "${CPACK_PACKAGE_DIRECTORY}"
     "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}[-_]*")
foreach(name IN LISTS present)
  if(NOT name IN_LIST names)
    list(APPEND names "${name}")
    set("path_${name}" "${CPACK_PACKAGE_DIRECTORY}/${name}")
  endif()
endforeach()
list(SORT names)
set(sums "")
foreach(name IN LISTS names)
  file(SHA256 "${path_${name}}" sum)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS" "${sums}")
