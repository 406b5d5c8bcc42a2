// The end of a deformation pass against the rule written out vertex by
// vertex: non-finite positions put back to their base, then the box in
// vertex order, where among equal zeros the first one's sign wins.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "scene/deformed_box.h"
#include "scene/mesh_builder.h"

namespace {

bool SameBits(const D3DVECTOR& a, const D3DVECTOR& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(DeformedBox, EqualsTheInOrderRuleBitForBit)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int trial = 0; trial < 60; ++trial) {
        const int n = trial * 7 % 300; // whole and partial blocks of sixteen, and none
        std::vector<MeshVertex> base(n), deformed(n);
        for (int i = 0; i < n; ++i) {
            base[i] = MeshVertex{coordinate(rng), coordinate(rng), coordinate(rng), nan, 0, 1, 0xFFu, inf, 0};
            deformed[i] = base[i];
            deformed[i].x = coordinate(rng);
            deformed[i].y = coordinate(rng);
            deformed[i].z = coordinate(rng);
        }
        // Sides at signed zeros, in either order; far values beyond the
        // starting extremes; the odd poisoned position.
        if (n > 0 && trial % 3 == 0) {
            for (MeshVertex& v : deformed) {
                v.y = std::fabs(v.y);
                v.z = -std::fabs(v.z);
            }
            deformed[(trial * 5) % n].y = trial % 2 == 0 ? -0.0f : 0.0f;
            deformed[(trial * 11) % n].y = trial % 2 == 0 ? 0.0f : -0.0f;
            deformed[(trial * 13) % n].z = -0.0f;
        }
        if (n > 0 && trial % 4 == 1) {
            deformed[trial % n].x = 2e6f;
            deformed[(trial * 3) % n].z = -3e6f;
        }
        if (n > 0 && trial % 5 == 2) {
            deformed[(trial * 7) % n].y = trial % 2 == 0 ? nan : -inf;
        }
        std::vector<MeshVertex> expected = deformed;
        for (int i = 0; i < n; ++i) {
            KeepFinite(&expected[i], base[i]);
        }
        D3DVECTOR expectedMin, expectedMax;
        ComputeBoundingBox(expected.data(), n, &expectedMin, &expectedMax);

        D3DVECTOR gotMin, gotMax;
        FinishDeformation(deformed.data(), base.data(), n, &gotMin, &gotMax);
        EXPECT_TRUE(SameBits(expectedMin, gotMin)) << "trial " << trial;
        EXPECT_TRUE(SameBits(expectedMax, gotMax)) << "trial " << trial;
        EXPECT_TRUE(expected.empty() || std::memcmp(expected.data(), deformed.data(), n * sizeof(MeshVertex)) == 0)
            << "trial " << trial;
    }
}

} // namespace
