# zolt-capture: plays the show with a clock driven by the frame number and
# writes every frame to a video file (H.264 with the music as AAC) or to PNG
# pictures. Everything but the entry is a library, which the capture tests
# use directly.
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale libswresample)

add_library(zolt_capture STATIC
  ${CMAKE_CURRENT_LIST_DIR}/background_priority.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/music_track.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_sequence_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_meter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_file_writer.cpp)
target_include_directories(zolt_capture PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_capture PUBLIC zolt_app zolt_tool_common PkgConfig::LIBAV Threads::Threads)

add_executable(zolt-capture ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(zolt-capture PRIVATE zolt_capture)
set_target_properties(zolt-capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The capture tests run the program and decode what it wrote.
list(APPEND ZOLT_TEST_LINKS_capture PkgConfig::LIBAV)
list(APPEND ZOLT_BENCH_LINKS zolt_capture)
list(APPEND ZOLT_TEST_PROGRAMS_capture zolt-capture)
