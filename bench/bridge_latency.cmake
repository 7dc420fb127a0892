# The delay the program's bridge between an editor and a machine adds, on pseudo-terminals.
selkie_add_bench(bridge_latency
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bridge_latency.cpp
  LIBS selkie_host)
target_include_directories(bridge_latency PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
