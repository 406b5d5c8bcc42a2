// zolt-import: turns models into KVF scenes and their textures into a pack.
#include <iostream>

#include "tools/import/import_command.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return import::RunImport(arguments, std::cout, std::cerr);
}
