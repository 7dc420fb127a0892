selkie_add_bench(comms_monitor_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/comms_monitor_bench.cpp
  LIBS selkie_window)
# A benchmark that crashes on its way out is no benchmark: one short run must exit with status 0.
add_test(NAME comms_monitor_bench_exits_cleanly
  COMMAND comms_monitor_bench --benchmark_filter=BM_AppendLine/0 --benchmark_min_time=0.01)
set_tests_properties(comms_monitor_bench_exits_cleanly PROPERTIES
  ENVIRONMENT QT_QPA_PLATFORM=offscreen)
