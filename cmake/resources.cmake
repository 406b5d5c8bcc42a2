# The program's own resources. The font bitmap (resource 107) is drawn at
# build time from a DejaVu font (Debian package fonts-dejavu-core) by the
# host program zolt_fontgen and compiled into the platform library as a byte
# array; ZOLT_RESOURCE_SOURCES names the generated source.

find_file(ZOLT_FONT_FILE
  NAMES DejaVuSansMono.ttf DejaVuSans.ttf
  PATHS /usr/share/fonts/truetype/dejavu
  NO_DEFAULT_PATH)
if(NOT ZOLT_FONT_FILE)
  message(FATAL_ERROR "The font bitmap needs /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf "
                      "or DejaVuSans.ttf: install the Debian package fonts-dejavu-core.")
endif()

add_executable(zolt_fontgen ${CMAKE_SOURCE_DIR}/tools/fontgen/main.cpp)
target_link_libraries(zolt_fontgen PRIVATE Freetype::Freetype)

set(ZOLT_FONT_SOURCE ${CMAKE_BINARY_DIR}/generated/font_resource.cpp)
add_custom_command(
  OUTPUT ${ZOLT_FONT_SOURCE} ${CMAKE_BINARY_DIR}/generated/font107.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND zolt_fontgen ${ZOLT_FONT_FILE} ${ZOLT_FONT_SOURCE} ${CMAKE_BINARY_DIR}/generated/font107.bmp
  DEPENDS zolt_fontgen ${ZOLT_FONT_FILE}
  COMMENT "Drawing the font bitmap (resource 107)"
  VERBATIM)

set(ZOLT_RESOURCE_SOURCES ${ZOLT_FONT_SOURCE})
