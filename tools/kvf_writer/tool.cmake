# The KVF writer: builds scene files from plain descriptions, for tests,
# benchmarks and tools. It depends on nothing of the engine.
add_library(zolt_kvf_writer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/byte_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kvf_writer.cpp)
target_include_directories(zolt_kvf_writer PUBLIC ${CMAKE_SOURCE_DIR})
list(APPEND ZOLT_TEST_LINKS_scene zolt_kvf_writer)
list(APPEND ZOLT_TEST_LINKS_modifiers zolt_kvf_writer)
list(APPEND ZOLT_BENCH_LINKS zolt_kvf_writer)
list(APPEND ZOLT_TEST_LINKS_demo zolt_kvf_writer)
list(APPEND ZOLT_TEST_LINKS_app zolt_kvf_writer)
