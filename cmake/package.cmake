# Release packages (cpack, or the release workflow presets):
#   Linux:   ls11kit-VERSION-Linux-x86_64.tar.gz and ls11kit_VERSION-REVISION_ARCH.deb
#   Windows: ls11kit-VERSION-win64.zip, from the MinGW-w64 cross build
# Each holds what `cmake --install` puts in place.
# Who answers for the packages: the .deb's Maintainer, its changelog and
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
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_GENERATOR ZIP)
  install(FILES README.md LICENSE DESTINATION .)
else()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ DEB)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# python3 for the Python module; the C++ runtime's link files for linking
# the static library into a C program (see ls11.pc).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, ${LS11_CXX_RUNTIME_DEV}")
if(NOT WIN32)
  include(cmake/debian.cmake)
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
  else()
    add_test(NAME package_deb_and_tgz
             COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/check_linux.sh ${CMAKE_BINARY_DIR}
                     ${LS11_PACKAGE}.tar.gz ${PROJECT_SOURCE_DIR}/samples)
  endif()
endif()
