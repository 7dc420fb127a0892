# The program selkietest: start-up, settings record, single instance, frame-tick rules, the engine
# host (ports, engines, timers), the main window and the headless printer. The Qt-free parts form selkie_program_core so that tests and
# benchmarks link them without a window; the main window forms selkie_mainwindow.
add_library(selkie_program_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SettingsRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameSync.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramOptions.cpp)
target_include_directories(selkie_program_core PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(selkie_program_core PRIVATE selkie_version)

add_library(selkie_headless STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ProgramPorts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortArguments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SettingsWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EngineHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EngineHostTraffic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrafficRecorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HeadlessPrinter.cpp)
target_link_libraries(selkie_headless PUBLIC
  selkie_program_core selkie_serial selkie_vmachine selkie_controller selkie_protocol)

add_library(selkie_mainwindow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/PanelWidgets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VmPanelView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ControlPanelView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainMenu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mselkietestu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelkieWiring.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SelkieMirror.cpp)
target_link_libraries(selkie_mainwindow PUBLIC
  selkie_headless selkie_windows selkie_desktop selkie_ui Qt6::Widgets)

add_executable(selkietest ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
# The program binds the command server at load time like every program of the family, though no
# path of its own sends a request.
target_link_libraries(selkietest PRIVATE selkie_mainwindow "-Wl,--no-as-needed" VyoServer "-Wl,--as-needed")
set_target_properties(selkietest PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

install(TARGETS selkietest RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Renders the demo window to a PNG (scripts/screenshot-main); not installed.
add_executable(selkie_screenshot ${CMAKE_CURRENT_LIST_DIR}/ScreenshotMain.cpp)
target_link_libraries(selkie_screenshot PRIVATE selkie_mainwindow)
set_target_properties(selkie_screenshot PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
