# Release packages (the release presets, or cpack in a build):
#   Debian:  libls11-1, libls11-dev, ls11kit and python3-ls11 (.deb), with
#            LS11_DEBIAN_PACKAGES (the release preset)
#   Linux:   ls11kit-VERSION-linux-ARCH.tar.gz, whose tools run on any Linux
#            of their architecture (LS11_STATIC_TOOLS; the linux-* presets)
#   Windows: ls11kit-VERSION-win64.zip, from the MinGW-w64 cross build
# The archives hold what `cmake --install` puts in place; the .debs hold it
# split by component (see install.cmake).
# Who answers for the packages: the .debs' Maintainer, their changelog and
# copyright files.
set(LS11_MAINTAINER "ls11kit developers <ls11kit-dev@example.org>")
set(CPACK_PACKAGE_NAME ls11kit)
set(CPACK_PACKAGE_VENDOR "the ls11kit developers")
set(CPACK_PACKAGE_CONTACT ${LS11_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tools and a library for LS11 container files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "unls11 decodes LS11 container files, the data files of many older games;\n"
       "ls11 lists, verifies, extracts and builds them and replaces their entries.\n"
       "With the library libls11 (C API, CMake and pkg-config files).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

option(LS11_DEBIAN_PACKAGES "Make the Debian packages (.deb) rather than a .tar.gz" OFF)
option(LS11_STATIC_TOOLS "Link the tools wholly statically, so that they run on any Linux of their architecture" OFF)
if(LS11_STATIC_TOOLS)
  foreach(tool unls11 ls11)
    target_link_options(${tool} PRIVATE -static)
  endforeach()
endif()

if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_GENERATOR ZIP)
  install(FILES README.md LICENSE DESTINATION . COMPONENT tools)
else()
  string(TOLOWER ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR} CPACK_SYSTEM_NAME)
  set(CPACK_GENERATOR TGZ)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tools)
  if(LS11_DEBIAN_PACKAGES)
    include(cmake/debian.cmake)
  endif()
endif()
include(CPack)

# `ctest` in a release build checks the packages cpack made there.
option(LS11_PACKAGE_TESTS "Add tests that check the release packages (run after cpack)" OFF)
if(LS11_PACKAGE_TESTS)
  enable_testing()
  set(LS11_PACKAGE ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
  if(WIN32)
    add_test(NAME package_zip
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check_zip.sh ${LS11_PACKAGE}.zip
                     ${PROJECT_SOURCE_DIR}/samples ${CMAKE_C_COMPILER} ${CMAKE_CROSSCOMPILING_EMULATOR})
  elseif(LS11_DEBIAN_PACKAGES)
    add_test(NAME package_debs
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check_debs.sh ${CMAKE_BINARY_DIR} ${LS11_DEB_VERSION}
                     ${PROJECT_SOURCE_DIR}/samples)
  else()
    add_test(NAME package_tarball
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check_tarball.sh ${LS11_PACKAGE}.tar.gz
                     ${PROJECT_SOURCE_DIR}/samples ${CMAKE_C_COMPILER} ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
endif()
