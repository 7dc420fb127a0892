# The whole program's port A reply over a pty against a one-thread responder, and the window
# against the headless program (needs the program built beside it).
selkie_add_bench(program_reply
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/program_reply.cpp
  LIBS selkie_window)
target_compile_definitions(program_reply PRIVATE SELKIE_SELKIETEST="$<TARGET_FILE:selkietest>")
add_dependencies(program_reply selkietest)
