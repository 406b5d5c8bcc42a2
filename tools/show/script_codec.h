// Turns a script's bytes into a ScriptModel and back. Reading refuses what
// the player refuses, with the player's message; writing gives the bytes
// that reading them again returns the same model.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/show/script_model.h"

namespace show {

// False with the player's message in *reason (scriptName is the name the
// message gives).
bool DecodeScript(const std::vector<uint8_t>& bytes, const std::string& scriptName, ScriptModel* model,
                  std::string* reason);

std::vector<uint8_t> EncodeScript(const ScriptModel& model);

// The player's message texts: it loads the script only with these lines.
std::string ScriptFileMessage(const std::string& scriptName);
constexpr const char* kUnknownEffectMessage = "LibDemo : Unknown Effect";

// The shortest record of an effect: kind, an empty name, start and end.
constexpr size_t kMinEffectRecordBytes = 4 + 1 + 4 + 4;

} // namespace show
