# SPDX-License-Identifier: Apache-2.0
# Installs the build into a fresh prefix and checks what landed there.
# -DBUILD_DIR=… -DPREFIX=…
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/corvane bin/corvane-convert share/applications/corvane.desktop
             share/icons/hicolor/64x64/apps/corvane.png share/doc/corvane/manual.html
             share/doc/corvane/plate-windows.png share/doc/corvane/Corvane.pdf
             share/doc/corvane/README.md share/man/man1/corvane-convert.1)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(READ "${PREFIX}/share/applications/corvane.desktop" desktop)
if(NOT desktop MATCHES "Exec=corvane" OR NOT desktop MATCHES "Icon=corvane")
    message(FATAL_ERROR "the desktop file does not start corvane with its icon")
endif()
# The man page lists every option --help prints.
execute_process(COMMAND "${PREFIX}/bin/corvane-convert" --help OUTPUT_VARIABLE help)
file(READ "${PREFIX}/share/man/man1/corvane-convert.1" man)
string(REGEX MATCHALL "--[a-z-]+" options "${help}")
foreach(option ${options})
    string(REPLACE "-" "\\-" escaped "${option}")
    string(FIND "${man}" "${escaped}" at)
    if(at LESS 0)
        message(FATAL_ERROR "the man page lacks ${option}")
    endif()
endforeach()
message(STATUS "installed and checked in ${PREFIX}")
