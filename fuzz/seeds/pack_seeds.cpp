// Pack seeds: ZIP archives made by the pack builder, holding the members the
// pack harness looks up, stored and deflated, beside others.
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/seeds/seed_files.h"
#include "tests/support/pack_builder.h"

namespace {

bool WritePackSeed(const std::string& folder, const std::string& name, const std::vector<PackMember>& members)
{
    TempDirectory temp;
    const std::string path = temp.File(name);
    if (!WritePack(path, members)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    return WriteSeed(folder, name,
                     std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
}

} // namespace

bool WritePackSeeds(const std::string& folder)
{
    // Repetitive bytes deflate; these few random-looking ones are stored.
    const std::vector<uint8_t> stored = {0x9C, 0x21, 0xE7, 0x05, 0x7A, 0xD3};
    const std::vector<uint8_t> text(300, 'k');
    bool ok = WritePackSeed(folder, "one.pac", {{"a.kvf", SmallSceneSeed()}});
    ok = WritePackSeed(folder, "several.pac",
                       {{"A.kvf", text}, {"B.TGA", stored}, {"s.spt", {}}, {"other.bin", text}})
         && ok;
    return ok;
}
