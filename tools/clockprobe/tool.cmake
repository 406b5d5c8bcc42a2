# clockprobe: plays a music file through the sound library and measures how
# smooth and how true the show clock is (see tools/clockprobe/main.cpp).
add_executable(clockprobe ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(clockprobe PRIVATE zolt_sound)
set_target_properties(clockprobe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
