// Runs a piece of a test in a child process whose address space is capped,
// so that an allocation the test's input cannot justify fails there instead
// of passing unnoticed. AddressSanitizer maps terabytes of shadow memory, so
// in a sanitized build the work runs in the test's own process, uncapped.
#pragma once

#include <cstdint>
#include <functional>

// The work's result (0 to 255), run with `extraBytes` more address space
// than the process maps when the child starts; -1 when the child did not
// finish.
int RunWithMemoryCap(uint64_t extraBytes, const std::function<int()>& work);
