// File access for the unzip interface that reads the archive through one
// window of its bytes instead of the C library's stream. The unzip interface
// looks for the end of the central directory by reading the archive's last
// 64 KiB backwards in 1 KiB steps and seeks before nearly every header it
// reads; through a stream each of those steps is a system call. Through the
// window, the end of the archive, and any other stretch the reads stay in,
// is read once. The bytes handed out are the file's, as the stream would
// hand them out.
#pragma once

#include <unzip.h>

// Opens `archiveName` for reading through the window; null when the archive
// cannot be opened (as unzOpen).
unzFile OpenArchive(const char* archiveName);
