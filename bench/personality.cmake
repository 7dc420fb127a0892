# What a machine personality adds to each reply on port A: the shaper's decisions beside the
# bare machine (personality_bench), and the timing a personality gives a whole program over a
# pty (personality_timing).
selkie_add_bench(personality_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/personality_bench.cpp
  LIBS selkie_vmachine)
