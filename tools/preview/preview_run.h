// zolt-preview [DIR] [--from T] [--commands]: the program, from its command
// line to its exit status.
#pragma once

// 0 after Escape, a closed window, quit or the end of the commands; 1 when
// the arguments are refused or the show cannot start.
int RunPreview(int argc, char** argv);
