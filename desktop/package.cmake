# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package that scripts/package makes with `cpack -G DEB`: whatever the install puts in place,
# below /usr, its library dependencies worked out from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalendro)
set(CPACK_PACKAGE_VENDOR "Kalendro authors")
set(CPACK_PACKAGE_CONTACT "Kalendro authors <kalendro@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "export an Outlook calendar and contacts for a music player")
set(CPACK_PACKAGE_DESCRIPTION "\
Kalendro exports the appointments of a calendar folder, for a range of days,
to an iCalendar file in the Calendars folder of a music player mounted as a
disk, recurring appointments expanded into single occurrences, and every
contact to one vCard 3.0 file. It reads Outlook's personal folder (.pst) and
offline store (.ost) files, and its own JSON mailbox files.
.
The package holds the Qt window (kalendro) and the command that runs the same
exports from a shell (kalendro-export).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The directories CPack creates take the builder's umask otherwise, and Debian's are 0755.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows' font is loaded by name at run time, which no binary's library list shows.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation2)
include(CPack)
