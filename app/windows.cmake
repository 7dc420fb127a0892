# The program's secondary windows: comms monitor, keypad, port prompt, and the Qt event invoker
# of the serial component.
add_library(selkie_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/vcommsu.cpp)
target_include_directories(selkie_windows PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(selkie_windows PUBLIC selkie_ui selkie_protocol Qt6::Widgets)
