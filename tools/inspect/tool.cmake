# zolt-inspect: prints a KVF scene of a pack as JSON. The command itself is a
# library so that the scene tests can run it without a process.
add_library(zolt_inspect STATIC
  ${CMAKE_CURRENT_LIST_DIR}/controller_json.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inspect_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/json_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/modifier_json.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene_json.cpp)
target_include_directories(zolt_inspect PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_inspect PUBLIC zolt_scene zolt_tool_common)

add_executable(zolt-inspect ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-inspect PRIVATE zolt_inspect)
set_target_properties(zolt-inspect PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_LINKS_scene zolt_inspect)
