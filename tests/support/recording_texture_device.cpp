#include "tests/support/recording_texture_device.h"

#include <cstddef>

namespace {

UINT BytesPerTexel(D3DFORMAT format) { return format == D3DFMT_L8 ? 1 : 4; }

} // namespace

RecordedTexture::RecordedTexture(RecordingTextureDevice* device, UINT width, UINT height, UINT levels,
                                 DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), format_(format), usage_(usage), pool_(pool) {
    for (UINT i = 0; i < levels; ++i) {
        Level level;
        level.width = width;
        level.height = height;
        level.pitch = static_cast<INT>(width * BytesPerTexel(format) + 12);
        // Filled with a marker so that texels never written stand out.
        level.bytes.assign(static_cast<size_t>(level.pitch) * height, 0xCD);
        levels_.push_back(level);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    ++device_->liveTextures;
}

ULONG RecordedTexture::AddRef() { return ++references_; }

ULONG RecordedTexture::Release() {
    ULONG left = --references_;
    if (left == 0) {
        --device_->liveTextures;
        device_->destroyed.push_back("texture");
        if (device_->lastTexture == this) {
            device_->lastTexture = nullptr;
        }
        delete this;
    }
    return left;
}

HRESULT RecordedTexture::GetDevice(IDirect3DDevice8** device) {
    *device = device_;
    return D3D_OK;
}

HRESULT RecordedTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size()) {
        return D3DERR_INVALIDCALL;
    }
    *desc = D3DSURFACE_DESC{};
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Width = levels_[level].width;
    desc->Height = levels_[level].height;
    desc->Size = static_cast<UINT>(levels_[level].bytes.size());
    return D3D_OK;
}

HRESULT RecordedTexture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (level >= levels_.size() || levels_[level].locked || rect != nullptr ||
        static_cast<int>(level) == device_->failLockAtLevel) {
        return D3DERR_INVALIDCALL;
    }
    levels_[level].locked = true;
    lockedRect->Pitch = levels_[level].pitch;
    lockedRect->pBits = levels_[level].bytes.data();
    return D3D_OK;
}

HRESULT RecordedTexture::UnlockRect(UINT level) {
    if (level >= levels_.size() || !levels_[level].locked) {
        return D3DERR_INVALIDCALL;
    }
    levels_[level].locked = false;
    return D3D_OK;
}

uint32_t RecordedTexture::Texel(UINT level, UINT x, UINT y) const {
    const Level& l = levels_[level];
    const uint8_t* p = l.bytes.data() + static_cast<size_t>(y) * l.pitch + static_cast<size_t>(x) * BytesPerTexel(format_);
    if (format_ == D3DFMT_L8) {
        return p[0];
    }
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

RecordedVertexBuffer::RecordedVertexBuffer(RecordingTextureDevice* device, UINT length, DWORD usage, DWORD fvf,
                                           D3DPOOL pool)
    : device_(device), bytes_(length, 0) {
    desc_ = D3DVERTEXBUFFER_DESC{};
    desc_.Type = D3DRTYPE_VERTEXBUFFER;
    desc_.Usage = usage;
    desc_.Pool = pool;
    desc_.Size = length;
    desc_.FVF = fvf;
    ++device_->liveVertexBuffers;
}

ULONG RecordedVertexBuffer::AddRef() { return ++references_; }

ULONG RecordedVertexBuffer::Release() {
    ULONG left = --references_;
    if (left == 0) {
        --device_->liveVertexBuffers;
        device_->destroyed.push_back("vertex buffer");
        delete this;
    }
    return left;
}

HRESULT RecordedVertexBuffer::GetDevice(IDirect3DDevice8** device) {
    *device = device_;
    return D3D_OK;
}

HRESULT RecordedVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
    if (offset > bytes_.size() || (size != 0 && size > bytes_.size() - offset)) {
        return D3DERR_INVALIDCALL;
    }
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT RecordedVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    *desc = desc_;
    return D3D_OK;
}

HRESULT RecordingTextureDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                              D3DPOOL pool, IDirect3DTexture8** texture) {
    *texture = nullptr;
    lastRequestedLevels = levels;
    if (failCreateTexture || width == 0 || height == 0 ||
        !(format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_L8)) {
        return D3DERR_INVALIDCALL;
    }
    UINT full = 1;
    for (UINT w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
        ++full;
    }
    if (levels == 0 || levels > full) {
        levels = full;
    }
    lastTexture = new RecordedTexture(this, width, height, levels, usage, format, pool);
    *texture = lastTexture;
    return D3D_OK;
}

HRESULT RecordingTextureDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                   IDirect3DVertexBuffer8** vertexBuffer) {
    *vertexBuffer = nullptr;
    if (failCreateVertexBuffer || length == 0) {
        return D3DERR_INVALIDCALL;
    }
    *vertexBuffer = new RecordedVertexBuffer(this, length, usage, fvf, pool);
    return D3D_OK;
}
