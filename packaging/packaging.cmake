# The release: what a Windows user gets, installed by CPack as two packages (scripts/package makes
# them into build/dist/): the portable zip and the per-user installer, made by CPack's NSIS generator
# from packaging/NSIS.template.in.

# The installed tree: the program, a short read-me, its licence and the licences of everything it
# embeds: the page's libraries (each as published beside it under page/vendor/) and, built with
# mingw-w64, the compiler's runtime linked into it (winpthreads among it asks for its notice).
install(TARGETS tallowmere RUNTIME DESTINATION .)
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${PROJECT_BINARY_DIR}/packaging/README.txt @ONLY
    NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
# licenses/<package>.txt: a name Explorer opens, one file per library.
file(GLOB_RECURSE vendored_licences CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/page/vendor/*LICENSE*)
foreach(licence IN LISTS vendored_licences)
    file(RELATIVE_PATH package ${PROJECT_SOURCE_DIR}/page/vendor ${licence})
    get_filename_component(package ${package} DIRECTORY)
    string(REPLACE "@" "" package "${package}")
    string(REPLACE "/" "-" package "${package}")
    install(FILES ${licence} DESTINATION licenses RENAME ${package}.txt)
endforeach()
set(toolchain_notices)
if(MINGW AND EXISTS /usr/share/doc/mingw-w64-x86-64-dev/copyright)
    set(toolchain_notices /usr/share/doc/mingw-w64-x86-64-dev/copyright) # Debian's mingw-w64 packages
endif()
set(TALLOWMERE_RUNTIME_NOTICES "${toolchain_notices}" CACHE FILEPATH
    "The licence notices of the compiler's runtime linked into the program (mingw-w64); empty for none")
if(TALLOWMERE_RUNTIME_NOTICES)
    install(FILES ${TALLOWMERE_RUNTIME_NOTICES} DESTINATION licenses RENAME mingw-w64-runtime.txt)
endif()

# Packaging installs what is built and builds nothing itself: scripts/package builds the program first,
# and the installer test packs the program the test build made.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME "Tallowmere")
set(CPACK_PACKAGE_VENDOR "${TALLOWMERE_PUBLISHER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A small, fast Markdown viewer for Windows")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tallowmere")
set(CPACK_TALLOWMERE_LICENCE "${TALLOWMERE_LICENCE}")
# The zip's name; the installer's gets "-setup" (packaging/cpack-options.cmake).
set(CPACK_PACKAGE_FILE_NAME "tallowmere-${PROJECT_VERSION}-win64")
set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/dist)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-options.cmake)
# Where CPack finds NSIS.template.in: the installer is this folder's own script, not CPack's default
# (which asks for administrator rights and installs for all users).
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
include(CPack)
