// zolt-view MODEL... [--music FILE] [--fps N]: shows models in the player.
#include <iostream>

#include "tools/view/view_run.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return RunView(arguments, std::cout, std::cerr);
}
