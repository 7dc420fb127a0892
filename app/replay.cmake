# `selkietest --replay`: plays a capture to a machine. Qt-free; linked into the program.
add_library(selkie_replay STATIC ${CMAKE_CURRENT_LIST_DIR}/ReplayRunner.cpp)
target_link_libraries(selkie_replay PUBLIC selkie_program_core selkie_protocol selkie_serial)
target_link_libraries(selkietest PRIVATE selkie_replay)
