selkie_add_bench(decoder_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/decoder_bench.cpp LIBS selkie_protocol)
