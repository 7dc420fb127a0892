# Time-code conversions per second, per standard.
selkie_add_bench(timecode_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/timecode_bench.cpp
  LIBS VyoTCode)
