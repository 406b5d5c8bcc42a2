# zolt-import: turns models the Open Asset Import Library reads into KVF
# scenes and their textures into a pack. The conversion is a library so that
# the import tests and benchmark run it without a process.
pkg_check_modules(ASSIMP REQUIRED IMPORTED_TARGET assimp)
file(GLOB zolt_import_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(REMOVE_ITEM zolt_import_sources ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
add_library(zolt_import STATIC ${zolt_import_sources})
target_include_directories(zolt_import PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_import PUBLIC zolt_kvf_writer zolt_tool_common PkgConfig::ASSIMP PkgConfig::MINIZIP PkgConfig::STB)

add_executable(zolt-import ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-import PRIVATE zolt_import)
set_target_properties(zolt-import PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

list(APPEND ZOLT_TEST_LINKS_import zolt_import zolt_scene zolt_kvf_writer zolt_render)
list(APPEND ZOLT_BENCH_LINKS zolt_import)
