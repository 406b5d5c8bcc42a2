# zolt-show: builds a show folder's script and pack from its show.toml, and
# writes the show.toml of a script. The commands are a library so that the
# show tests run them without a process.
pkg_check_modules(TOMLPLUSPLUS REQUIRED IMPORTED_TARGET tomlplusplus)
file(GLOB zolt_show_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM zolt_show_sources ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
add_library(zolt_show STATIC ${zolt_show_sources})
target_include_directories(zolt_show PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_show PUBLIC zolt_import zolt_tool_common zolt_demo zolt_sound zolt_d3dx PkgConfig::TOMLPLUSPLUS)

add_executable(zolt-show ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-show PRIVATE zolt_show)
set_target_properties(zolt-show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_PROGRAMS_show zolt)
