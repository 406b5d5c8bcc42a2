// The OpenGL entry points the device draws with: OpenGL 3.3 core through
// libepoxy natively, WebGL 2 in the browser build.
#pragma once

#ifdef __EMSCRIPTEN__
#include "platform/web/webgl_compat.h"
#else
#include <epoxy/gl.h>
#endif
