# Checks of the Windows build that run on the build machine itself.
add_test(NAME WindowsBuild.ImportsOnlySystemDlls
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
                 "-DPROGRAMS=$<TARGET_FILE:frame-client>;$<TARGET_FILE:frame-sink>"
                 -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake)
