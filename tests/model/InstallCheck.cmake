# Installs the model library's component into a fresh prefix, checks the files, then builds a C
# program against the installed header with the flags of the installed pkg-config file and runs it.
# Arguments: BUILD_DIR PREFIX LIBDIR C_SOURCE BLOCK_SOURCE C_COMPILER EXTRA_FLAGS RUNTIME_DIRS
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component VyoModel --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(file "${LIBDIR}/libVyoModel.so" "${LIBDIR}/libVyoModel.so.1" "include/VyoModel.h"
             "${LIBDIR}/pkgconfig/VyoModel.pc" "bin/vyomodel")
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${LIBDIR}/pkgconfig")
execute_process(COMMAND pkg-config --cflags --libs VyoModel
                OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know the installed VyoModel")
endif()
if(NOT pc_flags MATCHES "-lVyoModel")
  message(FATAL_ERROR "pkg-config flags lack the library: ${pc_flags}")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")

string(REPLACE ";" ":" runtime_path "${RUNTIME_DIRS}")
execute_process(COMMAND "${C_COMPILER}" -std=c11 -Wall -Wextra -Wpedantic -Werror ${extra}
                        "${C_SOURCE}" "${BLOCK_SOURCE}" ${pc_flags} "-Wl,-rpath-link,${runtime_path}" -o "${PREFIX}/c_api"
                RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the C program does not build against the installed header:\n${errors}")
endif()

set(ENV{LD_LIBRARY_PATH} "${PREFIX}/${LIBDIR}:${runtime_path}")
execute_process(COMMAND "${PREFIX}/c_api" RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the C program failed: ${result}\n${errors}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
