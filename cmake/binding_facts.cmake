# The facts Python and JavaScript share with the C library, written for them
# from the C sources when the project is configured, so that none is typed a
# second time: the statuses, reasons and levels as include/ls11.h numbers
# them, and the shared library's soname version (LS11_SOVERSION). Writes
# into DIR:
#   python/ls11/_facts.py   the module's constants (the package assembled
#                           beside it by the main CMakeLists.txt)
#   js/facts.js, facts.d.ts what build_module.mjs puts into ls11.js and
#                           ls11.d.ts
function(ls11_write_binding_facts header soversion dir)
  file(READ ${header} text)
  string(REGEX MATCHALL "LS11_[A-Z_]+ = [0-9]+" enumerators "${text}")
  set(py "")
  set(py_names "")
  set(py_reasons "")
  set(py_levels "")
  set(js "")
  set(js_levels "")
  set(dts "")
  foreach(enumerator ${enumerators})
    string(REGEX REPLACE "LS11_([A-Z_]+) = ([0-9]+)" "\\1;\\2" pair "${enumerator}")
    list(GET pair 0 name)
    list(GET pair 1 value)
    if(name MATCHES "^LEVEL_(.+)$")
      string(TOLOWER ${CMAKE_MATCH_1} level)
      string(APPEND py_levels "\"${level}\": ${value}, ")
      string(APPEND js_levels "${level}: ${value}, ")
    elseif(name MATCHES "^(OK|ERR_.+|REASON_.+)$")
      string(APPEND py "${name}: Final = ${value}\n")
      if(name MATCHES "^REASON_")
        string(APPEND py_reasons "\"${name}\", ")
      else()
        string(APPEND py_names "\"${name}\", ")
      endif()
      string(APPEND js "export const ${name} = ${value};\n")
      string(APPEND dts "export const ${name}: ${value};\n")
    endif()
  endforeach()
  if(NOT py_levels OR NOT py)
    message(FATAL_ERROR "${header} names no statuses or levels as LS11_NAME = NUMBER")
  endif()
  set(note "Written from include/ls11.h and CMakeLists.txt by cmake/binding_facts.cmake")
  file(CONFIGURE OUTPUT ${dir}/python/ls11/_facts.py CONTENT [[
"""libls11's statuses, reasons and packing levels, and its soname's version.
@note@ when the project is configured."""
from typing import Final

@py@
_STATUS_NAMES: Final = (@py_names@)
_REASON_NAMES: Final = (@py_reasons@)
_LEVELS: Final = {@py_levels@}
_SOVERSION: Final = "@soversion@"
]] @ONLY)
  file(CONFIGURE OUTPUT ${dir}/js/facts.js CONTENT [[
// @note@.
@js@
const LEVELS = Object.freeze({ @js_levels@});
]] @ONLY)
  file(CONFIGURE OUTPUT ${dir}/js/facts.d.ts CONTENT [[
// @note@.
@dts@
]] @ONLY)
endfunction()
