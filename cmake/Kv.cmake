# Helpers shared by every folder's CMakeLists.

# kv_module(<target> <folder>... [EXCLUDE <regex>]): a library of every .cpp
# below the folders, except program entries (files ending in _main.cpp),
# anything under a folder named "drivers_so" (drivers built as shared
# objects) and sources matching EXCLUDE (built by a folder's own
# CMakeLists). Static, or shared with KV_SHARED_LIBS (on where the tests
# are built): the test programs then share one copy of the game instead of
# each carrying its own.
function(kv_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "EXCLUDE" "")
  set(srcs)
  foreach(folder ${arg_UNPARSED_ARGUMENTS})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
    list(APPEND srcs ${found})
  endforeach()
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  list(FILTER srcs EXCLUDE REGEX "/drivers_so/")
  if(arg_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${arg_EXCLUDE}")
  endif()
  if(NOT srcs)
    # An empty library still needs one translation unit.
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  if(KV_SHARED_LIBS)
    add_library(${target} SHARED ${srcs})
  else()
    add_library(${target} STATIC ${srcs})
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# kv_test(<source> <label>): one GoogleTest program per test source.
function(kv_test src label)
  get_filename_component(name ${src} NAME_WE)
  set(target test_${label}_${name})
  add_executable(${target} ${src})
  target_link_libraries(${target} PRIVATE kvtop GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${target} PRIVATE KV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Whole-program walks run the game as a process for up to minutes on a
  # busy machine; their own hang guards end a hang well before this.
  set(timeout 300)
  if(label STREQUAL "e2e")
    set(timeout 1800)
  endif()
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${label} TIMEOUT ${timeout}
    DISCOVERY_TIMEOUT 120)
endfunction()
