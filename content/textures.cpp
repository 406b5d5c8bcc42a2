// The scenes' textures, drawn from noise: marble, a marble checker floor, a
// sphere map of a bright sky over dark ground for chrome, water, flowing
// energy stripes, floor tiles and rocky grass, each tiling; and a gold
// emblem with clear ground for the hall's floor.
#include <algorithm>
#include <cmath>
#include <functional>

#include "content/geometry.h"
#include "content/image.h"
#include "content/noise.h"
#include "content/show.h"

namespace content {

namespace {

using Shader = std::function<Rgba(float u, float v)>;

Image Draw(int side, const Shader& shader)
{
    Image image(side, side);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            image.At(x, y) = shader((x + 0.5f) / side, (y + 0.5f) / side);
        }
    }
    return image;
}

// Veins of marble: a sine of a turbulent coordinate.
float Veins(float u, float v, int period, float seed)
{
    const float turbulence = FractalNoise(u * period, v * period, seed, period, 5);
    const float s = std::sin((u + v) * 2.0f * kPi * 2.0f + turbulence * 9.0f);
    return std::pow(1.0f - std::fabs(s), 6.0f);
}

Rgba WhiteMarble(float u, float v)
{
    const float vein = Veins(u, v, 4, 1.5f);
    const float cloud = FractalNoise(u * 8.0f, v * 8.0f, 7.0f, 8, 4);
    const Rgba base{0.92f - 0.12f * cloud, 0.90f - 0.12f * cloud, 0.86f - 0.10f * cloud, 1};
    return Mix(base, Rgba{0.35f, 0.36f, 0.40f, 1}, vein * 0.8f);
}

Rgba GreenMarble(float u, float v)
{
    const float vein = Veins(u, v, 4, 3.5f);
    const float cloud = FractalNoise(u * 8.0f, v * 8.0f, 2.0f, 8, 4);
    const Rgba base{0.05f + 0.06f * cloud, 0.20f + 0.12f * cloud, 0.14f + 0.08f * cloud, 1};
    return Mix(base, Rgba{0.75f, 0.85f, 0.78f, 1}, vein * 0.7f);
}

Rgba Floor(float u, float v)
{
    const bool light = (static_cast<int>(u * 2.0f) + static_cast<int>(v * 2.0f)) % 2 == 0;
    Rgba colour = light ? WhiteMarble(u, v) : GreenMarble(u, v);
    // A thin dark joint between the slabs.
    const float fu = std::fmod(u * 2.0f, 1.0f), fv = std::fmod(v * 2.0f, 1.0f);
    if (fu < 0.01f || fu > 0.99f || fv < 0.01f || fv > 0.99f) {
        colour = Mix(colour, Rgba{0.1f, 0.1f, 0.1f, 1}, 0.7f);
    }
    return colour;
}

// The view of a mirror ball: the sphere map's centre reflects what is behind
// the viewer, its upper half the sky, its lower half the ground.
Rgba Chrome(float u, float v)
{
    const float x = u * 2.0f - 1.0f, y = 1.0f - v * 2.0f;
    const float r2 = x * x + y * y;
    if (r2 > 1.0f) {
        return Rgba{0.2f, 0.2f, 0.25f, 1};
    }
    const float nz = std::sqrt(1.0f - r2);
    // Reflected direction of a view along -z: r = 2 (n.z) n - (0, 0, 1).
    const float ry = 2.0f * nz * y;
    if (ry >= 0.0f) {
        const float cloud = FractalNoise(x * 6.0f + 10.0f, y * 6.0f, 3.0f, 64, 4);
        Rgba sky = Mix(Rgba{0.95f, 0.85f, 0.7f, 1}, Rgba{0.15f, 0.35f, 0.85f, 1}, std::sqrt(ry));
        return Mix(sky, Rgba{1, 1, 1, 1}, std::max(0.0f, cloud - 0.5f) * 1.6f);
    }
    const float grain = FractalNoise(x * 12.0f, y * 12.0f, 9.0f, 64, 3);
    return Mix(Rgba{0.35f, 0.28f, 0.22f, 1}, Rgba{0.08f, 0.07f, 0.06f, 1}, std::min(1.0f, -ry * 1.5f) * (0.7f + 0.3f * grain));
}

