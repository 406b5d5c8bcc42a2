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
    if (m_taken.insert(base).second) {
        return base;
    }
    // Names are never given back, so every suffix probed before for this
    // base is still taken: the search goes on where the last one stopped.
    int& n = m_nextSuffix.emplace(base, 2).first->second;
    for (;; ++n) {
        std::string name = base + "_" + std::to_string(n);
        if (m_taken.insert(name).second) {
            ++n;
            return name;
        }
    }
}

} // namespace import
