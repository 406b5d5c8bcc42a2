// The seed corpora of the harnesses: each writer puts its files in the
// folder it is given, which exists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes one seed file; false (after a line on standard error) on failure.
bool WriteSeed(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes);

// Scenes using every record kind, controller type and modifier body.
bool WriteSceneSeeds(const std::string& folder);
// Scripts: music name, curve blocks, effect records.
bool WriteScriptSeeds(const std::string& folder);
// Packs of stored and deflated members, under the names the pack harness
// looks up.
bool WritePackSeeds(const std::string& folder);
// Scripts that only exact values give back, for unpack and build.
bool WriteShowScriptSeeds(const std::string& folder);
// Show files: those unpack writes for the scripts above, and one using
// every table and option.
bool WriteShowFileSeeds(const std::string& folder);
// Images in every layout the decoders read.
bool WriteImageSeeds(const std::string& folder);

// A small scene of every object kind, shared by the scene and pack seeds.
std::vector<uint8_t> SmallSceneSeed();
