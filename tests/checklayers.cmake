# SPDX-License-Identifier: Apache-2.0
# Fails when the table or the edits include a format header: the track table
# and its edits stand below the formats, which build on them.
file(GLOB_RECURSE sources ${SOURCE_DIR}/table/*.h ${SOURCE_DIR}/table/*.cpp
     ${SOURCE_DIR}/edit/*.h ${SOURCE_DIR}/edit/*.cpp)
set(bad "")
foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"formats/")
    foreach(line ${lines})
        list(APPEND bad "${source}: ${line}")
    endforeach()
endforeach()
if(bad)
    string(REPLACE ";" "\n" bad "${bad}")
    message(FATAL_ERROR "The table and the edits include format headers:\n${bad}")
endif()
message(STATUS "table/ and edit/ include no format header")
