# Soak run of the headless program over pseudo-terminals (needs the program built beside it).
add_executable(soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp)
target_link_libraries(soak PRIVATE Threads::Threads)
target_compile_definitions(soak PRIVATE SELKIE_SELKIETEST="$<TARGET_FILE:selkietest>")
add_dependencies(soak selkietest)
