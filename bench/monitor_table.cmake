# The comms monitor's table keeping up with a steady stream of rows, filters on.
selkie_add_bench(monitor_table SOURCES ${CMAKE_CURRENT_LIST_DIR}/monitor_table.cpp LIBS selkie_window)
