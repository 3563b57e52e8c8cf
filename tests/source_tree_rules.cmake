# Rules of the source tree, checked without building anything.
# Run as: cmake -DSOURCE_ROOT=<tree> -P source_tree_rules.cmake
#
# 1. No ComPtr::Attach in product code. mingw-w64's WRL adds a reference in Attach and the platform's
#    does not, so the same call leaks on one toolchain and over-releases on the other; adopting an
#    already counted reference goes through AdoptComPtr (platform/com_adopt.h).
# 2. Includes run down the layers only: app → webhost → loader → platform. A lower folder that
#    included a higher one would tie the loader or the host to what is built on them.
set(layers app webhost loader platform)
set(attached "")
set(upward "")
foreach(layer ${layers})
    list(FIND layers ${layer} rank)
    math(EXPR above "${rank} - 1")
    set(higher "")
    if(above GREATER_EQUAL 0)
        list(SUBLIST layers 0 ${rank} higher)
    endif()
    file(GLOB_RECURSE sources "${SOURCE_ROOT}/${layer}/*.cpp" "${SOURCE_ROOT}/${layer}/*.h")
    foreach(source ${sources})
        file(RELATIVE_PATH relative "${SOURCE_ROOT}" "${source}")
        file(STRINGS "${source}" lines REGEX "(\\.|->)Attach[ \t]*\\(")
        foreach(line ${lines})
            string(STRIP "${line}" line)
            list(APPEND attached "${relative}: ${line}")
        endforeach()
        foreach(up ${higher})
            file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"${up}/")
            foreach(line ${lines})
                string(STRIP "${line}" line)
                list(APPEND upward "${relative}: ${line}")
            endforeach()
        endforeach()
    endforeach()
endforeach()
if(attached)
    list(JOIN attached "\n  " report)
    message(FATAL_ERROR "ComPtr::Attach in product code (use AdoptComPtr):\n  ${report}")
endif()
if(upward)
    list(JOIN upward "\n  " report)
    message(FATAL_ERROR "an include runs up the layers (app → webhost → loader → platform):\n  ${report}")
endif()
message(STATUS "no ComPtr::Attach in product code; every include runs down the layers")
