# Cross-compiles Tallowmere for 64-bit Windows with mingw-w64 (posix thread model) and runs the resulting
# test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALLOWMERE_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model is required: googletest and std::thread need winpthreads.
find_program(CMAKE_C_COMPILER NAMES ${TALLOWMERE_MINGW_PREFIX}-gcc-posix ${TALLOWMERE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TALLOWMERE_MINGW_PREFIX}-g++-posix ${TALLOWMERE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TALLOWMERE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLOWMERE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine in a private prefix (see cmake/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
