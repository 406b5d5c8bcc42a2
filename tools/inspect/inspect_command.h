// zolt-inspect: loads one KVF scene from a pack, poses its nodes at a frame
// and prints the scene as one JSON document.
#pragma once

#include <cstdio>

// Runs the command with its arguments (argv[0] is the program name). The
// document goes to `out`; usage errors and the loader's messages go to
// standard error. Returns 0 on success, 1 when the scene cannot be loaded,
// 2 for a usage error.
int RunInspect(int argc, const char* const* argv, std::FILE* out);
