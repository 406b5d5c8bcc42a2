# The sample show: the generator program showgen (a library of its parts, so
# that the content tests can run it in a process of their own) draws the
# scenes and pictures into build/show/; the target sample_show puts the show
# file content/show.toml and the music (a tracker module of the Debian
# package fb-music-high) beside them and runs `zolt-show build`, which writes
# the script and the pack.
file(GLOB ZOLT_CONTENT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/content/*.cpp)
list(REMOVE_ITEM ZOLT_CONTENT_SOURCES ${CMAKE_SOURCE_DIR}/content/main.cpp)
add_library(zolt_content STATIC ${ZOLT_CONTENT_SOURCES})
target_include_directories(zolt_content PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(zolt_content PUBLIC zolt_kvf_writer zolt_demo zolt_show Freetype::Freetype JPEG::JPEG)

add_executable(showgen ${CMAKE_SOURCE_DIR}/content/main.cpp)
target_link_libraries(showgen PRIVATE zolt_content)

# The caption font: DejaVu Sans Bold from fonts-dejavu-core, like the
# program's own font bitmap, or that bitmap's font when it is missing.
find_file(ZOLT_CAPTION_FONT NAMES DejaVuSans-Bold.ttf PATHS /usr/share/fonts/truetype/dejavu NO_DEFAULT_PATH)
if(NOT ZOLT_CAPTION_FONT)
  set(ZOLT_CAPTION_FONT ${ZOLT_FONT_FILE})
endif()

set(ZOLT_MUSIC_NAME frozen-mainzik-2p.xm)
find_file(ZOLT_MUSIC_FILE NAMES ${ZOLT_MUSIC_NAME} PATHS /usr/share/games/frozen-bubble/snd NO_DEFAULT_PATH)

set(ZOLT_SHOW_DIR ${CMAKE_BINARY_DIR}/show)
if(ZOLT_MUSIC_FILE)
  add_custom_command(
    OUTPUT ${ZOLT_SHOW_DIR}/Marble.Spt ${ZOLT_SHOW_DIR}/data.pac ${ZOLT_SHOW_DIR}/${ZOLT_MUSIC_NAME}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZOLT_SHOW_DIR}
    COMMAND showgen ${ZOLT_SHOW_DIR} ${ZOLT_CAPTION_FONT}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/content/show.toml ${ZOLT_SHOW_DIR}/show.toml
    COMMAND ${CMAKE_COMMAND} -E copy ${ZOLT_MUSIC_FILE} ${ZOLT_SHOW_DIR}/${ZOLT_MUSIC_NAME}
    COMMAND zolt-show build ${ZOLT_SHOW_DIR}
    DEPENDS showgen zolt-show ${CMAKE_SOURCE_DIR}/content/show.toml ${ZOLT_CAPTION_FONT} ${ZOLT_MUSIC_FILE}
    COMMENT "Making the sample show in ${ZOLT_SHOW_DIR}"
    VERBATIM)
  add_custom_target(sample_show ALL
    DEPENDS ${ZOLT_SHOW_DIR}/Marble.Spt ${ZOLT_SHOW_DIR}/data.pac ${ZOLT_SHOW_DIR}/${ZOLT_MUSIC_NAME})
else()
  message(WARNING "The sample show needs ${ZOLT_MUSIC_NAME}: install the Debian package fb-music-high.")
endif()

# The content tests (test_content, linked with zolt_content) and the
# benchmark make the show themselves and need the font and the music.
target_compile_definitions(zolt_content PUBLIC
  ZOLT_CAPTION_FONT="${ZOLT_CAPTION_FONT}" ZOLT_MUSIC_SOURCE="${ZOLT_MUSIC_FILE}"
  ZOLT_SHOW_FILE="${CMAKE_SOURCE_DIR}/content/show.toml")
list(APPEND ZOLT_BENCH_LINKS zolt_content)
