# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package, lists its contents and dependencies, and has
# lintian check it where lintian is installed: no error and no warning.
# Skipped where dpkg-deb is missing. -DBUILD_DIR=…
find_program(DPKG_DEB dpkg-deb)
if(NOT DPKG_DEB)
    message("SKIP: dpkg-deb is not installed, so no Debian package is built")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E false)
    return()
endif()
file(GLOB old "${BUILD_DIR}/corvane_*.deb")
if(old)
    file(REMOVE ${old})
endif()
execute_process(COMMAND cpack -G DEB WORKING_DIRECTORY "${BUILD_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed: ${out}")
endif()
file(GLOB packages "${BUILD_DIR}/corvane_*.deb")
list(GET packages 0 package)
execute_process(COMMAND "${DPKG_DEB}" -c "${package}" OUTPUT_VARIABLE contents)
execute_process(COMMAND "${DPKG_DEB}" -f "${package}" Depends OUTPUT_VARIABLE depends)
message(STATUS "contents:\n${contents}")
message(STATUS "depends: ${depends}")
foreach(file ./usr/bin/corvane ./usr/bin/corvane-convert ./usr/share/man/man1/corvane.1.gz
             ./usr/share/man/man1/corvane-convert.1.gz ./usr/share/doc/corvane/copyright
             ./usr/share/doc/corvane/changelog.Debian.gz
             ./usr/share/applications/corvane.desktop
             ./usr/share/metainfo/org.corvane.Corvane.metainfo.xml
             ./usr/share/blender/scripts/addons/corvane_tracks.py)
    string(FIND "${contents}" "${file}" at)
    if(at LESS 0)
        message(FATAL_ERROR "the package lacks ${file}")
    endif()
endforeach()
if(NOT depends MATCHES "libqt6core6" OR NOT depends MATCHES "libqt6widgets6")
    message(FATAL_ERROR "the package does not depend on the Qt 6 runtime: ${depends}")
endif()

# The package's Python module imports (unpacked, with python3's own path).
if(PYTHON)
    string(FIND "${contents}" "./usr/lib/python3/dist-packages/corvane/_corvane." at)
    if(at LESS 0)
        message(FATAL_ERROR "the package lacks the Python module in usr/lib/python3/dist-packages")
    endif()
    if(NOT depends MATCHES "python3 \\(")
        message(FATAL_ERROR "the package does not depend on python3: ${depends}")
    endif()
    set(unpacked "${BUILD_DIR}/unpacked-package")
    file(REMOVE_RECURSE "${unpacked}")
    execute_process(COMMAND "${DPKG_DEB}" -x "${package}" "${unpacked}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env
                            PYTHONPATH=${unpacked}/usr/lib/python3/dist-packages
                            ${PYTHON} -c "import corvane; print(corvane.formats())"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    file(REMOVE_RECURSE "${unpacked}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the package's Python module does not import: ${err}")
    endif()
endif()

find_program(LINTIAN lintian)
if(LINTIAN)
    execute_process(COMMAND ${LINTIAN} --fail-on error,warning "${package}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    message(STATUS "lintian: ${out}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lintian finds errors or warnings in ${package}:\n${out}${err}")
    endif()
else()
    message(STATUS "lintian is not installed: the package is not checked by it")
endif()
