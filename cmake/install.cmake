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
# The manual pages name the version in their title line: it must be this one.
foreach(page doc/unls11.1 doc/ls11.1)
  file(STRINGS ${page} title LIMIT_COUNT 1)
  if(NOT title MATCHES "\"ls11kit ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${page} names another version than include/ls11.h's ${PROJECT_VERSION}: ${title}")
  endif()
endforeach()
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
# The prefix is taken relative to the file's own folder, so that the file
# stays right when `cmake --install --prefix` or DESTDIR moves the install.
file(RELATIVE_PATH LS11_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" LS11_PC_PREFIX "${LS11_PC_PREFIX}")
configure_file(cmake/ls11.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ls11.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ls11.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python module, and beside it the installed library's path (written at
# install time, so it follows --prefix; DESTDIR only moves where it is put).
set(LS11_PYTHON_DIR lib/python3/dist-packages CACHE STRING
    "Where the Python module ls11 goes, relative to the install prefix or absolute")
install(DIRECTORY python/ls11 DESTINATION ${LS11_PYTHON_DIR} FILES_MATCHING PATTERN "*.py" PATTERN __pycache__ EXCLUDE)
if(WIN32)
  set(LS11_LIBRARY_FILE ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:ls11_shared>)
else()
  set(LS11_LIBRARY_FILE ${CMAKE_INSTALL_LIBDIR}/$<TARGET_SONAME_FILE_NAME:ls11_shared>)
endif()
install(CODE "set(LS11_PYTHON_DIR [[${LS11_PYTHON_DIR}]])
set(LS11_LIBRARY_FILE [[${LS11_LIBRARY_FILE}]])")
install(SCRIPT cmake/record_library_path.cmake)
