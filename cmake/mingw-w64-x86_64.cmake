# Cross build for Windows x86-64 with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# The posix thread model gives the tests std::thread; everything is linked
# statically, so the programs need no DLL beyond those Windows itself ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(fc_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${fc_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${fc_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${fc_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${fc_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No link time in the image header: the same sources give the same .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# Test programs (and GoogleTest's discovery of their tests) run under wine,
# through the script that sets wine up and keeps its session apart from
# ctest's pipes.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine.sh run)
