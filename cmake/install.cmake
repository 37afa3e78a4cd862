# What `cmake --install` puts in place: the tools and their manual pages,
# the library (shared and static) with its header, the files that let other
# builds find it (a CMake package and a pkg-config file), the Python module,
# and the licence.
include(CMakePackageConfigHelpers)

install(TARGETS unls11 ls11 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ls11_shared ls11_static EXPORT ls11Targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Unspecified
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/ls11.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  include(cmake/man_text.cmake)  # Windows has no man: the pages as plain text
else()
  install(FILES doc/unls11.1 doc/ls11.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(LS11_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ls11)
install(EXPORT ls11Targets NAMESPACE ls11:: DESTINATION ${LS11_CMAKE_DIR})
configure_package_config_file(cmake/ls11Config.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/ls11Config.cmake
                              INSTALL_DESTINATION ${LS11_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ls11ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ls11Config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ls11ConfigVersion.cmake
        DESTINATION ${LS11_CMAKE_DIR})

# pkg-config: `pkg-config --cflags --libs ls11` for the shared library,
# with --static for the static one (which needs the C++ runtime).
configure_file(cmake/ls11.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ls11.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ls11.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
