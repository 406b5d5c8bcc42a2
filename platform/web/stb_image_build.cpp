// stb_image compiled into the browser build (the desktop build links
// Debian's libstb): PNG and JPEG pictures and the pack's deflate streams.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
