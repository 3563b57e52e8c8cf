# Stages one resource for the resource script: SOURCE when it exists, FALLBACK otherwise, copied to
# DESTINATION only when the content differs so that an unchanged resource does not relink the program.
# Usage: cmake -DSOURCE=... -DFALLBACK=... -DDESTINATION=... -P stage_resource.cmake
if(EXISTS "${SOURCE}")
    set(from "${SOURCE}")
else()
    set(from "${FALLBACK}")
endif()
file(COPY_FILE "${from}" "${DESTINATION}" ONLY_IF_DIFFERENT)
