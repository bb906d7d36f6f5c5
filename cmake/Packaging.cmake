# The Debian package (make package): the plug-in where Linux hosts look for VST 2 plug-ins, the
# LV2 bundle where they look for LV2 plug-ins (its install rules are the bundle's own), the
# tool, its manual page generated from its own help, and the package's documents.
set(QUORVANE_PACKAGE_MAINTAINER "Quorvane maintainers <maintainers@quorvane.example>"
    CACHE STRING "Maintainer field of the Debian package")

# Manual page: written from the built tool's --help texts, compressed as Debian wants it.
set(_man ${CMAKE_BINARY_DIR}/quorvane.1)
add_custom_command(
    OUTPUT ${_man}.gz
    COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/manpage.sh $<TARGET_FILE:quorvane> > ${_man}
    COMMAND gzip -9nf ${_man}
    DEPENDS quorvane ${CMAKE_SOURCE_DIR}/scripts/manpage.sh
    COMMENT "Writing the manual page quorvane.1 from the tool's help"
    VERBATIM)
add_custom_target(manpage ALL DEPENDS ${_man}.gz)
install(FILES ${_man}.gz DESTINATION share/man/man1)

# Documents: the copyright file as it stands, the changelog compressed.
set(_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
    OUTPUT ${_changelog}
    COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/packaging/changelog > ${_changelog}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${_changelog})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${_changelog}
        DESTINATION share/doc/quorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spectral side-chain ducking VST 2 and LV2 plug-in and tool")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Quorvane ducks a signal under a key bin by bin: in every frequency band\n"
    "the signal is turned down by the share the key has there, so a voice or\n"
    "a kick drum cuts through a music bed or a bass without a global volume\n"
    "dip.\n"
    "\n"
    "This package installs the plug-in for Linux hosts that load VST 2\n"
    "plug-ins from /usr/lib/vst, the same effect as an LV2 plug-in in\n"
    "/usr/lib/lv2/quorvane.lv2, and the quorvane command, which renders\n"
    "audio files through the plug-in offline (with the mix of key and ducked\n"
    "signal if asked), draws spectrograms of the result, and shows what any\n"
    "VST 2 module reports to a host.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
