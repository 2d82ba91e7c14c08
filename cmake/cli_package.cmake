# Installing pelora-update and its Debian package: the program, the udev rule, the manual page
# (generated from the program's own --help, so it is never kept twice) and the licence.
include(GNUInstallDirs)

# A package is what users install: it never carries the stand-in by accident. Checked when the
# package is made (cpack), so the host build and its tests still use the stand-in freely.
set(standin_check "${CMAKE_BINARY_DIR}/package_image_check.cmake")
if(UPDATER_CARRIES_STANDIN AND NOT UPDATER_PACKAGE_STANDIN)
  file(WRITE "${standin_check}"
       "message(FATAL_ERROR \"The package would carry the stand-in image, which is useless on a "
       "real ESC. Configure with -DUPDATER_FIRMWARE_IMAGE=/path/to/firmware.bin, or with "
       "-DUPDATER_PACKAGE_STANDIN=ON for a test package.\")\n")
else()
  file(WRITE "${standin_check}" "")
endif()
set(CPACK_PRE_BUILD_SCRIPTS "${standin_check}")

set(manual "${CMAKE_BINARY_DIR}/pelora-update.1.gz")
add_custom_command(
  OUTPUT "${manual}"
  COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C LANG=C LC_MESSAGES=C
          help2man --no-info --section=1
                   "--name=update the firmware of a TALVERO PELORA ESC through a programming unit"
                   --output=pelora-update.1 "$<TARGET_FILE:pelora-update>"
  # help2man makes sections of "Environment:" and "Files:" itself; the program's other headings
  # of that rank become sections here rather than sub-sections of OPTIONS.
  COMMAND sed -i -e "s/^\\.SS \"Exit status:\"$/.SH \"EXIT STATUS\"/"
                 -e "s/^\\.SS \"Signals:\"$/.SH SIGNALS/" pelora-update.1
  COMMAND gzip -9nf pelora-update.1
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
  DEPENDS pelora-update
  COMMENT "Generating the manual page from pelora-update --help"
  VERBATIM)
add_custom_target(pelora-update-manual ALL DEPENDS "${manual}")

install(TARGETS pelora-update RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${UPDATER_UDEV_RULE}" DESTINATION "lib/udev/rules.d")
install(FILES "${manual}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/pelora-update"
        RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelora-update)
set(CPACK_PACKAGE_VERSION "${UPDATER_FIRMWARE_VERSION}.0")
set(CPACK_PACKAGE_VENDOR TALVERO)
set(CPACK_PACKAGE_CONTACT "TALVERO Service <service@talvero.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Updates the firmware of a TALVERO PELORA ESC through a programming unit")
set(CPACK_PACKAGE_DESCRIPTION "pelora-update installs the firmware it carries into a TALVERO \
PELORA electronic speed controller through a MAVIRA or TORVEX programming unit on USB. Its udev \
rule lets the user logged in at the computer open the unit without root.")
if(UPDATER_CARRIES_STANDIN)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_DESCRIPTION_SUMMARY} (TEST BUILD: stand-in image)")
  set(CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION} THIS IS A TEST PACKAGE: it carries \
the stand-in test image, not the maker's firmware, and is useless on a real ESC.")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The rule takes effect for a unit plugged in after installation.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/resources/debian/postinst")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
