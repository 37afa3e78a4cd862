# What `cmake --install` puts in place: the tools and their manual pages,
# the library (shared and static) with its header, the files that let other
# builds find it (a CMake package and a pkg-config file), the Python module,
# and the licence. Each file belongs to one of four components, the parts a
# distribution ships apart (see package.cmake): tools (the programs, their
# pages, the web page), runtime (the shared library), development (header,
# static library, link, CMake and pkg-config files) and python (the
# module). A plain `cmake --install` installs all four.
include(CMakePackageConfigHelpers)

install(TARGETS unls11 ls11 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(TARGETS ls11_shared ls11_static EXPORT ls11Targets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES include/ls11.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(WIN32)
  include(cmake/man_text.cmake)  # Windows has no man: the pages as plain text
else()
  # Files compressed as man and Debian expect them: gzip -9n stores no name
  # or time, so the same file gives the same bytes on any machine.
  find_program(LS11_GZIP gzip REQUIRED)
  function(ls11_gzip target output input)
    add_custom_command(OUTPUT ${output} COMMAND ${LS11_GZIP} -9n -c ${input} > ${output} DEPENDS ${input})
    add_custom_target(${target} ALL DEPENDS ${output})
  endfunction()
  foreach(page unls11 ls11)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${page}.1.gz)
    ls11_gzip(man_${page} ${compressed} ${CMAKE_CURRENT_SOURCE_DIR}/doc/${page}.1)
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
  endforeach()
endif()
# The manual pages name the version in their title line: it must be this one.
foreach(page doc/unls11.1 doc/ls11.1)
  file(STRINGS ${page} title LIMIT_COUNT 1)
  if(NOT title MATCHES "\"ls11kit ${PROJECT_VERSION}\"")
    message(FATAL_ERROR "${page} names another version than include/ls11.h's ${PROJECT_VERSION}: ${title}")
  endif()
endforeach()
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tools)

set(LS11_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ls11)
install(EXPORT ls11Targets NAMESPACE ls11:: DESTINATION ${LS11_CMAKE_DIR} COMPONENT development)
configure_package_config_file(cmake/ls11Config.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/ls11Config.cmake
                              INSTALL_DESTINATION ${LS11_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ls11ConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ls11Config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ls11ConfigVersion.cmake
        DESTINATION ${LS11_CMAKE_DIR} COMPONENT development)

# pkg-config: `pkg-config --cflags --libs ls11` for the shared library,
# with --static for the static one, which needs the C++ runtime's link
# files: on Debian the package below (g++ brings it too).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION MATCHES "^([0-9]+)")
  set(LS11_CXX_RUNTIME_DEV libstdc++-${CMAKE_MATCH_1}-dev)
else()
  set(LS11_CXX_RUNTIME_DEV libstdc++-dev)
endif()
# The file is written at install time, for the prefix installed to (see
# write_pc_file.cmake).
option(LS11_PC_ABSOLUTE_PREFIX "Write the install prefix into ls11.pc as it is, not relative to the file, whatever the prefix" OFF)
set(LS11_PC_PREFIX @LS11_PC_PREFIX@)  # left for install time
configure_file(cmake/ls11.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ls11.pc.in @ONLY)
install(CODE "set(LS11_PC_TEMPLATE [[${CMAKE_CURRENT_BINARY_DIR}/ls11.pc.in]])
set(LS11_PC_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
set(LS11_PC_ABSOLUTE_PREFIX ${LS11_PC_ABSOLUTE_PREFIX})" COMPONENT development)
install(SCRIPT cmake/write_pc_file.cmake COMPONENT development)

# The Python module, with the library's path relative to it beside it, so
# that it finds the library wherever the install is moved or unpacked. Its
# folder is chosen at install time (install_python_module.cmake), since the
# .deb installs to /usr and `cmake --install` to any prefix; for a prefix
# other than /usr it is the folder the system's python3 reads there
# (lib/python3.X/dist-packages on Debian), asked of it now.
set(LS11_PYTHON_DIR "" CACHE STRING
    "Where the Python module ls11 goes, relative to the install prefix or absolute (empty: where Python reads it)")
find_program(LS11_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(LS11_SYSTEM_PYTHON python3)
if(LS11_SYSTEM_PYTHON AND NOT CMAKE_CROSSCOMPILING)
  execute_process(COMMAND ${LS11_SYSTEM_PYTHON} -c
                  "import os, sys, sysconfig; print('lib/python%d.%d/%s' % (sys.version_info[:2] + (os.path.basename(sysconfig.get_path('purelib')),)))"
                  OUTPUT_VARIABLE LS11_LOCAL_PYTHON_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT LS11_LOCAL_PYTHON_DIR)
  set(LS11_LOCAL_PYTHON_DIR lib/python3/dist-packages)
endif()
if(WIN32)
  set(LS11_LIBRARY_FILE ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:ls11_shared>)
else()
  set(LS11_LIBRARY_FILE ${CMAKE_INSTALL_LIBDIR}/$<TARGET_SONAME_FILE_NAME:ls11_shared>)
endif()
install(CODE "set(LS11_PYTHON_DIR [[${LS11_PYTHON_DIR}]])
set(LS11_LOCAL_PYTHON_DIR [[${LS11_LOCAL_PYTHON_DIR}]])
set(LS11_PACKAGES_DIR [[${CMAKE_BINARY_DIR}/_CPack_Packages]])
set(LS11_MODULE_SOURCE [[${LS11_BINDINGS_DIR}/python/ls11]])
set(LS11_LIBRARY_FILE [[${LS11_LIBRARY_FILE}]])" COMPONENT python)
install(SCRIPT cmake/install_python_module.cmake COMPONENT python)

# The web page, ls11kit.html, as the wasm preset built it (the release
# presets name it, so that the wasm workflow runs first).
set(LS11_WEB_PAGE "" CACHE FILEPATH "ls11kit.html to install under share/ls11kit (empty: none)")
if(LS11_WEB_PAGE)
  if(NOT EXISTS ${LS11_WEB_PAGE})
    message(FATAL_ERROR "${LS11_WEB_PAGE} is missing: run `cmake --workflow --preset wasm` first, "
                        "or configure with -DLS11_WEB_PAGE= to package without the page.")
  endif()
  install(FILES ${LS11_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/ls11kit COMPONENT tools)
endif()
