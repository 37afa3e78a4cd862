# The manual pages as plain text files (doc/ls11.txt, doc/unls11.txt) for
# systems without man, made by the build machine's groff (groff-base).
find_program(LS11_GROFF groff)
if(NOT LS11_GROFF)
  message(WARNING "groff not found: the manual pages are left out of the install")
  return()
endif()
foreach(page unls11 ls11)
  set(text ${CMAKE_CURRENT_BINARY_DIR}/doc/${page}.txt)
  # -P-cbou: plain characters, no overstriking for bold and underline.
  add_custom_command(OUTPUT ${text}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
    COMMAND ${LS11_GROFF} -man -Tascii -P-cbou ${CMAKE_CURRENT_SOURCE_DIR}/doc/${page}.1 > ${text}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/doc/${page}.1
    VERBATIM)
  list(APPEND LS11_MAN_TEXTS ${text})
endforeach()
add_custom_target(man_text ALL DEPENDS ${LS11_MAN_TEXTS})
install(FILES ${LS11_MAN_TEXTS} DESTINATION doc COMPONENT tools)
