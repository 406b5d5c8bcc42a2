#include "content/noise.h"

#include <cmath>
#include <cstdint>

namespace content {

namespace {

float Lattice(int x, int y, int z, int period)
{
    auto wrap = [period](int v) { return ((v % period) + period) % period; };
    uint32_t h = static_cast<uint32_t>(wrap(x)) * 73856093u ^ static_cast<uint32_t>(wrap(y)) * 19349663u ^
                 static_cast<uint32_t>(wrap(z)) * 83492791u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xFFFFu) / 65535.0f;
}

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

} // namespace

float ValueNoise(float x, float y, float z, int period)
{
    const int ix = static_cast<int>(std::floor(x));
    const int iy = static_cast<int>(std::floor(y));
    const int iz = static_cast<int>(std::floor(z));
    const float fx = Smooth(x - ix), fy = Smooth(y - iy), fz = Smooth(z - iz);
    float corners[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                corners[dz][dy][dx] = Lattice(ix + dx, iy + dy, iz + dz, period);
    const float y0 = Lerp(Lerp(corners[0][0][0], corners[0][0][1], fx), Lerp(corners[0][1][0], corners[0][1][1], fx), fy);
    const float y1 = Lerp(Lerp(corners[1][0][0], corners[1][0][1], fx), Lerp(corners[1][1][0], corners[1][1][1], fx), fy);
    return Lerp(y0, y1, fz);
}

float FractalNoise(float x, float y, float z, int period, int octaves)
{
    float sum = 0.0f, weight = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += ValueNoise(x, y, z, period) * weight;
        total += weight;
        x *= 2.0f;
        y *= 2.0f;
        z *= 2.0f;
        period *= 2;
        weight *= 0.5f;
    }
    return sum / total;
}

} // namespace content
