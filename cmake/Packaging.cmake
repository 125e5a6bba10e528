# Installs the desktop entry, the icon and the Wireshark dissector beside the programs, and lets CPack build a
# Debian package: cmake --build --preset release --target package
if(WIN32)
    return()  # the Windows programs are zipped by scripts/windows
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.svg
        DESTINATION share/icons/hicolor/scalable/apps)
# The Wireshark dissector, for the operator to copy into a personal plugins folder.
install(FILES ${PROJECT_SOURCE_DIR}/tools/wireshark/tarnwick.lua
        DESTINATION share/tarnwick/wireshark)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Finds the PV data loggers on the LAN and reads or writes their settings")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnwick maintainers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The search port 23 is below 1024: the post-install step grants the program the one
# capability it needs (setcap comes with libcap2-bin), so it runs without root.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin")
set(TARNWICK_INSTALLED_PROGRAM "${CPACK_PACKAGING_INSTALL_PREFIX}/bin/tarnwick")
configure_file(${PROJECT_SOURCE_DIR}/packaging/postinst.in ${PROJECT_BINARY_DIR}/packaging/postinst
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
