// zolt-render: draws a KVF scene of a pack the way the show draws it and
// writes the pictures as PNG files, or times the drawing.
#pragma once

#include <cstdio>

// Runs the command with its arguments (argv[0] is the program name). The
// help text and the --bench line go to `out`; usage errors, write errors and
// the engine's messages go to standard error. Returns 0 on success, 1 when
// the scene cannot be loaded or prepared or a picture cannot be written, 2
// for a usage error.
int RunRender(int argc, const char* const* argv, std::FILE* out);
