# zolt-web: writes a show folder as a web page (index.html, the browser
# build's zolt.js and zolt.wasm, the script and pack as they are, the music
# as Ogg Vorbis). The page template is compiled in; the browser build is
# found in build-web/ of the source tree unless --engine names another.
set(ZOLT_PAGE_TEMPLATE_FILE ${CMAKE_SOURCE_DIR}/web/page/index.html)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZOLT_PAGE_TEMPLATE_FILE})
file(READ ${ZOLT_PAGE_TEMPLATE_FILE} ZOLT_PAGE_TEMPLATE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/page_template.cpp.in ${CMAKE_BINARY_DIR}/generated/page_template.cpp @ONLY)

add_library(zolt_web_export STATIC
  ${CMAKE_CURRENT_LIST_DIR}/web_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/music_transcoder.cpp
  ${CMAKE_BINARY_DIR}/generated/page_template.cpp)
target_include_directories(zolt_web_export PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_web_export PUBLIC zolt_capture zolt_sound)

add_executable(zolt-web ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_compile_definitions(zolt-web PRIVATE ZOLT_DEFAULT_ENGINE_DIR="${CMAKE_SOURCE_DIR}/build-web")
target_link_libraries(zolt-web PRIVATE zolt_web_export)
set_target_properties(zolt-web PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# tests/web: the program run on made-up shows, and the page's pieces.
list(APPEND ZOLT_TEST_LINKS_web zolt_web_export PkgConfig::LIBAV)
list(APPEND ZOLT_TEST_PROGRAMS_web zolt-web)
