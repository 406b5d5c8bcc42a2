// zolt-soak [--frames N] [--fps N]
#include "tools/soak/soak_run.h"

int main(int argc, char** argv)
{
    return RunSoak(argc - 1, argv + 1);
}
