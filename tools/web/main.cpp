// zolt-web [--engine DIR] [SHOW_DIR] OUT_DIR
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/web/web_export.h"

namespace {

constexpr char kUsage[] =
    "usage: zolt-web [--engine DIR] [SHOW_DIR] OUT_DIR\n"
    "Writes the show of SHOW_DIR (default: the working directory) as a web page in OUT_DIR:\n"
    "index.html, zolt.js and zolt.wasm, Marble.Spt and data.pac as they are, and the music as\n"
    "Ogg Vorbis. Serve OUT_DIR with any static web server and open index.html.\n"
    "  --engine DIR  the browser build holding zolt.js and zolt.wasm (default: build-web/ of the sources)\n";

} // namespace

int main(int argc, char** argv)
{
    WebExportOptions options;
    options.engineDir = ZOLT_DEFAULT_ENGINE_DIR;
    std::vector<std::string> places;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--engine") {
            if (i + 1 >= argc) {
                std::fputs("zolt-web: --engine needs a folder\n", stderr);
                return 1;
            }
            options.engineDir = argv[++i];
            continue;
        }
        if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "zolt-web: unknown option %s\n%s", arg.c_str(), kUsage);
            return 1;
        }
        places.push_back(arg);
    }
    if (places.empty() || places.size() > 2) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (places.size() == 2) {
        options.showDir = places[0];
    }
    options.outDir = places.back();
    return ExportWebShow(options);
}
