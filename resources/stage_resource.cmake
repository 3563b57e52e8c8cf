# Stages one resource for the resource script: SOURCE copied to DESTINATION only when the content differs,
# so that an unchanged resource does not relink the program. A missing SOURCE fails the build.
# FIRST_LINE, when set, is written as a line of its own before the source's text.
# Usage: cmake -DSOURCE=... -DDESTINATION=... [-DFIRST_LINE=...] -P stage_resource.cmake
if(NOT EXISTS "${SOURCE}")
    message(FATAL_ERROR "Missing resource of tallowmere.exe: ${SOURCE}")
endif()
if(DEFINED FIRST_LINE)
    file(READ "${SOURCE}" text)
    file(WRITE "${DESTINATION}.new" "${FIRST_LINE}\n${text}")
    file(COPY_FILE "${DESTINATION}.new" "${DESTINATION}" ONLY_IF_DIFFERENT)
    file(REMOVE "${DESTINATION}.new")
else()
    file(COPY_FILE "${SOURCE}" "${DESTINATION}" ONLY_IF_DIFFERENT)
endif()
