# The Debian packages, split as a distribution splits a library: libls11-N
# (the shared library, N its soname's number), libls11-dev (what building
# against it needs), ls11kit (the tools, their pages and the web page) and
# python3-ls11 (the module, over libls11-N). Beyond the install itself each
# holds what Debian's tools expect: the licence in the machine-readable
# copyright format and a Debian changelog; libls11-N a shlibs file and an
# ldconfig trigger; python3-ls11 the scripts that compile its modules on
# install and remove what Python wrote beside them on removal. Depends
# lines: between the packages at this exact version, and what
# dpkg-shlibdeps works out from each package's binaries.
# Included by package.cmake with LS11_DEBIAN_PACKAGES.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development tools python)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(LS11_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(LS11_DEB_DIR ${CMAKE_CURRENT_BINARY_DIR}/debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE ${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(LS11_DEB_RUNTIME libls11-${LS11_SOVERSION})
set(same_version "(= ${LS11_DEB_VERSION})")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${LS11_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "Library for LS11 container files\nlibls11 reads, checks, decodes, packs and edits LS11 container files,\nthe data files of many older games, through a C API.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libls11-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${LS11_DEB_RUNTIME} ${same_version}")
# The C++ runtime's link files, for linking the static library into a C
# program (see ls11.pc).
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS ${LS11_CXX_RUNTIME_DEV})
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "Library for LS11 container files (development files)\nThe header ls11.h, the static library, and the CMake and pkg-config\nfiles to build programs against libls11.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "Tools for LS11 container files\nunls11 decodes LS11 container files, the data files of many older games;\nls11 lists, verifies, extracts and builds them and replaces their entries.\nWith ls11kit.html, a page that does the same in a browser.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-ls11)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any, ${LS11_DEB_RUNTIME} ${same_version}")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
    "Python module for LS11 container files\nThe module ls11 reads, decodes, packs and edits LS11 container files\nthrough libls11.")
# The summary is each package's own first line, not the project's.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)

# The Depends lines must not change with what the build machine has
# installed, so there is no .deb without dpkg-shlibdeps.
find_program(LS11_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT LS11_DPKG_SHLIBDEPS)
  message(FATAL_ERROR "The .debs' Depends lines are worked out by dpkg-shlibdeps, which is missing: "
                      "install the package dpkg-dev (apt-get install dpkg-dev)")
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
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  install(FILES ${LS11_DEB_DIR}/copyright ${LS11_DEB_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
endforeach()

# Programs linked against libls11.so.N need libls11-N at this version or
# later.
file(WRITE ${LS11_DEB_DIR}/shlibs "libls11 ${LS11_SOVERSION} ${LS11_DEB_RUNTIME} (>= ${PROJECT_VERSION})\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${LS11_DEB_DIR}/shlibs ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
configure_file(packaging/debian/python3-postinst.in ${LS11_DEB_DIR}/python/postinst @ONLY)
configure_file(packaging/debian/python3-prerm.in ${LS11_DEB_DIR}/python/prerm @ONLY)
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${LS11_DEB_DIR}/python/postinst ${LS11_DEB_DIR}/python/prerm)
