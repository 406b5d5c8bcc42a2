// A folder of its own under $TMPDIR (or /tmp), removed with everything in
// it when the object goes.
#pragma once

#include <string>

class TemporaryFolder {
public:
    // Creates zolt-view-XXXXXX; Path() is empty when that failed.
    TemporaryFolder();
    ~TemporaryFolder();

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

private:
    std::string m_path;
};
