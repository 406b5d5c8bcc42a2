// showgen FOLDER FONT.ttf
//
// Writes the sample show's scenes (FOLDER/scenes/*.KVF) and pictures
// (FOLDER/images/), the captions drawn with the font FONT.ttf. The show file
// content/show.toml names them; `zolt-show build` makes the script and the
// pack.
#include <cstdio>

#include "content/show.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: showgen FOLDER FONT.ttf\n");
        return 2;
    }
    return content::WriteShowSources(argv[1], argv[2]) ? 0 : 1;
}
