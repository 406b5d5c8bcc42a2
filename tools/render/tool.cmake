# zolt-render: draws a KVF scene of a pack as the player does and writes PNG
# pictures or times the drawing. The drawing is a library so that the
# scene-drawing benchmarks time exactly what the program draws.
add_library(zolt_render STATIC
  ${CMAKE_CURRENT_LIST_DIR}/render_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_renderer.cpp)
target_include_directories(zolt_render PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_render PUBLIC zolt_demo zolt_scene zolt_tool_common)

add_executable(zolt-render ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-render PRIVATE zolt_render)
set_target_properties(zolt-render PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_LINKS_render zolt_kvf_writer)
list(APPEND ZOLT_BENCH_LINKS zolt_render)
list(APPEND ZOLT_TEST_PROGRAMS_render zolt-render)
