# zolt-soak: plays the show in the working directory over and over on a
# frame-driven clock and watches the process's resident memory, which must
# not grow once the show has looped once. scripts/soak runs it on the sample
# show, scripts/memcheck runs it under valgrind with valgrind.supp.
add_executable(zolt-soak
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/resident_memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/soak_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/soak_run.cpp)
target_include_directories(zolt-soak PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt-soak PRIVATE zolt_app zolt_tool_common)
set_target_properties(zolt-soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_PROGRAMS_app zolt-soak)
