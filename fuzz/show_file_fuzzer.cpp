// show.toml as zolt-show build reads it. A show file that reads must make a
// script the player loads, and unpack's show file for that script must
// build it again byte for byte; a failure is one problem at a place inside
// the text. Anything else stops the fuzzer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/show/script_codec.h"
#include "tools/show/show_file_reader.h"
#include "tools/show/show_file_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    show::ShowFile file;
    show::Problem problem;
    if (!show::ReadShowFile(text, "show.toml", &file, &problem)) {
        if (problem.text.empty() || problem.where.line < 1 || problem.where.column < 1) {
            std::abort();
        }
        return 0;
    }
    const std::vector<uint8_t> script = show::EncodeScript(file.script);
    show::ScriptModel loaded;
    std::string reason;
    if (!show::DecodeScript(script, "Marble.Spt", &loaded, &reason)) {
        std::abort();
    }
    show::ShowFile unpacked;
    if (!show::ReadShowFile(show::WriteShowFile(loaded, {}), "show.toml", &unpacked, &problem) ||
        show::EncodeScript(unpacked.script) != script) {
        std::abort();
    }
    return 0;
}
