#include "platform/win32/program_resources.h"

namespace {

const ProgramResource* g_testTable = nullptr;
size_t g_testCount = 0;
bool g_testTableSet = false;

} // namespace

const ProgramResource* FindProgramResource(int id) {
    size_t count = 0;
    const ProgramResource* table = g_testTableSet ? g_testTable : CompiledProgramResources(&count);
    if (g_testTableSet) {
        count = g_testCount;
    }
    for (size_t i = 0; i < count; ++i) {
        if (table[i].id == id) {
            return &table[i];
        }
    }
    return nullptr;
}

void SetProgramResourcesForTesting(const ProgramResource* table, size_t count) {
    g_testTableSet = true;
    g_testTable = table;
    g_testCount = table != nullptr ? count : 0;
}

void RestoreProgramResources() {
    g_testTableSet = false;
    g_testTable = nullptr;
    g_testCount = 0;
}
