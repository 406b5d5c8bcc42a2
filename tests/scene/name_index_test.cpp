// The name index against the walk from the list's head that it stands in for:
// many random names, with repeats, names that differ only in letter case or
// length, an empty name and objects without a name, looked up by every name
// and by names that are not there.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "scene/name_index.h"
#include "scene/object_list.h"

namespace {

struct Named {
    const char* name;
};

Named* WalkFind(const CObjectList<Named>& list, const char* name)
{
    for (Named* item : list) {
        if (item->name != nullptr && std::strcmp(item->name, name) == 0) {
            return item;
        }
    }
    return nullptr;
}

} // namespace

TEST(NameIndex, FindsWhatTheWalkFromTheHeadFinds)
{
    std::mt19937 rng(3);
    const char* const letters = "aAbB";
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) {
        std::string name;
        for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
            name += letters[rng() % 4];
        }
        names.push_back(name); // short names over few letters: many repeats
    }
    CObjectList<Named> list;
    for (size_t i = 0; i < names.size(); ++i) {
        list.Append(new Named{i % 97 == 5 ? nullptr : names[i].c_str()});
    }
    NameIndex<Named> index;
    ASSERT_EQ(0, index.Build(list));
    std::vector<std::string> keys = names;
    keys.push_back("absent");
    keys.push_back("aaaaaaa");
    for (const std::string& key : keys) {
        ASSERT_EQ(WalkFind(list, key.c_str()), index.Find(key.c_str())) << '"' << key << '"';
    }
    EXPECT_EQ(nullptr, index.Find(nullptr));

    CObjectList<Named> empty;
    NameIndex<Named> none;
    ASSERT_EQ(0, none.Build(empty));
    EXPECT_EQ(nullptr, none.Find("a"));
}
