// The PNG decoder's library compiled into the image harness from the same
// Debian header, so that libFuzzer sees its branches too (the shared library
// the player links carries no coverage). The harness's own definitions take
// the place of the shared library's.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
