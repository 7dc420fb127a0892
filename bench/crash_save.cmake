# Crash safety of the two saves (settings file, model image): a writer killed at random moments
# leaves the old or the new record and, after the next save, no temporary file. Run by hand for
# 1,000 kills of each (about 20 s); ctest runs a short round of 100.
add_executable(crash_save
  ${CMAKE_CURRENT_LIST_DIR}/crash_save.cpp
  ${PROJECT_SOURCE_DIR}/tests/model/TestBlockName.c)
target_link_libraries(crash_save PRIVATE selkie_host VyoModel)
add_test(NAME crash_save_short COMMAND crash_save --kills 100)
set_tests_properties(crash_save_short PROPERTIES TIMEOUT 120)
