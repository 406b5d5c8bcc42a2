// Resources compiled into the program (the font bitmap, number 107), found by
// their integer identifier. Each one is the complete file, as it would be
// read from disk.
#pragma once

#include <cstddef>

struct ProgramResource {
    int id;
    const unsigned char* data;
    size_t size;
};

// The program's resource with this identifier, or null.
const ProgramResource* FindProgramResource(int id);

// The table the build generates (generated/font_resource.cpp).
const ProgramResource* CompiledProgramResources(size_t* count);

// Test hooks: look resources up in `table` (count entries; none hides every
// resource) instead of the compiled ones, until restored.
void SetProgramResourcesForTesting(const ProgramResource* table, size_t count);
void RestoreProgramResources();
