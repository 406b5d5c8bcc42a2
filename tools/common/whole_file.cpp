#include "tools/common/whole_file.h"

#include <fstream>
#include <iterator>

namespace tools {

bool ReadWhole(const std::string& path, std::vector<uint8_t>* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace tools
