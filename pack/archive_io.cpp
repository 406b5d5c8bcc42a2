#include "pack/archive_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

// Large enough for the two backward searches of the unzip interface (up to
// 64 KiB and a step each) and the central directory of a modest archive.
constexpr ZPOS64_T kWindowSize = 96 * 1024;

struct ArchiveFile {
    int fd;
    ZPOS64_T size;
    ZPOS64_T position;
    bool failed;
    ZPOS64_T windowStart;
    ZPOS64_T windowLength;
    unsigned char window[kWindowSize];
};

// Reads up to `count` bytes at `offset`; the number read (short only at the
// end of the file), or -1 after a read error.
long long ReadAt(int fd, void* destination, ZPOS64_T count, ZPOS64_T offset)
{
    ZPOS64_T total = 0;
    while (total < count) {
        const ssize_t n = pread(fd, static_cast<unsigned char*>(destination) + total, count - total,
                                static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<ZPOS64_T>(n);
    }
    return static_cast<long long>(total);
}

voidpf ZCALLBACK OpenFile(voidpf /*opaque*/, const void* filename, int mode)
{
    if (filename == nullptr || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;
    }
    const int fd = open(static_cast<const char*>(filename), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st;
    ArchiveFile* file = nullptr;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        file = new (std::nothrow) ArchiveFile;
    }
    if (file == nullptr) {
        close(fd);
        return nullptr;
    }
    file->fd = fd;
    file->size = static_cast<ZPOS64_T>(st.st_size);
    file->position = 0;
    file->failed = false;
    file->windowStart = 0;
    file->windowLength = 0;
    return file;
}

// Up to `size` bytes at the file's position from the window (which starts
// at or before it), as many as it holds; the position moves past them.
uLong ReadFromWindow(ArchiveFile* file, void* buffer, uLong size)
{
    const ZPOS64_T at = file->position;
    const ZPOS64_T end = file->windowStart + file->windowLength;
    const ZPOS64_T available = at < end ? end - at : 0;
    const ZPOS64_T count = available < size ? available : size;
    if (count > 0) {
        std::memcpy(buffer, file->window + (at - file->windowStart), count);
    }
    file->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK ReadFile(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size)
{
    ArchiveFile* file = static_cast<ArchiveFile*>(stream);
    const ZPOS64_T at = file->position;
    // Wholly inside the window, or running past the end of the file from a
    // window that already reaches it: no system call.
    if (at >= file->windowStart && (at - file->windowStart + size <= file->windowLength ||
                                    (file->windowLength > 0 && file->windowStart + file->windowLength >= file->size))) {
        return ReadFromWindow(file, buffer, size);
    }
    if (size >= kWindowSize) {
        const long long n = ReadAt(file->fd, buffer, size, at);
        if (n < 0) {
            file->failed = true;
            return 0;
        }
        file->position += static_cast<ZPOS64_T>(n);
        return static_cast<uLong>(n);
    }
    // The window moves to the read; near the end of the file it takes the
    // file's last bytes, where the unzip interface searches backwards.
    ZPOS64_T start = at;
    if (file->size > kWindowSize && start > file->size - kWindowSize) {
        start = file->size - kWindowSize;
    } else if (file->size <= kWindowSize) {
        start = 0;
    }
    const long long n = ReadAt(file->fd, file->window, kWindowSize, start);
    if (n < 0) {
        file->windowLength = 0;
        file->failed = true;
        return 0;
    }
    file->windowStart = start;
    file->windowLength = static_cast<ZPOS64_T>(n);
    return ReadFromWindow(file, buffer, size);
}

uLong ZCALLBACK WriteFile(voidpf /*opaque*/, voidpf /*stream*/, const void* /*buffer*/, uLong /*size*/)
{
    return 0;
}

ZPOS64_T ZCALLBACK TellFile(voidpf /*opaque*/, voidpf stream)
{
    return static_cast<ArchiveFile*>(stream)->position;
}

long ZCALLBACK SeekFile(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin)
{
    ArchiveFile* file = static_cast<ArchiveFile*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = file->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = file->size;
        break;
    default:
        return -1;
    }
    // As a stream's seek: any position from 0 on, also past the end.
    file->position = base + offset;
    return 0;
}

int ZCALLBACK CloseFile(voidpf /*opaque*/, voidpf stream)
{
    ArchiveFile* file = static_cast<ArchiveFile*>(stream);
    const int result = close(file->fd);
    delete file;
    return result == 0 ? 0 : EOF;
}

int ZCALLBACK FileError(voidpf /*opaque*/, voidpf stream)
{
    return static_cast<ArchiveFile*>(stream)->failed ? 1 : 0;
}

} // namespace

unzFile OpenArchive(const char* archiveName)
{
    zlib_filefunc64_def functions;
    functions.zopen64_file = OpenFile;
    functions.zread_file = ReadFile;
    functions.zwrite_file = WriteFile;
    functions.ztell64_file = TellFile;
    functions.zseek64_file = SeekFile;
    functions.zclose_file = CloseFile;
    functions.zerror_file = FileError;
    functions.opaque = nullptr;
    return unzOpen2_64(archiveName, &functions);
}
