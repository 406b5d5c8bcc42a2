#include "tests/support/pack_builder.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

} // namespace

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    return std::fclose(file) == 0 && written == bytes.size();
}

TempDirectory::TempDirectory()
{
    char pattern[] = "/tmp/zolt-test-XXXXXX";
    if (mkdtemp(pattern))
        m_path = pattern;
}

TempDirectory::~TempDirectory()
{
    if (!m_path.empty())
        std::system(("rm -rf " + Quoted(m_path)).c_str());
}

WorkingDirectory::WorkingDirectory(const std::string& directory)
{
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer))
        m_previous = buffer;
    if (chdir(directory.c_str()) != 0)
        std::perror("chdir");
}

WorkingDirectory::~WorkingDirectory()
{
    if (!m_previous.empty() && chdir(m_previous.c_str()) != 0)
        std::perror("chdir");
}

bool WritePack(const std::string& archivePath, const std::vector<PackMember>& members)
{
    TempDirectory staging;
    if (staging.Path().empty())
        return false;
    std::string names;
    for (const PackMember& member : members) {
        if (!WriteFileBytes(staging.File(member.name), member.bytes))
            return false;
        names += " " + Quoted(member.name);
    }
    if (members.empty())
        return false;
    std::string archive = archivePath;
    char cwd[4096];
    if (archive.empty())
        return false;
    if (archive[0] != '/' && getcwd(cwd, sizeof cwd))
        archive = std::string(cwd) + "/" + archivePath;
    std::remove(archive.c_str());
    // zip stores the names as given, relative to the staging directory.
    std::string command = "cd " + Quoted(staging.Path()) + " && zip -q -X " + Quoted(archive) + names;
    return std::system(command.c_str()) == 0;
}
