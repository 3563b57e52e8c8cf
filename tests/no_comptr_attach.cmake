# Fails when product code calls ComPtr's Attach. mingw-w64's WRL adds a reference in Attach and the
# platform's does not, so the same call leaks on one toolchain and over-releases on the other; adopting
# an already counted reference goes through AdoptComPtr (platform/com_adopt.h).
# Run as: cmake -DSOURCE_ROOT=<tree> -P no_comptr_attach.cmake
set(found "")
foreach(layer app webhost loader platform)
    file(GLOB_RECURSE sources "${SOURCE_ROOT}/${layer}/*.cpp" "${SOURCE_ROOT}/${layer}/*.h")
    foreach(source ${sources})
        file(STRINGS "${source}" lines REGEX "(\\.|->)Attach[ \t]*\\(")
        foreach(line ${lines})
            file(RELATIVE_PATH relative "${SOURCE_ROOT}" "${source}")
            string(STRIP "${line}" line)
            list(APPEND found "${relative}: ${line}")
        endforeach()
    endforeach()
endforeach()
if(found)
    list(JOIN found "\n  " report)
    message(FATAL_ERROR "ComPtr::Attach in product code (use AdoptComPtr):\n  ${report}")
endif()
message(STATUS "no ComPtr::Attach in product code")
