# libFuzzer harnesses, one per reader of user data, and the program that
# writes their seed corpora. Built only in the fuzzing configuration
# (-DZOLT_FUZZ=ON with clang; see scripts/fuzz).
set(ZOLT_FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)

function(zolt_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ZOLT_FUZZ_DIR}/${name}.cpp ${ZOLT_FUZZ_DIR}/quiet_boxes.cpp
    ${ZOLT_FUZZ_DIR}/harness_file.cpp ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()

zolt_fuzzer(pack_fuzzer LINKS zolt_pack)
# The script harness plays no music: its own stream replaces the library's.
zolt_fuzzer(script_fuzzer SOURCES ${ZOLT_FUZZ_DIR}/silent_music_stream.cpp LINKS zolt_demo)
zolt_fuzzer(scene_fuzzer LINKS zolt_scene)
# The image harness carries its own coverage-instrumented build of stb_image.
# stb copies zero bytes from a null buffer when a PNG's first image-data chunk
# is empty (memcpy(NULL, p, 0)): harmless, and not ours to change, so that
# one check is left out of stb alone.
zolt_fuzzer(image_fuzzer SOURCES ${ZOLT_FUZZ_DIR}/stb_image_instrumented.cpp LINKS zolt_d3dx)
set_source_files_properties(${ZOLT_FUZZ_DIR}/stb_image_instrumented.cpp PROPERTIES
  COMPILE_OPTIONS -fno-sanitize=nonnull-attribute)

# The show file's reader and writer and the script codec of zolt-show, with
# the TOML library built in (fuzz/toml_instrumented.cpp) instead of linked.
set(ZOLT_SHOW_DIR ${CMAKE_SOURCE_DIR}/tools/show)
add_library(zolt_fuzz_show STATIC ${ZOLT_SHOW_DIR}/show_file_reader.cpp ${ZOLT_SHOW_DIR}/show_file_writer.cpp
  ${ZOLT_SHOW_DIR}/script_codec.cpp ${ZOLT_SHOW_DIR}/byte_text.cpp ${ZOLT_SHOW_DIR}/show_time.cpp
  ${ZOLT_FUZZ_DIR}/toml_instrumented.cpp)
target_compile_definitions(zolt_fuzz_show PUBLIC TOML_HEADER_ONLY=0)
# The library's whitespace test marks as unreachable the default of a switch
# that characters such as U+00E9 or U+3001 outside strings do reach. The
# shared library zolt-show links then still reports "saw 'é'" (checked for
# the characters of every such range); not ours to change, so that one check
# is left out of the library alone.
set_source_files_properties(${ZOLT_FUZZ_DIR}/toml_instrumented.cpp PROPERTIES
  COMPILE_OPTIONS -fno-sanitize=unreachable)
target_include_directories(zolt_fuzz_show PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_fuzz_show PUBLIC zolt_demo)
zolt_fuzzer(show_file_fuzzer LINKS zolt_fuzz_show)
zolt_fuzzer(show_script_fuzzer LINKS zolt_fuzz_show)

file(GLOB seed_sources CONFIGURE_DEPENDS ${ZOLT_FUZZ_DIR}/seeds/*.cpp)
add_executable(zolt-fuzz-seeds ${seed_sources})
target_link_libraries(zolt-fuzz-seeds PRIVATE zolt_demo zolt_fuzz_show zolt_kvf_writer zolt_test_support PkgConfig::STB)
set_target_properties(zolt-fuzz-seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The seeds are rewritten whenever the writers change; each harness reads
# build-fuzz/fuzz-seeds/<harness>/.
set(ZOLT_SEED_STAMP ${CMAKE_BINARY_DIR}/fuzz-seeds/written)
add_custom_command(OUTPUT ${ZOLT_SEED_STAMP}
  COMMAND zolt-fuzz-seeds ${CMAKE_BINARY_DIR}/fuzz-seeds
  COMMAND ${CMAKE_COMMAND} -E touch ${ZOLT_SEED_STAMP}
  DEPENDS zolt-fuzz-seeds
  COMMENT "Writing the fuzzing seed corpora")
add_custom_target(fuzz-seeds ALL DEPENDS ${ZOLT_SEED_STAMP})
add_custom_target(fuzzers DEPENDS pack_fuzzer script_fuzzer scene_fuzzer image_fuzzer show_file_fuzzer
  show_script_fuzzer fuzz-seeds)
