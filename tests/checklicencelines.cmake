# SPDX-License-Identifier: Apache-2.0
# Fails when a source file of the project lacks its licence line near its top.
file(GLOB_RECURSE sources
    ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/tests/*.h ${SOURCE_DIR}/tests/*.cpp
    ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/docs/*.cpp
    ${SOURCE_DIR}/tools/*.sh ${SOURCE_DIR}/tools/*.cpp ${SOURCE_DIR}/resources/*.py
    ${SOURCE_DIR}/tests/*.cmake ${SOURCE_DIR}/tests/CMakeLists.txt)
list(APPEND sources ${SOURCE_DIR}/CMakeLists.txt)
set(missing "")
foreach(source ${sources})
    file(STRINGS ${source} head LIMIT_COUNT 3)
    if(NOT head MATCHES "SPDX-License-Identifier: Apache-2.0")
        list(APPEND missing "${source}")
    endif()
endforeach()
if(missing)
    string(REPLACE ";" "\n" missing "${missing}")
    message(FATAL_ERROR "Sources without the Apache-2.0 licence line:\n${missing}")
endif()
list(LENGTH sources count)
message(STATUS "${count} sources carry the licence line")
