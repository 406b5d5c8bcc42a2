// zolt-inspect [--pack FILE] [--frame T] [--vertices] SCENE
#include <cstdio>

#include "tools/inspect/inspect_command.h"

int main(int argc, char** argv)
{
    return RunInspect(argc, argv, stdout);
}
