// A script through zolt-show unpack and build: every script the codec
// reads is written back byte for byte, and so is the show file unpack
// writes for it. A script it refuses carries one of the player's messages.
// Anything else stops the fuzzer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/show/script_codec.h"
#include "tools/show/show_file_reader.h"
#include "tools/show/show_file_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    show::ScriptModel script;
    std::string reason;
    if (!show::DecodeScript(bytes, "Marble.Spt", &script, &reason)) {
        if (reason != show::ScriptFileMessage("Marble.Spt") && reason != show::kUnknownEffectMessage) {
            std::abort();
        }
        return 0;
    }
    if (show::EncodeScript(script) != bytes) {
        std::abort();
    }
    show::ShowFile file;
    show::Problem problem;
    if (!show::ReadShowFile(show::WriteShowFile(script, {}), "show.toml", &file, &problem) ||
        show::EncodeScript(file.script) != bytes) {
        std::abort();
    }
    return 0;
}
