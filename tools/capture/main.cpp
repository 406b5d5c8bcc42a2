// zolt-capture [--fps N] [--from SEC] [--to SEC] [--size WxH] [--crf Q] [--quiet] OUTPUT
#include "tools/capture/capture_run.h"

int main(int argc, char** argv)
{
    return RunCapture(argc - 1, argv + 1);
}
