// The resource pack "data.pac": a ZIP archive made with minizip's zip
// interface, every member deflated.
#include <minizip/zip.h>

#include "content/show.h"

namespace content {

bool WritePackArchive(const std::string& path, const std::vector<ShowFile>& files)
{
    zipFile archive = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (archive == nullptr) {
        return false;
    }
    bool ok = true;
    for (const ShowFile& file : files) {
        zip_fileinfo info = {};
        info.tmz_date.tm_year = 2026; // a fixed date keeps the pack the same from build to build
        info.tmz_date.tm_mday = 1;
        ok = ok && zipOpenNewFileInZip(archive, file.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                       Z_BEST_COMPRESSION) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(archive, file.bytes.data(), static_cast<unsigned>(file.bytes.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(archive) == ZIP_OK;
    }
    return zipClose(archive, nullptr) == ZIP_OK && ok;
}

} // namespace content
