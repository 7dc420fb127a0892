# Reply time of the headless program through its network ports against the pseudo-terminal
# (needs the program built beside it).
add_executable(network_latency ${CMAKE_CURRENT_LIST_DIR}/network_latency.cpp)
target_link_libraries(network_latency PRIVATE selkie_serial Threads::Threads)
target_compile_definitions(network_latency PRIVATE SELKIE_SELKIETEST="$<TARGET_FILE:selkietest>")
add_dependencies(network_latency selkietest)
