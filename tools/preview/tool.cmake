# zolt-preview: plays a show folder in a window with time controls (pause,
# steps, jumps between effects, rebuild and reload), driven by keys or by
# commands on standard input.
add_library(zolt_preview STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/show_rebuild.cpp)
target_include_directories(zolt_preview PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_preview PUBLIC zolt_app zolt_render zolt_tool_common)

add_executable(zolt-preview ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-preview PRIVATE zolt_preview)
set_target_properties(zolt-preview PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The preview tests run it and zolt-capture and compare their pictures, and
# rebuild a show with zolt-show.
list(APPEND ZOLT_TEST_LINKS_preview zolt_kvf_writer)
list(APPEND ZOLT_TEST_PROGRAMS_preview zolt-preview zolt-capture zolt zolt-show)
