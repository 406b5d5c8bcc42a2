#include "pack/pack_file.h"

#include <sys/stat.h>
#include <unzip.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "pack/archive_io.h"
#include "pack/whole_member_read.h"
#include "platform/report/report.h"

namespace {

// minizip's case-insensitive comparison of member names.
constexpr int kCaseInsensitive = 2;
constexpr unsigned kReadChunk = 0xFFFF;
// The first buffer for a member's bytes; it doubles as they arrive.
constexpr uint64_t kFirstCapacity = 64u * 1024u;

long long FileSizeOf(const char* path)
{
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<long long>(st.st_size);
}

// The largest size a member of an archive of `archiveSize` bytes (-1 when
// unknown) can honestly claim.
uint64_t PlausibleMemberLimit(long long archiveSize)
{
    uint64_t limit = kPackMaxMemberSize;
    if (archiveSize >= 0) {
        const uint64_t byRatio = static_cast<uint64_t>(archiveSize) * kPackMaxInflateRatio;
        if (byRatio < limit) {
            limit = byRatio;
        }
    }
    return limit;
}

void CloseArchive(unzFile archive, const char* archiveName)
{
    const int err = unzClose(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot close the file archive %s properly - %d", archiveName, err);
    }
}

void FreeBlock(PackBlock* block)
{
    if (block != nullptr) {
        delete[] block->data;
        delete block;
    }
}

} // namespace

CPackFile::CPackFile() : block(nullptr)
{
}

CPackFile::~CPackFile()
{
    FreeBlock(block);
}

