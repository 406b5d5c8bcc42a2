// The quick way to a member's bytes: its stored bytes read raw in one piece
// (and, for a deflated member, inflated in one pass by a table-driven
// inflater), then checked against the member's size and checksum. Anything
// short of a clean result is left to the archive's own streaming read, so
// that every damaged member still gets that read's messages and results.
#pragma once

#include <unzip.h>

// The largest size a deflated stream of `compressedSize` bytes can inflate to
// (deflate expands at most about 1032 to 1).
unsigned long long MostInflatedSize(unsigned long long compressedSize);

// The bytes of the current member of `archive` (exactly its uncompressed
// size, owned by the caller: delete[]), or null. `archiveName` is the file
// of `archive` and `archiveSize` its size. Not null only when the member is
// stored or deflated and not encrypted, its sizes are plausible (the stored
// bytes within the file), a deflated stream ends exactly at its size, and
// the bytes match the member's checksum. The member is closed again in every case, so that
// the caller can open it anew.
unsigned char* ReadMemberWhole(unzFile archive, const unz_file_info& info, const char* archiveName, long long archiveSize);
