selkie_add_bench(comms_monitor_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/comms_monitor_bench.cpp
  LIBS selkie_windows)
