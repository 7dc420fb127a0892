# The program's secondary windows: comms monitor, keypad, port prompt, and the Qt event invoker
# of the serial component.
add_library(selkie_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/vcommsu.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeypadF.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortSelectForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtInvoker.cpp)
target_include_directories(selkie_windows PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(selkie_windows PUBLIC
  selkie_ui selkie_controller selkie_serial selkie_protocol Qt6::Widgets)
