# What a machine personality adds to each reply on port A: the shaper's decisions beside the
# bare machine (personality_bench), and the timing a personality gives a whole program over a
# pty (personality_timing).
selkie_add_bench(personality_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/personality_bench.cpp
  LIBS selkie_vmachine)
selkie_add_bench(personality_timing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/personality_timing.cpp
  LIBS selkie_host)
target_include_directories(personality_timing PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
