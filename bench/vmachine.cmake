# Messages per second the virtual machine answers (parse, reply, frame).
selkie_add_bench(vmachine_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/vmachine_responder.cpp
  LIBS selkie_vmachine)
