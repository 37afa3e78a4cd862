# The tools stand on the public API: no source of programs/ names a header
# of lib/ (by a folder of lib/ or by a path through it), except unls11's
# one door, programs/unls11/library_internals.h. platform/, beside lib/,
# is the system layer the tools share with the library, so theirs to
# include. Fails naming each line that does. The build runs it before the tools are compiled:
# cmake -DSOURCE_DIR=<the source tree> -P cmake/check_tool_includes.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB lib_folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/lib ${SOURCE_DIR}/lib/*)
list(FILTER lib_folders EXCLUDE REGEX "\\.")
list(JOIN lib_folders "|" folders)
if(folders STREQUAL "")
  message(FATAL_ERROR "no folder found in ${SOURCE_DIR}/lib")
endif()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/programs/*.h ${SOURCE_DIR}/programs/*.cpp)
set(door programs/unls11/library_internals.h)
set(found "")
foreach(source IN LISTS sources)
  if(source STREQUAL door)
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "[\"<](${folders})/" OR line MATCHES "[\"</]lib/")
      string(APPEND found "\n  ${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(NOT found STREQUAL "")
  message(FATAL_ERROR "The tools include the library's internal headers (only ls11.h, their own "
                      "headers and ${door} may be included):${found}")
endif()
