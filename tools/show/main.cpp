// zolt-show: makes a show folder's script and pack from its show.toml
// (build), or writes the show.toml of a script (unpack).
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/import/memory_limit.h"
#include "tools/show/show_build.h"
#include "tools/show/show_unpack.h"

int main(int argc, char** argv)
{
    CLI::App app{"zolt-show: a show folder's show.toml to Marble.Spt and data.pac, and back"};
    app.require_subcommand(1);

    std::string buildFolder = ".";
    CLI::App* build = app.add_subcommand(
        "build", "Checks DIR/show.toml and writes Marble.Spt and data.pac beside it; "
                 "models are imported again only when their files changed");
    build->add_option("DIR", buildFolder, "the show folder (default: the working directory)");
    bool scriptOnly = false;
    build->add_flag("--script-only", scriptOnly,
                    "write only Marble.Spt: the music and the pack are neither checked nor touched");

    std::string unpackFolder = ".";
    show::UnpackOptions unpackOptions;
    CLI::App* unpack = app.add_subcommand(
        "unpack", "Writes DIR/show.toml from DIR/Marble.Spt, listing the members of DIR/data.pac");
    unpack->add_option("DIR", unpackFolder, "the show folder (default: the working directory)");
    unpack->add_flag("--extract", unpackOptions.extract, "also write the pack's members into DIR/pack/ and list them");
    unpack->add_flag("--force", unpackOptions.force, "replace an existing show.toml");

    CLI11_PARSE(app, argc, argv);
    // Models, packs and scripts are read whole: a file that asks for absurd
    // amounts of memory is refused.
    import::LimitProcessMemory(import::DefaultMemoryLimit());
    if (*build) {
        return show::RunBuild(buildFolder, std::cout, std::cerr, scriptOnly);
    }
    return show::RunUnpack(unpackFolder, unpackOptions, std::cout, std::cerr);
}
