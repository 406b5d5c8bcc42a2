// zolt-soak from start to end: opens the show in the working directory as
// the player does, but offscreen and on a clock driven by the frame number
// that goes back to the music's start at its end, so that the show loops and
// every effect is entered again and again; draws the frames and watches the
// resident memory.
#pragma once

// Runs the program with the arguments after its name. 0 when the resident
// memory after the last complete loop of the show is within the bound of
// what it was after the first; 1 when it grew more, fewer than two loops were
// drawn, the run was stopped (Ctrl-C, SIGTERM: the figures so far are still
// printed) or the show cannot start; 2 on a bad command line.
int RunSoak(int argc, const char* const* argv);
