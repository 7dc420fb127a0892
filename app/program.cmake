# The program selkietest: start-up, settings record, single instance, frame-tick rules, the main
# window and the headless runner. The Qt-free parts form selkie_program_core so that tests and
# benchmarks link them without a window.
add_library(selkie_program_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SettingsRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameSync.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramOptions.cpp)
target_include_directories(selkie_program_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
