# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages tarnwick(1), tarnwick-cli(1) and logger-sim(1): written in scdoc's format
# in docs/man, given the project's version, turned into roff by Debian's scdoc and
# compressed as Debian installs manual pages.
if(WIN32)
    return()
endif()

find_program(SCDOC_PROGRAM scdoc)
if(NOT SCDOC_PROGRAM)
    message(FATAL_ERROR "scdoc builds the manual pages: run scripts/install-deps")
endif()

set(TARNWICK_MANUALS tarnwick tarnwick-cli logger-sim)
set(manual_outputs)
foreach(name IN LISTS TARNWICK_MANUALS)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${name}.1.scd)
    set(versioned ${PROJECT_BINARY_DIR}/man/${name}.1.scd)
    set(page ${PROJECT_BINARY_DIR}/man/${name}.1)
    configure_file(${source} ${versioned} @ONLY)
    add_custom_command(
        OUTPUT ${page} ${page}.gz
        COMMAND sh -c "'${SCDOC_PROGRAM}' <'${versioned}' >'${page}' && gzip -9n <'${page}' >'${page}.gz'"
        DEPENDS ${versioned}
        COMMENT "Manual page ${name}(1)"
        VERBATIM)
    list(APPEND manual_outputs ${page} ${page}.gz)
    install(FILES ${page}.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(manuals ALL DEPENDS ${manual_outputs})
