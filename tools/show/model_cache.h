// Imported models kept in the show folder (.zolt-cache/) so that a build
// imports again only the models whose inputs changed: each entry holds the
// scene's bytes, its textures, what the import printed, and the content
// hashes of every file the import read. An entry whose files all hash the
// same is used as it is; a damaged or stale entry is ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/import/texture_store.h"

namespace show {

struct CachedModel {
    std::vector<uint8_t> scene; // the KVF file
    std::vector<import::PackEntry> textures;
    std::string summary;
    std::vector<std::string> warnings;
    std::vector<std::string> sourceFiles; // what the import read, the model first
};

class ModelCache {
public:
    explicit ModelCache(const std::string& showFolder);

    // The entry for the model with these options, when every file it was
    // made from is unchanged.
    bool Find(const std::string& key, CachedModel* model) const;
    // Keeps the entry for Save; false when one of its files cannot be read.
    bool Add(const std::string& key, const CachedModel& model);
    // Writes the entries added; false when the folder cannot be written.
    bool Save() const;

    // The key of a model file with its import options.
    static std::string Key(const std::string& path, const std::string& member, int fps, float scale, bool bare);

private:
    std::string EntryPath(const std::string& key) const;

    std::string m_folder;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_pending; // path, bytes
};

// FNV-1a over a file's bytes; false when it cannot be read.
bool HashFile(const std::string& path, uint64_t* hash);
uint64_t HashBytes(const void* data, size_t size, uint64_t hash = 0xcbf29ce484222325ull);

} // namespace show
