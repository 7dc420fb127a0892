# Frame ticks per second of the controller driving the virtual machine back to back.
selkie_add_bench(controller_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/controller_backtoback_bench.cpp
  LIBS selkie_controller selkie_vmachine)
