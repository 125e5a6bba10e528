# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the desktop entry, its AppStream metadata, the icon, the shell completion, the
# Wireshark dissector and the documents beside the programs (the manual pages:
# cmake/Manuals.cmake), and lets CPack build a Debian package:
# cmake --build --preset release --target package
if(WIN32)
    return()  # the Windows programs are zipped by scripts/windows
endif()

set(TARNWICK_MAINTAINER "Tarnwick maintainers <maintainers@tarnwick.example>")
# The day of the release in the metadata and the changelog; SOURCE_DATE_EPOCH, when set,
# makes it the same on every build.
string(TIMESTAMP TARNWICK_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TARNWICK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.desktop DESTINATION share/applications)
configure_file(${PROJECT_SOURCE_DIR}/packaging/org.tarnwick.Tarnwick.metainfo.xml
               ${PROJECT_BINARY_DIR}/packaging/org.tarnwick.Tarnwick.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/org.tarnwick.Tarnwick.metainfo.xml
        DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/tarnwick.svg
        DESTINATION share/icons/hicolor/scalable/apps)
# Completion where each shell looks for it: bash-completion loads a command's file when the
# command is first completed; zsh reads the vendor folder on Debian's fpath.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/tarnwick-cli.bash
        DESTINATION share/bash-completion/completions RENAME tarnwick-cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/_tarnwick-cli
        DESTINATION share/zsh/vendor-completions)
# The Wireshark dissector, for the operator to copy into a personal plugins folder.
install(FILES ${PROJECT_SOURCE_DIR}/tools/wireshark/tarnwick.lua
        DESTINATION share/tarnwick/wireshark)
# What the manual pages refer to; the licence and the changelog where Debian keeps them.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
execute_process(COMMAND gzip -9nc
                INPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_SOURCE_DIR}/docs/profile.md ${PROJECT_SOURCE_DIR}/docs/report.schema.json
              ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION share/doc/tarnwick)
# The warnings lintian gives that stay, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION share/lintian/overrides RENAME tarnwick)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Finds the PV data loggers on the LAN and reads or writes their settings")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick finds the data loggers of a solar plant on the local network
and reads or writes their settings over the loggers' UDP protocol: IP
configuration, data server, cellular link, front-end endpoint, device
registry and system parameters. The command-line program tarnwick-cli
does the same for many loggers at once and applies saved profiles;
logger-sim is a substitute logger for demonstrations and tests.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNWICK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
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
