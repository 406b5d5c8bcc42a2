#include "platform/d3dx/d3dx_texture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/d3dx/image_decoder.h"
#include "platform/win32/program_resources.h"

namespace {

// The largest image file read from disk: room for a 16384 x 16384 32-bit BMP.
constexpr long kMaxImageFileSize = 1100L * 1024 * 1024;

using TexelBuffer = std::unique_ptr<uint32_t[]>;

HRESULT FromDecodeResult(DecodeResult result) {
    switch (result) {
    case DecodeResult::Ok:
        return D3D_OK;
    case DecodeResult::OutOfMemory:
        return E_OUTOFMEMORY;
    default:
        return D3DXERR_INVALIDDATA;
    }
}

D3DXIMAGE_FILEFORMAT ToFileFormat(ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::Jpeg:
        return D3DXIFF_JPG;
    case ImageFileFormat::Tga:
        return D3DXIFF_TGA;
    case ImageFileFormat::Png:
        return D3DXIFF_PNG;
    default:
        return D3DXIFF_BMP;
    }
}

// The texture formats made here are 32-bit colour with or without alpha and
// 8-bit luminance; any other requested format becomes the closest of them.
D3DFORMAT SupportedFormat(D3DFORMAT requested) {
    switch (requested) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_L8:
        return requested;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8L8:
        return D3DFMT_A8R8G8B8;
    default:
        return D3DFMT_X8R8G8B8;
    }
}

UINT FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

TexelBuffer AllocateBuffer(UINT width, UINT height) {
    return TexelBuffer(new (std::nothrow) uint32_t[static_cast<size_t>(width) * height]);
}

uint32_t Channel(uint32_t texel, int shift) { return (texel >> shift) & 0xFFu; }

uint32_t Average4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = Channel(a, shift) + Channel(b, shift) + Channel(c, shift) + Channel(d, shift);
        result |= ((sum + 2) / 4) << shift;
    }
    return result;
}

uint32_t Lerp(uint32_t a, uint32_t b, float t) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        float v = Channel(a, shift) + (static_cast<float>(Channel(b, shift)) - Channel(a, shift)) * t;
        result |= static_cast<uint32_t>(v + 0.5f) << shift;
    }
    return result;
}

// Places the image into a width x height level by the given filter.
void Resample(const DecodedImage& image, DWORD filter, UINT width, UINT height, uint32_t* out) {
    const UINT sw = image.width, sh = image.height;
    if (filter == D3DX_FILTER_NONE) {
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                out[static_cast<size_t>(y) * width + x] = (x < sw && y < sh) ? image.At(x, y) : 0u;
            }
        }
        return;
    }
    if (filter == D3DX_FILTER_POINT) {
        for (UINT y = 0; y < height; ++y) {
            UINT sy = static_cast<UINT>(static_cast<uint64_t>(y) * sh / height);
            for (UINT x = 0; x < width; ++x) {
                UINT sx = static_cast<UINT>(static_cast<uint64_t>(x) * sw / width);
                out[static_cast<size_t>(y) * width + x] = image.At(sx, sy);
            }
        }
        return;
    }
    auto source = [](float centre, UINT size, UINT* i0, UINT* i1, float* t) {
        float s = centre < 0.0f ? 0.0f : centre;
        *i0 = static_cast<UINT>(s);
        if (*i0 >= size - 1) {
            *i0 = size - 1;
            *i1 = size - 1;
            *t = 0.0f;
            return;
        }
        *i1 = *i0 + 1;
        *t = s - static_cast<float>(*i0);
    };
    for (UINT y = 0; y < height; ++y) {
        UINT y0, y1;
        float ty;
        source((y + 0.5f) * sh / height - 0.5f, sh, &y0, &y1, &ty);
        for (UINT x = 0; x < width; ++x) {
            UINT x0, x1;
            float tx;
            source((x + 0.5f) * sw / width - 0.5f, sw, &x0, &x1, &tx);
            uint32_t top = Lerp(image.At(x0, y0), image.At(x1, y0), tx);
            uint32_t bottom = Lerp(image.At(x0, y1), image.At(x1, y1), tx);
            out[static_cast<size_t>(y) * width + x] = Lerp(top, bottom, ty);
        }
    }
}

