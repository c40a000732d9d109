# World tools: the headless world runner. Included from tools/CMakeLists.txt.
add_executable(world_run ${CMAKE_CURRENT_SOURCE_DIR}/world_run_main.cpp
                         ${CMAKE_SOURCE_DIR}/tests/support/world_scenario.cpp)
target_link_libraries(world_run PRIVATE kvgame)
