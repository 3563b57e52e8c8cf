# Read by CPack for each generator: the installer's name differs from the zip's.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "tallowmere-${CPACK_PACKAGE_VERSION}-win64-setup")
else()
    set(CPACK_PACKAGE_FILE_NAME "tallowmere-${CPACK_PACKAGE_VERSION}-win64")
endif()
