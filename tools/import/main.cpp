// zolt-import: turns models into KVF scenes and their textures into a pack.
#include <iostream>

#include "tools/import/import_command.h"
#include "tools/import/memory_limit.h"

int main(int argc, char** argv)
{
    import::LimitProcessMemory(import::DefaultMemoryLimit());
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return import::RunImport(arguments, std::cout, std::cerr);
}
