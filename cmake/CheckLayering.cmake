# The program's top (game/) sits above every subsystem: nothing below it
# includes one of its headers. Run as a script under ctest:
#   cmake -DKV_SOURCE_DIR=<source> -P CheckLayering.cmake
# Only the top itself, the tests, the benchmarks and the tools may include it.
if(NOT KV_SOURCE_DIR)
  message(FATAL_ERROR "KV_SOURCE_DIR is not set")
endif()

set(below platform framework system script world ai view ui screens installcheck fuzz)
set(offenders)
foreach(folder ${below})
  file(GLOB_RECURSE sources ${KV_SOURCE_DIR}/${folder}/*.h ${KV_SOURCE_DIR}/${folder}/*.cpp
       ${KV_SOURCE_DIR}/${folder}/*.c)
  foreach(src ${sources})
    file(STRINGS ${src} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]game/")
    if(hits)
      file(RELATIVE_PATH name ${KV_SOURCE_DIR} ${src})
      list(APPEND offenders "${name}: ${hits}")
    endif()
  endforeach()
endforeach()

if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "Includes of the program's top (game/) from below it:\n  ${text}")
endif()
message(STATUS "No subsystem includes the program's top")
