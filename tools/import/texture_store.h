// The textures a conversion puts in the pack: each source image once, under
// a member name of its own, in a format the engine reads. JPEG, TGA and BMP
// files are taken as they are; any other image the decoder reads (PNG, GIF,
// embedded images) becomes a TGA when it has transparent pixels and a JPEG
// otherwise.
#pragma once

#include <assimp/scene.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/import/conversion_report.h"

namespace import {

struct PackEntry {
    std::string name;
    std::vector<uint8_t> bytes;
};

class TextureStore {
public:
    // `modelPath` locates external images; `prefix` names embedded ones.
    TextureStore(const aiScene* scene, const std::string& modelPath, const std::string& prefix);

    // The member name of the texture the material refers to as `reference`,
    // or "" after a warning when it cannot be found or read.
    std::string Add(const std::string& reference, ConversionReport* report);

    // The engine blends an opacity map by the alpha of the texture drawn
    // with it, so a separate opacity image is folded into the alpha of a
    // copy of the colour texture: the member name of that copy, or "" after
    // a warning when the two images cannot be combined (sizes differ).
    std::string MergeOpacity(const std::string& colourMember, const std::string& opacityMember,
                             ConversionReport* report);

    std::vector<PackEntry>& Entries() { return m_entries; }
    // The image files read, and whether any reference was not found.
    const std::vector<std::string>& Files() const { return m_files; }
    bool AnyMissing() const { return m_anyMissing; }

private:
    std::string ClaimMemberName(const std::string& wanted);
    std::string FindFile(const std::string& reference) const;

    const aiScene* m_scene;
    std::string m_directory;
    std::string m_prefix;
    // The image a member was made from: its source bytes when it was
    // re-encoded (JPEG would blur a merge), else the member's own.
    const std::vector<uint8_t>* SourceOf(const std::string& member) const;

    std::map<std::string, std::string> m_byReference;
    std::map<std::string, std::string> m_merged; // "colour|opacity" -> member
    std::map<std::string, std::vector<uint8_t>> m_sources; // re-encoded members' sources
    std::vector<PackEntry> m_entries;
    std::vector<std::string> m_files;
    bool m_anyMissing = false;
};

// Member names are compared without regard to case, as the pack does.
std::string UpperCase(std::string text);

} // namespace import
