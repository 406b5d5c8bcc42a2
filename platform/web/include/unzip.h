// The part of the unzip interface the pack reader uses, for the browser
// build (zip_member_reader.cpp); same names, codes and meanings.
#pragma once

#include <cstdint>

typedef void* unzFile;
typedef unsigned long uLong;
typedef uint64_t ZPOS64_T;

#define UNZ_OK 0
#define UNZ_END_OF_LIST_OF_FILE (-100)
#define UNZ_ERRNO (-1)
#define UNZ_PARAMERROR (-102)
#define UNZ_BADZIPFILE (-103)
#define UNZ_INTERNALERROR (-104)
#define UNZ_CRCERROR (-105)

struct tm_unz {
    int tm_sec, tm_min, tm_hour, tm_mday, tm_mon, tm_year;
};

struct unz_file_info {
    uLong version;
    uLong version_needed;
    uLong flag;
    uLong compression_method;
    uLong dosDate;
    uLong crc;
    uLong compressed_size;
    uLong uncompressed_size;
    uLong size_filename;
    uLong size_file_extra;
    uLong size_file_comment;
    uLong disk_num_start;
    uLong internal_fa;
    uLong external_fa;
    tm_unz tmu_date;
};

unzFile unzOpen(const char* path);
int unzClose(unzFile file);
int unzLocateFile(unzFile file, const char* name, int caseSensitivity);
int unzGetCurrentFileInfo(unzFile file, unz_file_info* info, char* name, uLong nameSize, void* extra,
                          uLong extraSize, char* comment, uLong commentSize);
int unzOpenCurrentFile(unzFile file);
int unzReadCurrentFile(unzFile file, void* buffer, unsigned length);
int unzCloseCurrentFile(unzFile file);
