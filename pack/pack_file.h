// One member of the resource pack, inflated whole into memory and read with
// file-like operations. Members are looked up without regard to letter case.
#pragma once

#include <cstdint>

// The member's bytes. `position` always stays within [0, size].
struct PackBlock {
    int32_t size;
    int32_t position;
    unsigned char* data;
};

class CPackFile {
public:
    CPackFile();
    // Frees the block when the owner did not close the stream.
    virtual ~CPackFile();

    // Inflates `memberName` of the ZIP archive `archiveName`. 0 on success,
    // 1 after showing a message. A member whose bytes cannot all be inflated
    // still opens (0), possibly empty, after its message.
    virtual int Open(const char* memberName, const char* archiveName);
    // Frees the block; the stream can then be freed. Returns 0.
    virtual int Close();
    // Copies elementSize * elementCount bytes, or what is left, from the read
    // position and returns the number of BYTES copied (not elements). The last
    // argument stands where fread's file pointer would and is not used.
    virtual int Read(void* destination, int elementSize, int elementCount, CPackFile* stream);
    // origin 0: offset from the start, 1: from the position, 2: from the end;
    // any other low byte leaves the position. The result is kept in [0, size].
    virtual void Seek(CPackFile* stream, int offset, int origin);
    virtual int Tell(CPackFile* stream);

    // Bytes between the read position and the end; 0 when not open.
    int32_t Remaining() const;

    PackBlock* block;
};

// The largest member the pack agrees to inflate, and the most a deflated
// stream can expand (zlib's limit is about 1032 to 1).
constexpr uint64_t kPackMaxMemberSize = 256ull * 1024 * 1024;
constexpr uint64_t kPackMaxInflateRatio = 1032;
// Member names must be shorter than this.
constexpr int kPackMaxNameLength = 1024;

// Longest string ReadString keeps, without its terminator.
constexpr int kMaxStringLength = 255;

// Reads a zero-terminated string into `destination`, which must hold 256
// bytes. At most 255 characters are kept; the rest of a longer string is
// consumed up to its terminator so that the reader stays in step. Returns
// the number of characters kept plus one.
int ReadString(char* destination, CPackFile* stream);
