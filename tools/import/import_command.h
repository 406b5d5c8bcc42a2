// The zolt-import command: reads each model, converts it, and writes every
// scene and texture into the pack at once, or nothing when any model fails.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace import {

struct ConversionReport;
struct ConvertedModel;
struct PackEntry;

// Parses the arguments (without the program name) and runs; the exit
// status: 0 done, 1 a model or the pack failed, 2 a usage error.
int RunImport(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The default scene name of a model: its base name with ".KVF".
std::string DefaultSceneName(const std::string& modelPath);

// The line a converted model prints: its scene name, what it holds, and
// what the conversion had to change.
std::string SummaryLine(const std::string& sceneName, const ConversionReport& report);

// Gives each texture of the model whose name (case aside) is taken in
// *taken by other bytes a name of its own ("NAME_2.JPG", ...), points the
// scene's maps at it, and adds the model's textures to *taken.
void SettleTextureNames(ConvertedModel* model, std::map<std::string, const PackEntry*>* taken);

} // namespace import
