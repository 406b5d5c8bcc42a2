// Writes resource packs for tests: a ZIP archive holding the given members,
// made by the standard `zip` program (deflated where that is smaller).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackMember {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Writes the archive at archivePath, replacing any file there. Returns false
// when the archive could not be made.
bool WritePack(const std::string& archivePath, const std::vector<PackMember>& members);

// A fresh directory under /tmp, removed with the object.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes `directory` the working directory while it lives.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& directory);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string m_previous;
};

// Writes bytes to a file; false on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
