# The Windows packages (make windows-package), built by the 64-bit Windows build from both
# modules: the installer Quorvane-VERSION-setup.exe (NSIS) and Quorvane-VERSION-windows.zip with
# both modules and a short text. The version numbers are the project's, as in the modules'
# version resource.
set(QUORVANE_WIN32_DIR ${CMAKE_SOURCE_DIR}/build-win32 CACHE PATH "The 32-bit Windows build")
find_program(QUORVANE_MAKENSIS makensis)

set(_name Quorvane-${PROJECT_VERSION})
set(_module32 ${QUORVANE_WIN32_DIR}/Quorvane.dll)
set(_setup ${CMAKE_BINARY_DIR}/${_name}-setup.exe)
set(_zip ${CMAKE_BINARY_DIR}/${_name}-windows.zip)
set(_stage ${CMAKE_BINARY_DIR}/package/${_name})

if(QUORVANE_MAKENSIS)
    add_custom_command(
        OUTPUT ${_setup}
        COMMAND ${QUORVANE_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION}
                -DVERSION_QUAD=${PROJECT_VERSION}.0 -DMODULE64=$<TARGET_FILE:Quorvane>
                -DMODULE32=${_module32} -DOUTFILE=${_setup}
                ${CMAKE_SOURCE_DIR}/packaging/quorvane.nsi
        DEPENDS Quorvane ${_module32} ${CMAKE_SOURCE_DIR}/packaging/quorvane.nsi
        COMMENT "Building the installer ${_name}-setup.exe"
        VERBATIM)
else()
    add_custom_command(
        OUTPUT ${_setup}
        COMMAND ${CMAKE_COMMAND} -E echo
                "makensis is missing (Debian package nsis): scripts/install-deps.sh windows"
        COMMAND ${CMAKE_COMMAND} -E false
        VERBATIM)
endif()

configure_file(${CMAKE_SOURCE_DIR}/packaging/windows-readme.txt.in ${_stage}/README.txt
    NEWLINE_STYLE CRLF)
add_custom_command(
    OUTPUT ${_zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_stage}/64-bit ${_stage}/32-bit
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Quorvane> ${_stage}/64-bit/Quorvane.dll
    COMMAND ${CMAKE_COMMAND} -E copy ${_module32} ${_stage}/32-bit/Quorvane.dll
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_zip}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip ${_name}/README.txt
            ${_name}/64-bit/Quorvane.dll ${_name}/32-bit/Quorvane.dll
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/package
    DEPENDS Quorvane ${_module32} ${_stage}/README.txt
    COMMENT "Building ${_name}-windows.zip"
    VERBATIM)
add_custom_target(windows-package DEPENDS ${_setup} ${_zip})
