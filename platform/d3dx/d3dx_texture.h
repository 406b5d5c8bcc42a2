// The texture loaders of the Direct3D extension library that the engine
// uses: a whole image file (JPEG, TGA, BMP or PNG) in memory, on disk or
// among the program's resources becomes a texture of the image's own size.
//
// Results: D3D_OK; D3DERR_INVALIDCALL for missing arguments;
// D3DXERR_INVALIDDATA when the data is no image we can decode (or the file
// or resource cannot be found); E_OUTOFMEMORY; or the device's own failure.
// On any failure *texture is null.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32_types.h"

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

typedef DWORD D3DXIMAGE_FILEFORMAT;
constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_BMP = 0;
constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_JPG = 1;
constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_TGA = 2;
constexpr D3DXIMAGE_FILEFORMAT D3DXIFF_PNG = 3;

struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// The image's size and format, a full mipmap chain down to 1 x 1 (each level
// a 2 x 2 box average of the one above), managed pool.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                          IDirect3DTexture8** texture);

// width/height 0 or D3DX_DEFAULT: the image's; mipLevels 0 or D3DX_DEFAULT:
// the full chain; format D3DFMT_UNKNOWN or D3DX_DEFAULT: the image's (with
// alpha when a colour key is given). A different size is resampled by
// `filter`: D3DX_FILTER_NONE copies the overlapping pixels and leaves the rest
// transparent black, D3DX_FILTER_POINT takes the nearest pixel, the others
// interpolate linearly. `mipFilter` D3DX_FILTER_NONE or POINT makes each
// lower level by taking every second texel, the others by 2 x 2 box average.
// Texels equal to a non-zero colour key (0xAARRGGBB) become transparent
// black. srcInfo, when given, receives the image file's description; the
// palette is not used (no palettised formats are made).
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture8** texture);

// Reads the file whole from disk, then as D3DXCreateTextureFromFileInMemory.
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile, IDirect3DTexture8** texture);

// The program's own resource (see platform/program_resources.h), named by
// MAKEINTRESOURCEA(id) or "#id"; the module is the program itself whatever
// is passed. Then as D3DXCreateTextureFromFileInMemory.
HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice8* device, HMODULE srcModule, const char* srcResource,
                                       IDirect3DTexture8** texture);
HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice8* device, HMODULE srcModule, int resourceId,
                                       IDirect3DTexture8** texture);
