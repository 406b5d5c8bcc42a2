// A ceiling on the importer's memory. A hostile model can name billions of
// vertices, and the library then allocates (and touches) what the file
// claims; with the ceiling the allocation fails at once and the model is
// refused instead of the machine filling up.
#pragma once

#include <cstdint>

namespace import {

// Half the machine's memory, at least 2 GiB and at most 8 GiB.
uint64_t DefaultMemoryLimit();
// Limits the process's address space to `bytes`. Not applied under
// AddressSanitizer, whose shadow memory needs a vast address space.
void LimitProcessMemory(uint64_t bytes);

} // namespace import
