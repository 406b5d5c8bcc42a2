#include "tools/import/pack_writer.h"

#include <cstdio>
#include <set>
#include <unistd.h>

#include <minizip/unzip.h>
#include <minizip/zip.h>

namespace import {

namespace {

constexpr unsigned kChunk = 65536;

// Scenes are stored as they are: the player then reads them straight from
// the pack without inflating, which is most of a large scene's load time.
// Textures, decoded after reading anyway, are deflated.
bool StoredUncompressed(const std::string& name)
{
    const std::string upper = UpperCase(name);
    return upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".KVF") == 0;
}

bool AddMember(zipFile zip, const PackEntry& member)
{
    zip_fileinfo info = {};
    const bool stored = StoredUncompressed(member.name);
    if (zipOpenNewFileInZip64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              stored ? 0 : Z_DEFLATED, stored ? Z_NO_COMPRESSION : Z_DEFAULT_COMPRESSION,
                              member.bytes.size() >= 0xffffffffu) != ZIP_OK) {
        return false;
    }
    size_t done = 0;
    while (done < member.bytes.size()) {
        const unsigned n = static_cast<unsigned>(std::min<size_t>(kChunk, member.bytes.size() - done));
        if (zipWriteInFileInZip(zip, member.bytes.data() + done, n) != ZIP_OK) {
            zipCloseFileInZip(zip);
            return false;
        }
        done += n;
    }
    return zipCloseFileInZip(zip) == ZIP_OK;
}

} // namespace

bool ReadPack(const std::string& packPath, std::vector<PackEntry>* members, std::string* error)
{
    unzFile unz = unzOpen64(packPath.c_str());
    if (unz == nullptr) {
        *error = packPath + " is not a readable pack";
        return false;
    }
    bool ok = true;
    for (int step = unzGoToFirstFile(unz); step == UNZ_OK && ok; step = unzGoToNextFile(unz)) {
        unz_file_info64 info;
        char name[1024];
        ok = unzGetCurrentFileInfo64(unz, &info, name, sizeof name, nullptr, 0, nullptr, 0) == UNZ_OK &&
             unzOpenCurrentFile(unz) == UNZ_OK;
        if (!ok) {
            break;
        }
        PackEntry entry;
        entry.name = name;
        std::vector<uint8_t> chunk(kChunk);
        int n = 0;
        while ((n = unzReadCurrentFile(unz, chunk.data(), kChunk)) > 0) {
            entry.bytes.insert(entry.bytes.end(), chunk.begin(), chunk.begin() + n);
        }
        ok = n == 0 && unzCloseCurrentFile(unz) == UNZ_OK;
        members->push_back(std::move(entry));
    }
    unzClose(unz);
    if (!ok) {
        *error = packPath + " is damaged";
    }
    return ok;
}

bool WritePack(const std::string& packPath, const std::vector<PackEntry>& members, bool append, std::string* error)
{
    std::vector<PackEntry> kept;
    if (append && access(packPath.c_str(), F_OK) == 0 && !ReadPack(packPath, &kept, error)) {
        return false;
    }
    std::set<std::string> replaced;
    for (const PackEntry& member : members) {
        replaced.insert(UpperCase(member.name));
    }

    const std::string temporary = packPath + ".tmp" + std::to_string(getpid());
    zipFile zip = zipOpen64(temporary.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        *error = "cannot create " + temporary;
        return false;
    }
    bool ok = true;
    for (const PackEntry& member : kept) {
        if (ok && replaced.count(UpperCase(member.name)) == 0) {
            ok = AddMember(zip, member);
        }
    }
    for (const PackEntry& member : members) {
        ok = ok && AddMember(zip, member);
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    if (!ok || std::rename(temporary.c_str(), packPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        *error = "cannot write " + packPath;
        return false;
    }
    return true;
}

} // namespace import
