// The pack's members in the browser build: the ZIP central directory read
// from the archive file, members stored or deflated (inflated by
// stb_image's inflater), behind the unzip calls the pack reader makes, with
// the unzip interface's results: a missing or unreadable archive cannot be
// opened, an unknown member is not found, a damaged stream fails the read,
// and a checksum that does not match fails the close.
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "pack/archive_io.h"
#include "pack/pack_file.h"
#include "pack/whole_member_read.h"

namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kEntrySize = 46;
constexpr size_t kLocalSize = 30;
constexpr uint32_t kStored = 0;
constexpr uint32_t kDeflated = 8;
constexpr uint32_t kEncryptedFlag = 1;
// The directory's last record sits within the archive comment's reach.
constexpr size_t kEndSearch = 0xFFFF + kEndRecordSize;
constexpr int kDataError = -3;
constexpr size_t kInflatePadding = 8;
// The inflater's failure when its output buffer is full.
constexpr char kOutputFull[] = "output buffer limit";  // a damaged deflate stream, as zlib says

struct Entry {
    std::string name;
    unz_file_info info{};
    uint32_t localOffset = 0;
};

struct Archive {
    std::vector<uint8_t> bytes;
    std::vector<Entry> entries;
    int current = -1;
    // The open member.
    bool open = false;
    std::unique_ptr<uint8_t[]> inflated;
    std::vector<uint8_t> padded;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool damaged = false;
};

uint16_t U16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t U32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[i] = c;
        }
        made = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

bool ReadFile(const char* path, std::vector<uint8_t>* bytes)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    struct stat st {};
    const bool sized = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0;
    bool read = false;
    if (sized) {
        bytes->resize(static_cast<size_t>(st.st_size));
        read = std::fread(bytes->data(), 1, bytes->size(), file) == bytes->size();
    }
    std::fclose(file);
    return read;
}

bool ReadDirectory(Archive* archive)
{
    const std::vector<uint8_t>& b = archive->bytes;
    if (b.size() < kEndRecordSize) {
        return false;
    }
    size_t end = b.size() - kEndRecordSize;
    const size_t lowest = b.size() > kEndSearch ? b.size() - kEndSearch : 0;
    while (U32(&b[end]) != kEndOfDirectory) {
        if (end == lowest) {
            return false;
        }
        --end;
    }
    const uint16_t count = U16(&b[end + 10]);
    const uint32_t directorySize = U32(&b[end + 12]);
    const uint32_t directoryOffset = U32(&b[end + 16]);
    if (static_cast<uint64_t>(directoryOffset) + directorySize > end) {
        return false;
    }
    size_t at = directoryOffset;
    const size_t limit = static_cast<size_t>(directoryOffset) + directorySize;
    for (uint16_t i = 0; i < count; ++i) {
        if (at + kEntrySize > limit || U32(&b[at]) != kDirectoryEntry) {
            return false;
        }
        Entry entry;
        unz_file_info& info = entry.info;
        info.version = U16(&b[at + 4]);
        info.version_needed = U16(&b[at + 6]);
        info.flag = U16(&b[at + 8]);
        info.compression_method = U16(&b[at + 10]);
        info.dosDate = U32(&b[at + 12]);
        info.crc = U32(&b[at + 16]);
        info.compressed_size = U32(&b[at + 20]);
        info.uncompressed_size = U32(&b[at + 24]);
        info.size_filename = U16(&b[at + 28]);
        info.size_file_extra = U16(&b[at + 30]);
        info.size_file_comment = U16(&b[at + 32]);
        info.disk_num_start = U16(&b[at + 34]);
        info.internal_fa = U16(&b[at + 36]);
        info.external_fa = U32(&b[at + 38]);
        entry.localOffset = U32(&b[at + 42]);
        const size_t next = at + kEntrySize + info.size_filename + info.size_file_extra + info.size_file_comment;
        if (next > limit) {
            return false;
        }
        entry.name.assign(reinterpret_cast<const char*>(&b[at + kEntrySize]), info.size_filename);
        archive->entries.push_back(std::move(entry));
        at = next;
    }
    return true;
}

bool SameName(const std::string& a, const char* b, bool caseSensitive)
{
    if (a.size() != std::strlen(b)) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (caseSensitive ? x != y : std::tolower(x) != std::tolower(y)) {
            return false;
        }
    }
    return true;
}

void CloseMember(Archive* archive)
{
    archive->open = false;
    archive->inflated.reset();
    archive->data = nullptr;
    archive->size = 0;
    archive->position = 0;
    archive->damaged = false;
}

} // namespace

unzFile unzOpen(const char* path)
{
    if (path == nullptr) {
        return nullptr;
    }
    auto archive = std::make_unique<Archive>();
    if (!ReadFile(path, &archive->bytes) || !ReadDirectory(archive.get())) {
        return nullptr;
    }
    archive->current = archive->entries.empty() ? -1 : 0;
    return archive.release();
}

unzFile OpenArchive(const char* archiveName)
{
    return unzOpen(archiveName);
}

int unzClose(unzFile file)
{
    if (file == nullptr) {
        return UNZ_PARAMERROR;
    }
    delete static_cast<Archive*>(file);
    return UNZ_OK;
}

