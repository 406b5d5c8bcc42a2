// zolt-preview [DIR] [--from T] [--commands]
#include "tools/preview/preview_run.h"

int main(int argc, char** argv)
{
    return RunPreview(argc, argv);
}
