// The six faces of the sky box: an evening sky, deep blue overhead with a
// few stars, orange toward a low sun ahead, clouds lit from the sun's side,
// and a dark haze below the horizon. Each pixel is coloured by the direction
// it shows, so the faces meet without seams.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "content/image.h"
#include "content/noise.h"
#include "content/show.h"

namespace content {

namespace {

// Larger than the scenes' textures: a face spans a quarter of the view's
// turn and fills much of the screen.
constexpr int kFaceSide = 512;

struct Direction {
    float x, y, z;
};

Direction Normalised(Direction d)
{
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return Direction{d.x / length, d.y / length, d.z / length};
}

// Corner 0 (u 0, v 0), corner 1 (u 1, v 0) and corner 3 (u 0, v 1) of each
// face of the box the player draws, in its own axes (y up).
struct Face {
    const char* name;
    Direction corner0, corner1, corner3;
};

const Face kFaces[6] = {
    {"Otter_FR.JPG", {-10, 10, 10}, {10, 10, 10}, {-10, -10, 10}},
    {"Otter_BK.JPG", {10, 10, -10}, {-10, 10, -10}, {10, -10, -10}},
    {"Otter_DN.JPG", {-10, -10, 10}, {10, -10, 10}, {-10, -10, -10}},
    {"Otter_UP.JPG", {-10, 10, -10}, {10, 10, -10}, {-10, 10, 10}},
    {"Otter_LF.JPG", {10, 10, 10}, {10, 10, -10}, {10, -10, 10}},
    {"Otter_RT.JPG", {-10, 10, -10}, {-10, 10, 10}, {-10, -10, -10}},
};

float Star(Direction d)
{
    // A star where a fine lattice cell's hash is rare enough.
    const float scale = 360.0f;
    const int ix = static_cast<int>(std::floor(d.x * scale)), iy = static_cast<int>(std::floor(d.y * scale)),
              iz = static_cast<int>(std::floor(d.z * scale));
    uint32_t h = static_cast<uint32_t>(ix) * 2654435761u ^ static_cast<uint32_t>(iy) * 40503u ^
                 static_cast<uint32_t>(iz) * 2246822519u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return (h % 1000u) < 4u ? 0.5f + static_cast<float>(h % 97u) / 194.0f : 0.0f;
}

Rgba SkyColour(Direction d)
{
    const Direction sun = Normalised({0.25f, 0.12f, 1.0f});
    const float toSun = std::max(0.0f, d.x * sun.x + d.y * sun.y + d.z * sun.z);
    if (d.y < 0.0f) {
        const float depth = std::min(1.0f, -d.y * 4.0f);
        return Mix(Rgba{0.45f, 0.3f, 0.25f, 1}, Rgba{0.06f, 0.05f, 0.08f, 1}, depth);
    }
    const float height = std::sqrt(d.y);
    Rgba sky = Mix(Rgba{1.0f, 0.55f, 0.25f, 1}, Rgba{0.05f, 0.08f, 0.3f, 1}, std::min(1.0f, height * 1.3f));
    sky = Mix(sky, Rgba{1.0f, 0.85f, 0.5f, 1}, std::pow(toSun, 12.0f) * 0.8f);
    const float disc = std::clamp((toSun - 0.9982f) / 0.0006f, 0.0f, 1.0f);
    if (disc >= 1.0f) {
        return Rgba{1.0f, 0.95f, 0.8f, 1};
    }
    // Clouds in a layer: sampled where the ray meets a plane above.
    const float reach = 1.0f / std::max(d.y, 0.05f);
    const float cloud = FractalNoise(d.x * reach * 2.0f + 50.0f, d.z * reach * 2.0f + 50.0f, 0.5f, 1 << 16, 5);
    const float cover = std::clamp((cloud - 0.48f) * 3.0f, 0.0f, 1.0f) * std::min(1.0f, d.y * 6.0f);
    const Rgba lit = Mix(Rgba{0.35f, 0.25f, 0.35f, 1}, Rgba{1.0f, 0.7f, 0.45f, 1}, std::pow(toSun, 3.0f));
    sky = Mix(sky, lit, cover * 0.85f);
    const float star = Star(d) * std::clamp((height - 0.55f) * 3.0f, 0.0f, 1.0f) * (1.0f - cover);
    return Mix(Mix(sky, Rgba{1, 1, 1, 1}, star), Rgba{1.0f, 0.95f, 0.8f, 1}, disc);
}

} // namespace

std::vector<ShowFile> SkyFaces()
{
    std::vector<ShowFile> files;
    for (const Face& face : kFaces) {
        Image image(kFaceSide, kFaceSide);
        for (int y = 0; y < kFaceSide; ++y) {
            for (int x = 0; x < kFaceSide; ++x) {
                const float u = (x + 0.5f) / kFaceSide, v = (y + 0.5f) / kFaceSide;
                const Direction d{face.corner0.x + (face.corner1.x - face.corner0.x) * u + (face.corner3.x - face.corner0.x) * v,
                                  face.corner0.y + (face.corner1.y - face.corner0.y) * u + (face.corner3.y - face.corner0.y) * v,
                                  face.corner0.z + (face.corner1.z - face.corner0.z) * u + (face.corner3.z - face.corner0.z) * v};
                image.At(x, y) = SkyColour(Normalised(d));
            }
        }
        files.push_back({face.name, EncodeJpeg(image, 92)});
    }
    return files;
}

} // namespace content
