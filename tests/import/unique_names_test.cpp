// Unique names: the same names as a plain probe from _2 upwards for every
// repeat, in one pass however often a name repeats.
#include <gtest/gtest.h>

#include <random>
#include <unordered_set>

#include "tools/import/unique_names.h"

namespace {

// The plain search: each repeat probes _2, _3, ... from 2 again.
class ProbingNames {
public:
    std::string Claim(const std::string& wanted, const std::string& fallback = "node")
    {
        std::string base = wanted.empty() ? fallback : wanted;
        base = base.substr(0, base.find('\0'));
        if (base.empty()) {
            base = fallback;
        }
        base.resize(std::min(base.size(), import::kMaxNameLength - 8));
        std::string name = base;
        for (int n = 2; !m_taken.insert(name).second; ++n) {
            name = base + "_" + std::to_string(n);
        }
        return name;
    }

private:
    std::unordered_set<std::string> m_taken;
};

TEST(UniqueNames, GivesTheNamesOfThePlainSearch)
{
    const std::string longName(300, 'x');
    const std::vector<std::string> tricky = {
        "a", "a", "a_2", "a", "a_3", "a", "a_2", "a_2", "a_2_2", "a", "", "", "node", "node_2", "",
        std::string("z\0y", 3), "z", "z", longName, longName, longName.substr(0, 247) + "_2", longName,
        "b_3", "b", "b", "b", "b_2", "b"};
    import::UniqueNames names;
    ProbingNames reference;
    for (const std::string& wanted : tricky) {
        EXPECT_EQ(reference.Claim(wanted), names.Claim(wanted)) << wanted.substr(0, 20);
    }

    // Random names from a small alphabet of bases and suffixes, so that
    // claimed names and suffixes keep colliding.
    std::mt19937 random(19);
    const char* const parts[] = {"a", "_2", "_3", "_1", "b", "_10"};
    import::UniqueNames many;
    ProbingNames manyReference;
    for (int i = 0; i < 5000; ++i) {
        std::string wanted = parts[random() % 2 == 0 ? 0 : 4];
        for (int k = random() % 3; k > 0; --k) {
            wanted += parts[random() % 6];
        }
        ASSERT_EQ(manyReference.Claim(wanted), many.Claim(wanted)) << i;
    }

    // 50,000 siblings of one name end at the 50,000th suffix.
    import::UniqueNames siblings;
    std::string last;
    for (int i = 0; i < 50000; ++i) {
        last = siblings.Claim("same");
    }
    EXPECT_EQ("same_50000", last);
}

} // namespace
