// showgen FOLDER FONT.ttf MUSIC_FILE
//
// Makes the sample show in FOLDER: "Marble.Spt" naming MUSIC_FILE (a file the
// build puts beside it) and the pack "data.pac" with every scene, texture and
// overlay picture, the captions drawn with the font FONT.ttf.
#include <cstdio>

#include "content/show.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: showgen FOLDER FONT.ttf MUSIC_FILE\n");
        return 2;
    }
    return content::MakeShow(argv[1], argv[2], argv[3]) ? 0 : 1;
}
