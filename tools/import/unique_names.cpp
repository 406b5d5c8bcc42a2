#include "tools/import/unique_names.h"

namespace import {

std::string UniqueNames::Claim(const std::string& wanted, const std::string& fallback)
{
    std::string base = wanted.empty() ? fallback : wanted;
    // A name stops at its first zero byte in the file.
    base = base.substr(0, base.find('\0'));
    if (base.empty()) {
        base = fallback;
    }
    base.resize(std::min(base.size(), kMaxNameLength - 8));
    std::string name = base;
    for (int n = 2; !m_taken.insert(name).second; ++n) {
        name = base + "_" + std::to_string(n);
    }
    return name;
}

} // namespace import
