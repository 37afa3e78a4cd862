# Run by `cmake --install` (see install.cmake): writes ls11.pc for the
# prefix installed to. Under /usr, where a distribution's package puts it,
# the prefix is written as it is, so that pkg-config prints plain paths;
# anywhere else it is taken relative to the file's own folder, so that the
# install stays right when it is moved or unpacked elsewhere (the .tar.gz).
cmake_path(SET prefix NORMALIZE "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "(.)/$" "\\1" prefix "${prefix}")
if(prefix STREQUAL "/usr" OR LS11_PC_ABSOLUTE_PREFIX)
  set(LS11_PC_PREFIX "${prefix}")
else()
  file(RELATIVE_PATH relative "${prefix}/${LS11_PC_LIBDIR}/pkgconfig" "${prefix}")
  string(REGEX REPLACE "/$" "" relative "${relative}")
  set(LS11_PC_PREFIX "\${pcfiledir}/${relative}")
endif()
get_filename_component(made "${LS11_PC_TEMPLATE}" DIRECTORY)
configure_file("${LS11_PC_TEMPLATE}" "${made}/pkgconfig/ls11.pc" @ONLY)
file(INSTALL "${made}/pkgconfig/ls11.pc" DESTINATION "${CMAKE_INSTALL_PREFIX}/${LS11_PC_LIBDIR}/pkgconfig")
