// zolt-capture from start to end: opens the show in the working directory as
// the player does, but offscreen and on a clock driven by the frame number;
// renders every frame and hands it to a writer thread that encodes it.
#pragma once

// Runs the program with the arguments after its name. 0 once the output is
// complete; 1 after a message when the show cannot start, the arguments or
// the output are bad, or the capture was interrupted (the output then holds
// what was captured and plays).
int RunCapture(int argc, const char* const* argv);
