selkie_add_bench(bridge_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bridge_bench.cpp LIBS selkie_protocol)
