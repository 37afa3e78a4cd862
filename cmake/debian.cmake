# What the .deb holds beyond the install itself, so that Debian's tools
# accept it: the licence in Debian's machine-readable copyright format, a
# Debian changelog, the shlibs file (which package and version provide
# libls11.so.N), an ldconfig trigger instead of maintainer scripts, and a
# Depends line that dpkg-shlibdeps works out from the packaged binaries.
# Included by package.cmake on systems other than Windows.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(LS11_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(LS11_DEB_DIR ${CMAKE_CURRENT_BINARY_DIR}/debian)

# The Depends line must not change with what the build machine has
# installed, so there is no .deb without dpkg-shlibdeps.
find_program(LS11_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT LS11_DPKG_SHLIBDEPS)
  if(LS11_PACKAGE_TESTS)
    message(FATAL_ERROR "The .deb's Depends line is worked out by dpkg-shlibdeps, which is missing: "
                        "install the package dpkg-dev (apt-get install dpkg-dev)")
  endif()
  message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): cpack makes no .deb")
  list(REMOVE_ITEM CPACK_GENERATOR DEB)
  return()
endif()
set(CPACK_LS11_DPKG_SHLIBDEPS ${LS11_DPKG_SHLIBDEPS})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/deb_depends.cmake)

# copyright: LICENSE's own words as an Expat licence paragraph (each line
# indented by one space, an empty line as " .").
file(READ LICENSE licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE has no 'Copyright (c)' line followed by the licence text")
endif()
set(LS11_COPYRIGHT ${CMAKE_MATCH_1})
string(STRIP "${CMAKE_MATCH_2}" licence_text)
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
set(LS11_LICENSE_TEXT "${licence_text}")
configure_file(packaging/debian/copyright.in ${LS11_DEB_DIR}/copyright @ONLY)

# The changelog's newest entry must be this package's version; it is
# compressed as the man pages are (ls11_gzip, in install.cmake).
configure_file(packaging/debian/changelog.in ${LS11_DEB_DIR}/changelog @ONLY)
file(STRINGS ${LS11_DEB_DIR}/changelog newest LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern "${LS11_DEB_VERSION}")
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(${version_pattern}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog.in's newest entry is not ${LS11_DEB_VERSION}: ${newest}")
endif()
ls11_gzip(deb_changelog ${LS11_DEB_DIR}/changelog.Debian.gz ${LS11_DEB_DIR}/changelog)
install(FILES ${LS11_DEB_DIR}/copyright ${LS11_DEB_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Programs linked against libls11.so.N need this package at this version
# or later.
file(WRITE ${LS11_DEB_DIR}/shlibs "libls11 ${LS11_SOVERSION} ${CPACK_PACKAGE_NAME} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${LS11_DEB_DIR}/shlibs ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
