# SPDX-License-Identifier: Apache-2.0
# Fails when a part of the window includes the main window's header: the
# steps, the table panel, the menus and the track view stand below the main
# window, which composes them (its own files and main.cpp may include it).
cmake_policy(SET CMP0057 NEW)
file(GLOB sources ${SOURCE_DIR}/app/*.h ${SOURCE_DIR}/app/*.cpp)
set(composer mainwindow.h mainwindow.cpp desktop.cpp main.cpp)
set(bad "")
foreach(source ${sources})
    get_filename_component(name ${source} NAME)
    if(name IN_LIST composer)
        continue()
    endif()
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"mainwindow.h\"")
    if(lines)
        list(APPEND bad "${source}")
    endif()
endforeach()
if(bad)
    string(REPLACE ";" "\n" bad "${bad}")
    message(FATAL_ERROR "Parts of the window include mainwindow.h:\n${bad}")
endif()
message(STATUS "no part of the window includes mainwindow.h")