Rgba Water(float u, float v)
{
    const float n = FractalNoise(u * 4.0f, v * 4.0f, 5.0f, 4, 5);
    const float caustic = std::pow(1.0f - std::fabs(std::sin(n * 14.0f)), 8.0f);
    return Mix(Rgba{0.02f, 0.18f, 0.35f, 1}, Rgba{0.55f, 0.85f, 0.95f, 1}, 0.25f * n + 0.6f * caustic);
}

Rgba Energy(float u, float v)
{
    const float n = FractalNoise(u * 4.0f, v * 4.0f, 11.0f, 4, 4);
    const float band = 0.5f + 0.5f * std::sin(2.0f * kPi * (u * 3.0f + n * 1.5f));
    const float glow = std::pow(band, 4.0f);
    return Mix(Rgba{0.25f, 0.02f, 0.08f, 1}, Rgba{1.0f, 0.75f, 0.2f, 1}, glow);
}

Rgba Tiles(float u, float v)
{
    const float fu = std::fmod(u * 4.0f, 1.0f), fv = std::fmod(v * 4.0f, 1.0f);
    const float edge = std::min(std::min(fu, 1.0f - fu), std::min(fv, 1.0f - fv));
    const float speck = FractalNoise(u * 32.0f, v * 32.0f, 4.0f, 32, 2);
    const Rgba tile{0.55f + 0.1f * speck, 0.56f + 0.1f * speck, 0.6f + 0.1f * speck, 1};
    return edge < 0.04f ? Rgba{0.12f, 0.12f, 0.14f, 1} : tile;
}

Rgba Ground(float u, float v)
{
    const float n = FractalNoise(u * 8.0f, v * 8.0f, 13.0f, 8, 5);
    const float fine = FractalNoise(u * 64.0f, v * 64.0f, 17.0f, 64, 2);
    const Rgba grass{0.18f + 0.1f * fine, 0.38f + 0.12f * fine, 0.12f, 1};
    const Rgba rock{0.45f + 0.15f * fine, 0.42f + 0.15f * fine, 0.38f + 0.1f * fine, 1};
    return Mix(grass, rock, std::clamp((n - 0.45f) * 5.0f, 0.0f, 1.0f));
}

// A gold eight-pointed star in a ring, on a clear ground: laid on the hall's
// floor round the pedestal.
Rgba Emblem(float u, float v)
{
    const float x = u * 2.0f - 1.0f, y = v * 2.0f - 1.0f;
    const float r = std::sqrt(x * x + y * y), a = std::atan2(y, x);
    const float star = 0.35f + 0.55f * std::pow(std::fabs(std::cos(a * 4.0f)), 8.0f);
    const float ring = std::fabs(r - 0.9f);
    const float edge = 0.015f;
    const float inStar = std::clamp((star - r) / edge, 0.0f, 1.0f);
    const float inRing = std::clamp((0.05f - ring) / edge, 0.0f, 1.0f);
    const float shine = 0.75f + 0.25f * std::cos(a * 8.0f + r * 6.0f);
    Rgba gold{0.95f * shine, 0.72f * shine, 0.25f * shine, std::max(inStar, inRing) * 0.9f};
    if (r < 0.33f) {
        gold.a = 0.0f; // the pedestal stands here
    }
    return gold;
}

} // namespace

std::vector<ShowFile> SceneTextures()
{
    return {
        {"Floor.JPG", EncodeJpeg(Draw(256, Floor))},
        {"Marble.JPG", EncodeJpeg(Draw(128, WhiteMarble))},
        {"Chrome.JPG", EncodeJpeg(Draw(128, Chrome))},
        {"Water.JPG", EncodeJpeg(Draw(128, Water))},
        {"Energy.JPG", EncodeJpeg(Draw(128, Energy))},
        {"Tiles.JPG", EncodeJpeg(Draw(128, Tiles))},
        {"Ground.JPG", EncodeJpeg(Draw(256, Ground))},
        {"Emblem.TGA", EncodeTga(Draw(256, Emblem))},
    };
}

} // namespace content