// One mip level from the one above: a 2 x 2 box average, or the top-left
// texel of each 2 x 2 block. An odd last row or column is dropped; a side
// of one texel is averaged along the other side only.
void Downsample(const uint32_t* src, UINT sw, UINT sh, bool box, uint32_t* dst, UINT dw, UINT dh) {
    for (UINT y = 0; y < dh; ++y) {
        const UINT y0 = (sh > 1) ? 2 * y : 0;
        const UINT y1 = (sh > 1) ? 2 * y + 1 : 0;
        for (UINT x = 0; x < dw; ++x) {
            const UINT x0 = (sw > 1) ? 2 * x : 0;
            const UINT x1 = (sw > 1) ? 2 * x + 1 : 0;
            const uint32_t a = src[static_cast<size_t>(y0) * sw + x0];
            dst[static_cast<size_t>(y) * dw + x] =
                box ? Average4(a, src[static_cast<size_t>(y0) * sw + x1], src[static_cast<size_t>(y1) * sw + x0],
                               src[static_cast<size_t>(y1) * sw + x1])
                    : a;
        }
    }
}

uint8_t Luminance(uint32_t texel) {
    uint32_t r = Channel(texel, 16), g = Channel(texel, 8), b = Channel(texel, 0);
    return static_cast<uint8_t>((r * 77 + g * 150 + b * 29 + 128) >> 8);
}

HRESULT UploadLevel(IDirect3DTexture8* texture, UINT level, const uint32_t* texels, UINT width, UINT height,
                    D3DFORMAT format) {
    D3DLOCKED_RECT locked;
    HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
    if (hr != D3D_OK) {
        return hr;
    }
    uint8_t* row = static_cast<uint8_t*>(locked.pBits);
    for (UINT y = 0; y < height; ++y, row += locked.Pitch) {
        const uint32_t* src = texels + static_cast<size_t>(y) * width;
        if (format == D3DFMT_L8) {
            for (UINT x = 0; x < width; ++x) {
                row[x] = Luminance(src[x]);
            }
        } else {
            std::memcpy(row, src, static_cast<size_t>(width) * 4);
        }
    }
    return texture->UnlockRect(level);
}

HRESULT CreateFromImage(IDirect3DDevice8* device, const DecodedImage& image, UINT width, UINT height,
                        UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                        DWORD mipFilter, D3DCOLOR colorKey, IDirect3DTexture8** texture) {
    width = (width == 0 || width == D3DX_DEFAULT) ? image.width : width;
    height = (height == 0 || height == D3DX_DEFAULT) ? image.height : height;
    if (width > kMaxImageSide || height > kMaxImageSide) {
        return D3DERR_INVALIDCALL;
    }
    const UINT fullChain = FullChainLength(width, height);
    const UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT || mipLevels > fullChain) ? fullChain : mipLevels;
    const bool formatFromImage = (format == D3DFMT_UNKNOWN || format == D3DX_DEFAULT);
    D3DFORMAT chosen = formatFromImage ? image.format : SupportedFormat(format);
    if (formatFromImage && colorKey != 0) {
        chosen = D3DFMT_A8R8G8B8;
    }
    // The low byte names the filter; the bits above it are options.
    const DWORD filterKind = (filter == D3DX_DEFAULT) ? D3DX_FILTER_TRIANGLE : (filter & 0xFF);
    const DWORD mipKind = (mipFilter == D3DX_DEFAULT) ? D3DX_FILTER_BOX : (mipFilter & 0xFF);
    const bool boxMips = !(mipKind == D3DX_FILTER_NONE || mipKind == D3DX_FILTER_POINT);

    TexelBuffer current = AllocateBuffer(width, height);
    TexelBuffer next = AllocateBuffer(width > 1 ? width / 2 : 1, height > 1 ? height / 2 : 1);
    if (!current || !next) {
        return E_OUTOFMEMORY;
    }
    if (width == image.width && height == image.height) {
        std::memcpy(current.get(), image.texels.get(), static_cast<size_t>(width) * height * 4);
    } else {
        Resample(image, filterKind, width, height, current.get());
    }
    if (colorKey != 0) {
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            if (current[i] == colorKey) {
                current[i] = 0;
            }
        }
    }

    IDirect3DTexture8* created = nullptr;
    HRESULT hr = device->CreateTexture(width, height, levels, usage, chosen, pool, &created);
    if (hr != D3D_OK || created == nullptr) {
        return hr != D3D_OK ? hr : D3DERR_INVALIDCALL;
    }
    UINT w = width, h = height;
    for (UINT level = 0; level < levels; ++level) {
        if (level > 0) {
            UINT nw = w > 1 ? w / 2 : 1;
            UINT nh = h > 1 ? h / 2 : 1;
            Downsample(current.get(), w, h, boxMips, next.get(), nw, nh);
            current.swap(next);
            w = nw;
            h = nh;
        }
        hr = UploadLevel(created, level, current.get(), w, h, chosen);
        if (hr != D3D_OK) {
            created->Release();
            return hr;
        }
    }
    *texture = created;
    return D3D_OK;
}

