# Installing pelora-update and its Debian package: the program, the udev rule, the manual page
# (generated from the program's own --help, so it is never kept twice) and the licence.
include(GNUInstallDirs)

set(manual "${CMAKE_BINARY_DIR}/pelora-update.1.gz")
add_custom_command(
  OUTPUT "${manual}"
  COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C LANG=C LC_MESSAGES=C
          help2man --no-info --section=1
                   "--name=update the firmware of a TALVERO PELORA ESC through a programming unit"
                   --output=pelora-update.1 "$<TARGET_FILE:pelora-update>"
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
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The rule takes effect for a unit plugged in after installation.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/resources/debian/postinst")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
