// What the processor running the program can do, for the paths that use
// instructions beyond the build's baseline.
#pragma once

// Whether the processor (and the system) run 512-bit AVX-512 instructions.
bool ProcessorHasAvx512();
