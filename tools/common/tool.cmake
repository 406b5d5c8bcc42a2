# What every program beside the player shares: its command line read with
# CLI11, PNG pictures written whole or not at all, the file-name patterns
# of picture sequences, and files read whole.
find_package(CLI11 CONFIG REQUIRED)
add_library(zolt_tool_common STATIC
  ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_pattern.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/whole_file.cpp)
target_include_directories(zolt_tool_common PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_tool_common PUBLIC CLI11::CLI11 PkgConfig::STB)
