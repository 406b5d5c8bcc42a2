// Turns the model's materials into KVF material records: colours, power,
// transparency, two-sidedness, a diffuse texture map, an opacity map and a
// reflection map drawn as a sphere map. Everything else a material carries
// (PBR parameters, normal, emissive and other maps, extra texture
// coordinate sets) is named in a warning.
#pragma once

#include <assimp/scene.h>

#include <vector>

#include "tools/import/conversion_report.h"
#include "tools/import/texture_store.h"
#include "tools/kvf_writer/kvf_writer.h"

namespace import {

// Map kinds the engine knows.
constexpr int32_t kDiffuseMap = kvf::kMapTexture;
constexpr int32_t kOpacityMap = kvf::kMapOpacity;
constexpr int32_t kReflectionMap = kvf::kMapReflection;

kvf::Material ConvertMaterial(const aiMaterial* material, int32_t id, TextureStore* textures,
                              ConversionReport* report);

// The engine takes a lit surface's colour from its vertices (white unless
// the model colours them), not from the material's diffuse colour. So that
// the material's colour shows under light, this is the colour its vertices
// carry: the diffuse (or base) colour, or for a textured material the glTF
// base colour factor that tints the texture (white for other formats). An
// untextured material's ambient colour becomes its diffuse colour plus its
// emissive colour, so that the scene's ambient light shows the material's
// colour, and an emissive one brighter: the engine has no emissive light.
// With linearColours (glTF, whose colour factors are linear) the colours are
// turned into the display values that show them (sRGB), as the engine's
// picture and textures hold display values.
kvf::Vec3 ShowBaseColour(const aiMaterial* material, kvf::Material* converted, bool linearColours);

} // namespace import
