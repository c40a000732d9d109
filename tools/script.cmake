# The script developer tool: prints the compiled token stream of scripts.
add_executable(script_dump ${CMAKE_CURRENT_LIST_DIR}/script_dump_main.cpp)
target_link_libraries(script_dump PRIVATE kvgame)
