# Serial component: round-trip latency over a pty: port.
selkie_add_bench(serial_latency SOURCES ${CMAKE_CURRENT_LIST_DIR}/serial_latency.cpp LIBS selkie_serial)
