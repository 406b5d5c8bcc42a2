#include "tools/import/material_converter.h"

#include <assimp/GltfMaterial.h>
#include <assimp/material.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/import/unique_names.h"

namespace import {

namespace {

kvf::Vec3 Colour(const aiMaterial* material, const char* key, unsigned type, unsigned index, const kvf::Vec3& fallback)
{
    aiColor4D c;
    if (material->Get(key, type, index, c) != AI_SUCCESS) {
        return fallback;
    }
    return {c.r, c.g, c.b};
}

bool Finite(const kvf::Vec3& c)
{
    return std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
}

// The colour, or `fallback` with a warning when a channel is not a number.
kvf::Vec3 FiniteColour(const kvf::Vec3& colour, const kvf::Vec3& fallback, const std::string& what,
                       ConversionReport* report)
{
    if (Finite(colour)) {
        return colour;
    }
    report->Warn(what + " is not a number; " + std::to_string(fallback.x) + ", " + std::to_string(fallback.y) +
                 ", " + std::to_string(fallback.z) + " is used");
    return fallback;
}

float Channel(float c)
{
    return c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
}

// The texture of that type, as a map of `kind`; false when there is none or
// it cannot be stored.
bool AddMap(const aiMaterial* material, aiTextureType type, int32_t kind, const char* mapName,
            TextureStore* textures, kvf::Material* out, ConversionReport* report)
{
    if (material->GetTextureCount(type) == 0) {
        return false;
    }
    aiString path;
    unsigned uvIndex = 0;
    if (material->GetTexture(type, 0, &path, nullptr, &uvIndex) != AI_SUCCESS) {
        return false;
    }
    const std::string name = material->GetName().C_Str();
    if (uvIndex != 0) {
        report->Warn("material " + name + " maps its " + mapName + " texture by coordinate set " +
                     std::to_string(uvIndex) + "; the first set is used");
    }
    if (material->GetTextureCount(type) > 1) {
        report->Warn("material " + name + " layers " + std::to_string(material->GetTextureCount(type)) + " " +
                     mapName + " textures; only the first is converted");
    }
    const std::string member = textures->Add(path.C_Str(), report);
    if (member.empty()) {
        return false;
    }
    kvf::TextMap map;
    map.kind = kind;
    map.name = mapName;
    map.hasFile = 1;
    map.fileName = member;
    out->maps.push_back(map);
    return true;
}

const struct {
    aiTextureType type;
    const char* name;
} kUnconvertedTextures[] = {
    {aiTextureType_SPECULAR, "specular"},   {aiTextureType_AMBIENT, "ambient"},
    {aiTextureType_EMISSIVE, "emissive"},   {aiTextureType_HEIGHT, "height"},
    {aiTextureType_NORMALS, "normal"},      {aiTextureType_SHININESS, "shininess"},
    {aiTextureType_DISPLACEMENT, "displacement"}, {aiTextureType_LIGHTMAP, "light"},
    {aiTextureType_NORMAL_CAMERA, "normal"}, {aiTextureType_EMISSION_COLOR, "emission"},
    {aiTextureType_METALNESS, "metalness"}, {aiTextureType_DIFFUSE_ROUGHNESS, "roughness"},
    {aiTextureType_AMBIENT_OCCLUSION, "occlusion"}, {aiTextureType_SHEEN, "sheen"},
    {aiTextureType_CLEARCOAT, "clear-coat"}, {aiTextureType_TRANSMISSION, "transmission"},
};

} // namespace

// A linear colour channel (0 to 1) as the display value that shows it: the
// sRGB transfer function.
float DisplayChannel(float linear)
{
    const float c = Channel(linear);
    return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

kvf::Vec3 Display(const kvf::Vec3& linear)
{
    return {DisplayChannel(linear.x), DisplayChannel(linear.y), DisplayChannel(linear.z)};
}

kvf::Vec3 ShowBaseColour(const aiMaterial* material, kvf::Material* converted, bool linearColours)
{
    bool textured = false;
    for (const kvf::TextMap& map : converted->maps) {
        textured = textured || map.kind == kDiffuseMap || map.kind == kReflectionMap;
    }
    if (textured) {
        // glTF multiplies its base colour texture by the base colour factor;
        // the other formats show the texture as it is.
        kvf::Vec3 factor{1.0f, 1.0f, 1.0f};
        factor = Colour(material, AI_MATKEY_BASE_COLOR, factor);
        if (!Finite(factor)) {
            return {1, 1, 1};
        }
        return linearColours ? Display(factor) : kvf::Vec3{Channel(factor.x), Channel(factor.y), Channel(factor.z)};
    }
    kvf::Vec3 emissive = Colour(material, AI_MATKEY_COLOR_EMISSIVE, {0.0f, 0.0f, 0.0f});
    if (!Finite(emissive)) {
        emissive = {0.0f, 0.0f, 0.0f};
    }
    if (linearColours) {
        converted->diffuse = Display(converted->diffuse);
        emissive = Display(emissive);
    }
    const kvf::Vec3& d = converted->diffuse;
    converted->ambient = {Channel(d.x + emissive.x), Channel(d.y + emissive.y), Channel(d.z + emissive.z)};
    return {Channel(d.x), Channel(d.y), Channel(d.z)};
}

kvf::Material ConvertMaterial(const aiMaterial* material, int32_t id, TextureStore* textures,
                              ConversionReport* report)
{
    kvf::Material out;
    out.id = id;
    out.name = material->GetName().C_Str();
    // The file's strings hold at most 255 characters.
    out.name = out.name.substr(0, std::min(out.name.find('\0'), kMaxNameLength));
    if (out.name.empty()) {
        out.name = "material" + std::to_string(id);
    }
    out.diffuse = Colour(material, AI_MATKEY_COLOR_DIFFUSE, {0.8f, 0.8f, 0.8f});
    out.diffuse = Colour(material, AI_MATKEY_BASE_COLOR, out.diffuse);
    out.ambient = Colour(material, AI_MATKEY_COLOR_AMBIENT, out.diffuse);
    out.specular = Colour(material, AI_MATKEY_COLOR_SPECULAR, {0.0f, 0.0f, 0.0f});
    const std::string what = "material " + out.name;
    out.diffuse = FiniteColour(out.diffuse, {0.8f, 0.8f, 0.8f}, what + ": its diffuse colour", report);
    out.ambient = FiniteColour(out.ambient, out.diffuse, what + ": its ambient colour", report);
    out.specular = FiniteColour(out.specular, {0.0f, 0.0f, 0.0f}, what + ": its specular colour", report);
    float shininess = 0.0f;
    if (material->Get(AI_MATKEY_SHININESS, shininess) == AI_SUCCESS && shininess > 0.0f && std::isfinite(shininess)) {
        out.power = shininess;
    }
    float opacity = 1.0f;
    if (material->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS && opacity < 1.0f) {
        out.transparency = 1.0f - (opacity < 0.0f ? 0.0f : opacity);
        // The engine's nearest blend: colour-weighted.
        out.blendKind = 1;
    }
    int twoSided = 0;
    if (material->Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS && twoSided != 0) {
        out.twoSided = 1;
    }

    const bool diffuse = AddMap(material, aiTextureType_DIFFUSE, kDiffuseMap, "diffuse", textures, &out, report) ||
                         AddMap(material, aiTextureType_BASE_COLOR, kDiffuseMap, "diffuse", textures, &out, report);
    if (AddMap(material, aiTextureType_OPACITY, kOpacityMap, "opacity", textures, &out, report)) {
        kvf::TextMap& opacity = out.maps.back();
        if (diffuse && opacity.fileName != out.maps.front().fileName) {
            const std::string merged = textures->MergeOpacity(out.maps.front().fileName, opacity.fileName, report);
            if (!merged.empty()) {
                out.maps.front().fileName = merged;
                opacity.fileName = merged;
            }
        }
    } else if (diffuse) {
        // A blended glTF material takes its coverage from the texture's alpha.
        aiString mode;
        if (material->Get(AI_MATKEY_GLTF_ALPHAMODE, mode) == AI_SUCCESS && std::strcmp(mode.C_Str(), "BLEND") == 0) {
            kvf::TextMap opacity = out.maps.front();
            opacity.kind = kOpacityMap;
            opacity.name = "opacity";
            out.maps.push_back(opacity);
        }
    }
    AddMap(material, aiTextureType_REFLECTION, kReflectionMap, "reflection", textures, &out, report);

    for (const auto& unconverted : kUnconvertedTextures) {
        if (material->GetTextureCount(unconverted.type) > 0) {
            report->Warn("material " + out.name + ": its " + unconverted.name + " map is not converted");
        }
    }
    float metallic = 0.0f, roughness = 0.0f;
    if (material->Get(AI_MATKEY_METALLIC_FACTOR, metallic) == AI_SUCCESS ||
        material->Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness) == AI_SUCCESS) {
        report->pbrMaterials.push_back(out.name);
    }
    return out;
}

} // namespace import
