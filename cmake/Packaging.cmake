# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack` in a build folder configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does that) writes offerwatch_VERSION_ARCH.deb from the install rules.
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${PROJECT_BINARY_DIR}/packaging)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME offerwatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Offerwatch developers")
set(CPACK_PACKAGE_CONTACT "${OFFERWATCH_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor of IPO offerings pages with alarm and e-mail alerts")
# CPack puts the summary in front of this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Offerwatch watches a broker's web page of current IPO offerings. Every 15 to
90 minutes it fetches the page, picks out the ticker symbols with their open
or closed status, and compares them with the last eight results. When
something new appears it alerts at once: a line in its action log, a red
status colour, an alarm sound, and an e-mail sent over SMTP or through the
local mail system.
.
It runs with windows on a desktop, or in console mode on a headless box,
where a systemd user service keeps it running. The package also holds the
smtp mail-sending library and its command-line host smtpsend.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Only what a user runs: the smtp headers and its link-time name (the Development
# component) are for building against the library and stay out.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

# The Qt libraries come from dpkg-shlibdeps. The smtp library is private (see
# smtp/CMakeLists.txt): outside the linker's folders it needs no shlibs file, no
# ldconfig and so no maintainer scripts at all, which also lets `apt purge` finish
# without a word and `apt remove` leave no trace in dpkg's records.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is started at run time and so invisible to dpkg-shlibdeps: the viewer for the log
# and the help file. (The browser view's helper process, libqt6webenginecore6-bin, is
# named by the symbols file of the engine's library, so dpkg-shlibdeps adds it; naming it
# here too put it twice in Depends. The desktop keyring library is linked.)
set(CPACK_DEBIAN_PACKAGE_DEPENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-comic-neue, gstreamer1.0-plugins-good")
# A notification daemon shows desktop notifications; an MTA serves the local mail alerts;
# a keyring keeps the SMTP password.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
    "dunst | notification-daemon, default-mta | mail-transport-agent, gnome-keyring | kwalletmanager")

# Debian wants the changelog of a native package compressed beside the copyright file.
# The date honours SOURCE_DATE_EPOCH, so a rebuild of the same source is the same.
string(TIMESTAMP OFFERWATCH_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
if(NOT OFFERWATCH_MAINTAINER MATCHES "^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$")
    message(FATAL_ERROR "OFFERWATCH_MAINTAINER must read \"Name <address>\", not \"${OFFERWATCH_MAINTAINER}\"")
endif()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Software centres list the program from its AppStream metainfo; its releases are the changelog's.
include(${PROJECT_SOURCE_DIR}/cmake/ChangelogReleases.cmake)
offerwatch_changelog_releases(${PROJECT_BINARY_DIR}/packaging/changelog OFFERWATCH_RELEASES)
configure_file(${PROJECT_SOURCE_DIR}/about/${OFFERWATCH_APP_ID}.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/about/${OFFERWATCH_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/about/${OFFERWATCH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

include(CPack)
