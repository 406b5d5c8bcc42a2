# zolt-view: imports models with zolt-import's library into a temporary show
# and plays it with the player's own start-up and main loop.
add_library(zolt_view STATIC
  ${CMAKE_CURRENT_LIST_DIR}/silent_wav.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporary_folder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_show.cpp)
target_include_directories(zolt_view PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_view PUBLIC zolt_app zolt_import PkgConfig::STB)

add_executable(zolt-view ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-view PRIVATE zolt_view)
set_target_properties(zolt-view PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_PROGRAMS_view zolt-view)
