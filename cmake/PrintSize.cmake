# Prints the size of FILE. With LIMIT (bytes), a larger FILE fails the build
# and is deleted, so that the next build links it again instead of taking the
# oversized file for up to date.
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
if(DEFINED LIMIT AND size GREATER LIMIT)
    file(REMOVE "${FILE}")
    message(FATAL_ERROR "${name}: ${size} bytes, more than the limit of ${LIMIT} bytes")
endif()
if(DEFINED LIMIT)
    message(STATUS "${name}: ${size} bytes (limit ${LIMIT})")
else()
    message(STATUS "${name}: ${size} bytes")
endif()
