#include "tools/import/texture_names.h"

namespace import {

void TextureNames::Settle(ConvertedModel* model)
{
    std::map<std::string, std::string> renamed;
    for (PackEntry& texture : model->textures) {
        std::string name = texture.name;
        for (int n = 2;; ++n) {
            auto found = m_taken.find(UpperCase(name));
            if (found == m_taken.end() || *found->second == texture.bytes) {
                break;
            }
            const size_t dot = texture.name.find_last_of('.');
            name = texture.name.substr(0, dot) + "_" + std::to_string(n) +
                   (dot == std::string::npos ? "" : texture.name.substr(dot));
        }
        if (name != texture.name) {
            renamed.emplace(texture.name, name);
            texture.name = name;
        }
        m_taken.emplace(UpperCase(name), &texture.bytes);
    }
    if (renamed.empty()) {
        return;
    }
    for (kvf::Material& material : model->scene.materials) {
        for (kvf::TextMap& map : material.maps) {
            auto found = renamed.find(map.fileName);
            if (found != renamed.end()) {
                map.fileName = found->second;
            }
        }
    }
}

void TextureNames::Record(const std::vector<PackEntry>& textures)
{
    for (const PackEntry& texture : textures) {
        Record(texture);
    }
}

void TextureNames::Record(const PackEntry& texture)
{
    m_taken.emplace(UpperCase(texture.name), &texture.bytes);
}

} // namespace import
