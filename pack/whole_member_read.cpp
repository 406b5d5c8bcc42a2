#include "pack/whole_member_read.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <new>

#include "pack/pack_file.h"

namespace {

constexpr unsigned long kStored = 0;
constexpr unsigned long kDeflated = 8;
constexpr unsigned long kEncryptedFlag = 1;
// Room for the stream's few bytes of block headers on tiny members.
constexpr unsigned long long kInflateSlack = 1024;

// The `size` compressed bytes at `offset` of the archive file, read
// directly: the archive's own raw read would copy them through its small
// buffer and checksum them for nothing. False when they are not all there.
bool ReadRawMember(const char* archiveName, unsigned long long offset, unsigned char* raw, unsigned long size)
{
    const int fd = open(archiveName, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    unsigned long total = 0;
    while (total < size && offset + total <= static_cast<unsigned long long>(std::numeric_limits<off_t>::max())) {
        const ssize_t n = pread(fd, raw + total, size - total, static_cast<off_t>(offset + total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        total += static_cast<unsigned long>(n);
    }
    close(fd);
    return total == size;
}

bool InflateWhole(const unsigned char* raw, unsigned long rawSize, unsigned char* out, unsigned long size)
{
    std::unique_ptr<inflate_state> state(new (std::nothrow) inflate_state);
    if (state == nullptr) {
        return false;
    }
    isal_inflate_init(state.get());
    state->next_in = const_cast<unsigned char*>(raw);
    state->avail_in = static_cast<uint32_t>(rawSize);
    state->next_out = out;
    state->avail_out = static_cast<uint32_t>(size);
    return isal_inflate(state.get()) == ISAL_DECOMP_OK && state->block_state == ISAL_BLOCK_FINISH &&
           state->avail_out == 0;
}

} // namespace

unsigned long long MostInflatedSize(unsigned long long compressedSize)
{
    return compressedSize * kPackMaxInflateRatio + kInflateSlack;
}

unsigned char* ReadMemberWhole(unzFile archive, const unz_file_info& info, const char* archiveName, long long archiveSize)
{
    const unsigned long size = info.uncompressed_size;
    const unsigned long rawSize = info.compressed_size;
    const bool stored = info.compression_method == kStored && rawSize == size;
    // A deflated stream is never much longer than what it holds (stored
    // blocks add a few bytes each): a longer claim goes to the streaming read
    // rather than costing an allocation of its size.
    const bool deflated = info.compression_method == kDeflated && size <= MostInflatedSize(rawSize) &&
                          rawSize <= static_cast<unsigned long long>(size) + size / 8 + kInflateSlack;
    if (!(stored || deflated) || (info.flag & kEncryptedFlag) != 0 || size == 0 || rawSize == 0 || archiveSize < 0 ||
        rawSize > static_cast<unsigned long long>(archiveSize) || size > 0xFFFFFFFFul) {
        return nullptr;
    }
    // Opening the member raw finds where its stored bytes start.
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(archive, &method, &level, 1) != UNZ_OK) {
        return nullptr;
    }
    const unsigned long long offset = unzGetCurrentFileZStreamPos64(archive);
    unzCloseCurrentFile(archive);
    if (offset > static_cast<unsigned long long>(archiveSize) - rawSize) {
        return nullptr;
    }
    std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[size]);
    if (out == nullptr) {
        return nullptr;
    }
    if (stored) {
        if (!ReadRawMember(archiveName, offset, out.get(), rawSize)) {
            return nullptr;
        }
    } else {
        std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[rawSize]);
        if (raw == nullptr || !ReadRawMember(archiveName, offset, raw.get(), rawSize) ||
            !InflateWhole(raw.get(), rawSize, out.get(), size)) {
            return nullptr;
        }
    }
    if (crc32_gzip_refl(0, out.get(), size) != info.crc) {
        return nullptr;
    }
    return out.release();
}
