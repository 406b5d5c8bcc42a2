// Field readers for KVF scene files: little-endian values read from a pack
// stream, converted from the file's axes (x, y, z) to the engine's
// (-x, z, -y). Every reader yields zeros for bytes past the end of the
// member, never uninitialised values.
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8_types.h"

class CPackFile;

// Reads 4 bytes; returns how many bytes were there (0 at the end), the value
// zero-padded.
int TryReadInt32(CPackFile* file, int32_t* value);

int32_t ReadInt32(CPackFile* file);
uint16_t ReadUInt16(CPackFile* file);
uint8_t ReadByte(CPackFile* file);
float ReadFloat(CPackFile* file);

// File axes to engine axes: (x, y, z) -> (-x, z, -y).
D3DVECTOR ToEngineAxes(float x, float y, float z);
// Three floats converted to engine axes.
D3DVECTOR ReadVector(CPackFile* file);
// Three floats as stored.
D3DVECTOR ReadRawVector(CPackFile* file);
// A scale triple (x, y, z) becomes (x, z, y): the axes swap without signs.
D3DVECTOR ReadScaleVector(CPackFile* file);
// Twelve floats (three axis rows and the translation row) made a 4x4 matrix
// with the column (0, 0, 0, 1), then converted on both sides: every row's
// (x, y, z) becomes (-x, z, -y); row 0 becomes -row 0, row 1 becomes row 2
// and row 2 becomes -row 1.
void ReadMatrix(CPackFile* file, D3DMATRIX* out);

// A zero-terminated name (at most 255 characters kept) as an owned copy,
// freed with delete[]. Null only when the copy cannot be allocated.
char* ReadName(CPackFile* file);
// An owned copy of `text` (delete[]), or null when it cannot be allocated.
char* CopyName(const char* text);

// Bytes left in the member after the read position.
int32_t RemainingBytes(CPackFile* file);
// True when `count` is not negative and `count` items of at least
// `bytesEach` bytes fit in what is left of the member.
bool CountFits(CPackFile* file, int32_t count, int64_t bytesEach);
// Moves the read position forward; false when fewer bytes are left (the
// position then stops at the end).
bool SkipBytes(CPackFile* file, int64_t count);

// Floats 0..1 packed to 0x00RRGGBB: each channel times 255, truncated toward
// zero, low 8 bits kept.
uint32_t PackColour(float red, float green, float blue);
