# A rack of virtual machines under load: the whole program over ptys, polled as editors poll.
selkie_add_bench(rack_load
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/rack_load.cpp)
target_include_directories(rack_load PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(rack_load PRIVATE SELKIE_PROGRAM="$<TARGET_FILE:selkietest>")
add_dependencies(rack_load selkietest)
