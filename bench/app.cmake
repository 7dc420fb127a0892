# The program's benchmarks: port A reply latency over a pseudo-terminal (headless runner and the
# window with the monitor logging) and the regularity of the frame tick.
selkie_add_bench(app_reply_latency
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_reply_latency.cpp
  LIBS selkie_window)
target_include_directories(app_reply_latency PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
selkie_add_bench(app_tick_jitter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_tick_jitter.cpp
  LIBS selkie_window)
