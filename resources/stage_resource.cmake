# Stages one resource for the resource script: SOURCE copied to DESTINATION only when the content differs,
# so that an unchanged resource does not relink the program. A missing SOURCE fails the build.
# Usage: cmake -DSOURCE=... -DDESTINATION=... -P stage_resource.cmake
if(NOT EXISTS "${SOURCE}")
    message(FATAL_ERROR "Missing resource of tallowmere.exe: ${SOURCE}")
endif()
file(COPY_FILE "${SOURCE}" "${DESTINATION}" ONLY_IF_DIFFERENT)
