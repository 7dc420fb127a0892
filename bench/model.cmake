# Model library: accessor cost, change polling, and Sony messages per second (with the recording
# command server substitute, and with the server calls stubbed out to show the model's own cost).
# Each program runs on a block of its own (see tests/model/TestBlockName.c) and removes it at exit.
set(model_bench_common
  ${CMAKE_CURRENT_LIST_DIR}/model_bench_main.cpp
  ${PROJECT_SOURCE_DIR}/tests/model/TestBlockName.c)
selkie_add_bench(model_accessors_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_accessors.cpp ${model_bench_common}
  LIBS VyoModel)
selkie_add_bench(model_parse_sony_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_parse_sony.cpp ${model_bench_common}
  LIBS VyoModel VyoServer)
selkie_add_bench(model_parse_sony_stubbed_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_parse_sony.cpp ${CMAKE_CURRENT_LIST_DIR}/model_server_stub.cpp
          ${model_bench_common}
  LIBS VyoModel VyoServer)
