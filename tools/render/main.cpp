// zolt-render [--pack FILE] [--frame T] [--out FILE.png] [--clear 0xRRGGBB] [--skybox] SCENE
// zolt-render [--pack FILE] --frames FIRST:LAST:STEP --out PATTERN [--clear 0xRRGGBB] [--skybox] SCENE
// zolt-render [--pack FILE] --bench N [--frame T] SCENE
#include <cstdio>

#include "tools/render/render_command.h"

int main(int argc, char** argv)
{
    return RunRender(argc, argv, stdout);
}
