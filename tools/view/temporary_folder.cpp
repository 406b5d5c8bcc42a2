#include "tools/view/temporary_folder.h"

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <vector>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW*)
{
    return std::remove(path);
}

} // namespace

TemporaryFolder::TemporaryFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/zolt-view-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) {
        m_path = name.data();
    }
}

TemporaryFolder::~TemporaryFolder()
{
    if (!m_path.empty()) {
        // Children before their folder; links are removed, not followed.
        nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
}
