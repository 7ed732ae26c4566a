# Prints the tests of a listing by ctest --show-only=json-v1, given in JSON,
# a line each: the test's TIMEOUT (CTest's default, 1500, where it has none),
# its name and its command's words, tab-separated.
#   cmake -DJSON=... -P ListTests.cmake

# The indexes of the JSON array at the path given, in VAR.
function(json_indexes var)
    string(JSON length LENGTH "${JSON}" ${ARGN})
    set(indexes "")
    if(length GREATER 0)
        math(EXPR last "${length} - 1")
        foreach(index RANGE ${last})
            list(APPEND indexes ${index})
        endforeach()
    endif()
    set(${var} ${indexes} PARENT_SCOPE)
endfunction()

set(lines "")
json_indexes(tests tests)
foreach(test IN LISTS tests)
    set(timeout 1500)
    json_indexes(properties tests ${test} properties)
    foreach(property IN LISTS properties)
        string(JSON key GET "${JSON}" tests ${test} properties ${property} name)
        if(key STREQUAL "TIMEOUT")
            string(JSON timeout GET "${JSON}" tests ${test} properties ${property} value)
        endif()
    endforeach()
    string(JSON name GET "${JSON}" tests ${test} name)
    string(APPEND lines "${timeout}\t${name}")
    json_indexes(words tests ${test} command)
    foreach(word IN LISTS words)
        string(JSON text GET "${JSON}" tests ${test} command ${word})
        string(APPEND lines "\t${text}")
    endforeach()
    string(APPEND lines "\n")
endforeach()
file(APPEND /dev/stdout "${lines}")
