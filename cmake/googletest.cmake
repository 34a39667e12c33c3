# GoogleTest for the tests: the installed package on a native build; for a
# cross build (Windows, 64-bit ARM Linux), Debian ships no prebuilt library
# for the target, so it is built here from the sources of Debian's
# googletest package.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(FC_GOOGLETEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest sources for cross builds (Debian package googletest)")
if(NOT EXISTS ${FC_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${FC_GOOGLETEST_SOURCE}: "
                      "install Debian's googletest package")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${FC_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Someone else's code: our warning flags apply, but never as errors.
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -Wno-error)
endforeach()