int CPackFile::Open(const char* memberName, const char* archiveName)
{
    if (archiveName == nullptr) {
        ShowError("LibUtils : Specify a name for the archive");
        return 1;
    }
    if (memberName == nullptr) {
        memberName = "";
    }
    const size_t nameLength = std::strlen(memberName);
    if (nameLength >= static_cast<size_t>(kPackMaxNameLength)) {
        ShowError("LibUtils : file name too long (%zu characters) for the %s zipfile", nameLength, archiveName);
        return 1;
    }
    char name[kPackMaxNameLength];
    std::memcpy(name, memberName, nameLength + 1);

    unzFile archive = OpenArchive(archiveName);
    if (archive == nullptr || unzLocateFile(archive, name, kCaseInsensitive) != UNZ_OK) {
        ShowError("LibUtils : file %s not found in the %s zipfile\n", memberName, archiveName);
        if (archive != nullptr) {
            unzClose(archive);
        }
        return 1;
    }

    unz_file_info info;
    int err = unzGetCurrentFileInfo(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot get file infos for %s - %d ", memberName, err);
        unzClose(archive);
        return 1;
    }

    // A lying header must not make us allocate: compare the stored size with
    // what the archive could possibly inflate to.
    const uint64_t storedSize = info.uncompressed_size;
    const long long archiveSize = FileSizeOf(archiveName);
    if (storedSize > PlausibleMemberLimit(archiveSize)) {
        ShowError("LibUtils : file %s is too large (%llu bytes) in the %s zipfile", memberName,
                  static_cast<unsigned long long>(storedSize), archiveName);
        unzClose(archive);
        return 1;
    }

    // A sound stored or deflated member is read in one piece; any other goes
    // through the archive's streaming read below, with its messages.
    unsigned char* whole = ReadMemberWhole(archive, info, archiveName, archiveSize);
    if (whole != nullptr) {
        PackBlock* wholeBlock = new (std::nothrow) PackBlock{static_cast<int32_t>(storedSize), 0, whole};
        if (wholeBlock != nullptr) {
            CloseArchive(archive, archiveName);
            FreeBlock(block);
            block = wholeBlock;
            return 0;
        }
        delete[] whole;
    }

    err = unzOpenCurrentFile(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot open file : %s - %d in the archive %s", memberName, err, archiveName);
        unzClose(archive);
        return 1;
    }

    // The buffer grows with the bytes that really arrive, up to the stored
    // size, so a stored size that lies costs at most twice what the member
    // holds.
    uint64_t capacity = storedSize < kFirstCapacity ? storedSize : kFirstCapacity;
    PackBlock* newBlock = new (std::nothrow) PackBlock{0, 0, nullptr};
    unsigned char* data = new (std::nothrow) unsigned char[capacity > 0 ? capacity : 1];
    if (newBlock == nullptr || data == nullptr) {
        ShowError("LibUtils : Not enough memory to read %s (%llu bytes)", memberName,
                  static_cast<unsigned long long>(storedSize));
        delete newBlock;
        delete[] data;
        unzCloseCurrentFile(archive);
        unzClose(archive);
        return 1;
    }
    newBlock->data = data;

    // Inflate in chunks, never past the stored size.
    uint64_t total = 0;
    bool failed = false;
    while (total < storedSize) {
        if (total == capacity) {
            const uint64_t grown = capacity * 2 < storedSize ? capacity * 2 : storedSize;
            unsigned char* larger = new (std::nothrow) unsigned char[grown];
            if (larger == nullptr) {
                ShowError("LibUtils : Not enough memory to read %s (%llu bytes)", memberName,
                          static_cast<unsigned long long>(storedSize));
                FreeBlock(newBlock);
                unzCloseCurrentFile(archive);
                unzClose(archive);
                return 1;
            }
            std::memcpy(larger, data, static_cast<size_t>(total));
            delete[] data;
            data = larger;
            newBlock->data = data;
            capacity = grown;
        }
        const uint64_t left = capacity - total;
        const unsigned chunk = left < kReadChunk ? static_cast<unsigned>(left) : kReadChunk;
        const int n = unzReadCurrentFile(archive, data + total, chunk);
        if (n < 0) {
            ShowError("LibUtils : Cannot read file content : %s - %d", memberName, n);
            failed = true;
            break;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<uint64_t>(n);
    }
    if (total != storedSize) {
        ShowError("LibUtils : The Archive seems to be corrupted");
    }

    if (failed) {
        newBlock->size = 0;
        delete[] newBlock->data;
        newBlock->data = nullptr;
        unzCloseCurrentFile(archive);
        unzClose(archive);
        FreeBlock(block);
        block = newBlock;
        return 0;
    }
    // The bytes that did arrive are all the stream serves.
    newBlock->size = static_cast<int32_t>(total);

    err = unzCloseCurrentFile(archive);
    if (err != UNZ_OK) {
        ShowError("LibUtils : Cannot close the file %s properly - %d", memberName, err);
    }
    CloseArchive(archive, archiveName);
    FreeBlock(block);
    block = newBlock;
    return 0;
}

int CPackFile::Close()
{
    FreeBlock(block);
    block = nullptr;
    return 0;
}

int CPackFile::Read(void* destination, int elementSize, int elementCount, CPackFile* /*stream*/)
{
    if (block == nullptr || elementSize <= 0 || elementCount <= 0) {
        return 0;
    }
    const int64_t wanted = static_cast<int64_t>(elementSize) * elementCount;
    const int64_t left = static_cast<int64_t>(block->size) - block->position;
    const int32_t count = static_cast<int32_t>(wanted < left ? wanted : left);
    if (count <= 0) {
        return 0;
    }
    std::memcpy(destination, block->data + block->position, static_cast<size_t>(count));
    block->position += count;
    return count;
}

void CPackFile::Seek(CPackFile* /*stream*/, int offset, int origin)
{
    if (block == nullptr) {
        return;
    }
    int64_t target;
    switch (origin & 0xFF) {
    case 0:
        target = offset;
        break;
    case 1:
        target = static_cast<int64_t>(block->position) + offset;
        break;
    case 2:
        target = static_cast<int64_t>(block->size) + offset;
        break;
    default:
        return;
    }
    if (target < 0) {
        target = 0;
    }
    if (target > block->size) {
        target = block->size;
    }
    block->position = static_cast<int32_t>(target);
}

int CPackFile::Tell(CPackFile* /*stream*/)
{
    return block != nullptr ? block->position : 0;
}

int32_t CPackFile::Remaining() const
{
    return block != nullptr ? block->size - block->position : 0;
}

int ReadString(char* destination, CPackFile* stream)
{
    // The string is read as a byte-by-byte Read would: up to and with its
    // terminator, or to the end of the data when there is none.
    const PackBlock* block = stream->block;
    int kept = 0;
    if (block != nullptr && block->position < block->size) {
        const unsigned char* start = block->data + block->position;
        const size_t left = static_cast<size_t>(block->size - block->position);
        const void* terminator = std::memchr(start, 0, left);
        const size_t length = terminator != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(terminator) - start) : left;
        // Past 255 characters the string is only consumed, to stay in step.
        kept = length < static_cast<size_t>(kMaxStringLength) ? static_cast<int>(length) : kMaxStringLength;
        std::memcpy(destination, start, static_cast<size_t>(kept));
        stream->Seek(stream, static_cast<int>(terminator != nullptr ? length + 1 : left), 1);
    }
    destination[kept] = '\0';
    return kept + 1;
}