int unzLocateFile(unzFile file, const char* name, int caseSensitivity)
{
    if (file == nullptr || name == nullptr) {
        return UNZ_PARAMERROR;
    }
    Archive* archive = static_cast<Archive*>(file);
    CloseMember(archive);
    for (size_t i = 0; i < archive->entries.size(); ++i) {
        if (SameName(archive->entries[i].name, name, caseSensitivity == 1)) {
            archive->current = static_cast<int>(i);
            return UNZ_OK;
        }
    }
    return UNZ_END_OF_LIST_OF_FILE;
}

int unzGetCurrentFileInfo(unzFile file, unz_file_info* info, char* name, uLong nameSize, void*, uLong, char*, uLong)
{
    Archive* archive = static_cast<Archive*>(file);
    if (archive == nullptr || archive->current < 0) {
        return UNZ_PARAMERROR;
    }
    const Entry& entry = archive->entries[static_cast<size_t>(archive->current)];
    if (info != nullptr) {
        *info = entry.info;
    }
    if (name != nullptr && nameSize > 0) {
        const size_t n = entry.name.size() < nameSize ? entry.name.size() : nameSize - 1;
        std::memcpy(name, entry.name.data(), n);
        name[n] = '\0';
    }
    return UNZ_OK;
}

int unzOpenCurrentFile(unzFile file)
{
    Archive* archive = static_cast<Archive*>(file);
    if (archive == nullptr || archive->current < 0) {
        return UNZ_PARAMERROR;
    }
    CloseMember(archive);
    const Entry& entry = archive->entries[static_cast<size_t>(archive->current)];
    const std::vector<uint8_t>& b = archive->bytes;
    const uint64_t local = entry.localOffset;
    if (local + kLocalSize > b.size() || U32(&b[local]) != kLocalHeader) {
        return UNZ_BADZIPFILE;
    }
    const uint64_t start = local + kLocalSize + U16(&b[local + 26]) + U16(&b[local + 28]);
    const uint64_t stored = entry.info.compressed_size;
    const uint32_t method = static_cast<uint32_t>(entry.info.compression_method);
    if (start + stored > b.size() || (method != kStored && method != kDeflated) ||
        (entry.info.flag & kEncryptedFlag) != 0) {
        return UNZ_BADZIPFILE;
    }
    archive->open = true;
    if (method == kStored) {
        archive->data = b.data() + start;
        archive->size = static_cast<size_t>(stored);
        return UNZ_OK;
    }
    const size_t size = entry.info.uncompressed_size;
    archive->inflated.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
    if (archive->inflated == nullptr) {
        CloseMember(archive);
        return UNZ_INTERNALERROR;
    }
    // The inflater reads its bits ahead in bytes and refuses a stream whose
    // last code ends in the final bytes of its input: zeros after the final
    // block are never decoded and let it finish.
    archive->padded.assign(b.begin() + static_cast<std::ptrdiff_t>(start),
                           b.begin() + static_cast<std::ptrdiff_t>(start + stored));
    archive->padded.resize(archive->padded.size() + kInflatePadding, 0);
    const int produced = stbi_zlib_decode_noheader_buffer(
        reinterpret_cast<char*>(archive->inflated.get()), static_cast<int>(size),
        reinterpret_cast<const char*>(archive->padded.data()), static_cast<int>(archive->padded.size()));
    std::vector<uint8_t>().swap(archive->padded);
    archive->data = archive->inflated.get();
    archive->size = produced > 0 ? static_cast<size_t>(produced) : 0;
    // A stream that goes on past the member's size has handed out all of it:
    // only its first `size` bytes are ever read, as the unzip interface reads.
    if (produced < 0 && std::strcmp(stbi_failure_reason(), kOutputFull) == 0) {
        archive->size = size;
    } else if (produced < 0 && size > 0) {
        // A stream that fails part-way hands out nothing but the failure.
        archive->damaged = true;
    }
    return UNZ_OK;
}

int unzReadCurrentFile(unzFile file, void* buffer, unsigned length)
{
    Archive* archive = static_cast<Archive*>(file);
    if (archive == nullptr || !archive->open || buffer == nullptr) {
        return UNZ_PARAMERROR;
    }
    if (archive->damaged) {
        return kDataError;
    }
    const size_t left = archive->size - archive->position;
    const size_t n = length < left ? length : left;
    std::memcpy(buffer, archive->data + archive->position, n);
    archive->position += n;
    return static_cast<int>(n);
}

int unzCloseCurrentFile(unzFile file)
{
    Archive* archive = static_cast<Archive*>(file);
    if (archive == nullptr || !archive->open) {
        return UNZ_PARAMERROR;
    }
    const Entry& entry = archive->entries[static_cast<size_t>(archive->current)];
    // The checksum is checked when the whole member was read, as the unzip
    // interface does.
    const bool whole = !archive->damaged && archive->position == entry.info.uncompressed_size &&
                       archive->size == entry.info.uncompressed_size;
    const bool bad = whole && Crc32(archive->data, archive->size) != entry.info.crc;
    CloseMember(archive);
    return bad ? UNZ_CRCERROR : UNZ_OK;
}

unsigned long long MostInflatedSize(unsigned long long compressedSize)
{
    return compressedSize * kPackMaxInflateRatio + 1024;
}

// Every member takes the streaming read, which here is already whole.
unsigned char* ReadMemberWhole(unzFile, const unz_file_info&, const char*, long long)
{
    return nullptr;
}