// Reads a whole file; false when it cannot be opened or read, or is empty
// or larger than any image we accept.
bool ReadWholeFile(const char* path, std::unique_ptr<uint8_t[]>* data, size_t* size) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long length = ok ? std::ftell(file) : -1;
    ok = ok && length > 0 && length <= kMaxImageFileSize && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        data->reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
        ok = *data && std::fread(data->get(), 1, static_cast<size_t>(length), file) == static_cast<size_t>(length);
        *size = static_cast<size_t>(length);
    }
    std::fclose(file);
    return ok;
}

} // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                            UINT width, UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                            D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture8** texture) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (device == nullptr || srcData == nullptr || srcDataSize == 0) {
        return D3DERR_INVALIDCALL;
    }
    DecodedImage image;
    HRESULT hr = FromDecodeResult(DecodeImage(srcData, srcDataSize, &image));
    if (hr != D3D_OK) {
        return hr;
    }
    if (srcInfo != nullptr) {
        srcInfo->Width = image.width;
        srcInfo->Height = image.height;
        srcInfo->Depth = 1;
        srcInfo->MipLevels = 1;
        srcInfo->Format = image.format;
        srcInfo->ResourceType = D3DRTYPE_TEXTURE;
        srcInfo->ImageFileFormat = ToFileFormat(image.fileFormat);
    }
    return CreateFromImage(device, image, width, height, mipLevels, usage, format, pool, filter, mipFilter,
                           colorKey, texture);
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* device, const void* srcData, UINT srcDataSize,
                                          IDirect3DTexture8** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice8* device, const char* srcFile, IDirect3DTexture8** texture) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (device == nullptr || srcFile == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    if (!ReadWholeFile(srcFile, &data, &size) || size > 0xFFFFFFFFu) {
        return D3DXERR_INVALIDDATA;
    }
    return D3DXCreateTextureFromFileInMemory(device, data.get(), static_cast<UINT>(size), texture);
}

HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice8* device, HMODULE srcModule, int resourceId,
                                       IDirect3DTexture8** texture) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (device == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const ProgramResource* resource = FindProgramResource(resourceId);
    if (resource == nullptr || resource->size > 0xFFFFFFFFu) {
        return D3DXERR_INVALIDDATA;
    }
    return D3DXCreateTextureFromFileInMemory(device, resource->data, static_cast<UINT>(resource->size), texture);
}

HRESULT D3DXCreateTextureFromResourceA(IDirect3DDevice8* device, HMODULE srcModule, const char* srcResource,
                                       IDirect3DTexture8** texture) {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = nullptr;
    if (srcResource == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    // Identifiers below 0x10000 travel as the pointer value itself.
    const uintptr_t value = reinterpret_cast<uintptr_t>(srcResource);
    if ((value >> 16) == 0) {
        return D3DXCreateTextureFromResourceA(device, srcModule, static_cast<int>(value), texture);
    }
    if (srcResource[0] == '#' && srcResource[1] >= '0' && srcResource[1] <= '9') {
        char* end = nullptr;
        long id = std::strtol(srcResource + 1, &end, 10);
        if (*end == '\0' && id <= 0xFFFF) {
            return D3DXCreateTextureFromResourceA(device, srcModule, static_cast<int>(id), texture);
        }
    }
    return D3DXERR_INVALIDDATA; // named resources: the program has none
}
