// Textures, surfaces, vertex and index buffers.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

namespace {

constexpr D3DFORMAT kFormatD15S1 = 73;
constexpr D3DFORMAT kFormatD24X4S4 = 79;

const FormatInfo kColorFormats[] = {
    {D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}, true,
     true},
    {D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false,
     true},
    {D3DFMT_R8G8B8, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false, false},
    {D3DFMT_R5G6B5, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}, false, true},
    {D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE},
     false, true},
    {D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     true, true},
    {D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA},
     true, false},
    {D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, true, false},
    {D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}, false, false},
    {D3DFMT_A8L8, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}, true, false},
};

// D24X8's unused bits hold a stencil the device uses for itself.
const DepthFormatInfo kDepthFormats[] = {
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, false},     {D3DFMT_D16_LOCKABLE, GL_DEPTH_COMPONENT16, false},
    {D3DFMT_D24X8, GL_DEPTH24_STENCIL8, false},   {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, true},
    {D3DFMT_D32, GL_DEPTH_COMPONENT32F, false},    {kFormatD15S1, GL_DEPTH24_STENCIL8, true},
    {kFormatD24X4S4, GL_DEPTH24_STENCIL8, true},
};

uint64_t g_nextSerial = 1;

void ApplySwizzle(const FormatInfo* info)
{
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, info->swizzle);
}

// Drains the error queue; true when any error was pending.
bool GlErrorPending()
{
    bool any = false;
    for (int i = 0; i < 16; ++i) {
        if (glGetError() == GL_NO_ERROR) {
            break;
        }
        any = true;
    }
    return any;
}

// A GL buffer of `length` bytes holding `contents`; false on a GL error.
bool MakeGlBuffer(GLuint* buffer, const void* contents, UINT length)
{
    GlErrorPending();
    glGenBuffers(1, buffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, *buffer);
    glBufferData(GL_COPY_WRITE_BUFFER, length, contents, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    return !GlErrorPending();
}

// The size a buffer lock covers (0 asks for the rest from the offset); false
// when the range does not lie within the buffer.
bool LockedSize(UINT length, UINT offsetToLock, UINT sizeToLock, UINT* size)
{
    if (offsetToLock > length) {
        return false;
    }
    *size = sizeToLock == 0 ? length - offsetToLock : sizeToLock;
    return *size <= length - offsetToLock;
}

bool ValidLockRect(const RECT* rect, UINT width, UINT height, RECT* out)
{
    if (rect == nullptr) {
        *out = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        return true;
    }
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        rect->right > static_cast<LONG>(width) || rect->bottom > static_cast<LONG>(height)) {
        return false;
    }
    *out = *rect;
    return true;
}

void ClearColorFramebuffer(Device* device, GLuint fbo)
{
    device->gl().BindDrawFramebuffer(fbo);
    device->gl().Enable(GL_SCISSOR_TEST, false);
    device->gl().ColorMask(0xF);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    device->MarkGlStateChanged();
}

} // namespace

const FormatInfo* FindColorFormat(D3DFORMAT format)
{
    for (const FormatInfo& info : kColorFormats) {
        if (info.format == format) {
            return &info;
        }
    }
    return nullptr;
}

const DepthFormatInfo* FindDepthFormat(D3DFORMAT format)
{
    for (const DepthFormatInfo& info : kDepthFormats) {
        if (info.format == format) {
            return &info;
        }
    }
    return nullptr;
}

void SetupVertexAttributes(const VertexLayout& layout, UINT stride)
{
    const auto offset = [](UINT bytes) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(bytes)); };
    const auto gstride = static_cast<GLsizei>(stride);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, layout.positionComponents, GL_FLOAT, GL_FALSE, gstride, offset(0));
    if (layout.normalOffset != kNoAttribute) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, gstride, offset(layout.normalOffset));
    }
    // D3DCOLOR is 0xAARRGGBB: bytes B, G, R, A in memory.
    if (layout.diffuseOffset != kNoAttribute) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, gstride, offset(layout.diffuseOffset));
    }
    if (layout.specularOffset != kNoAttribute) {
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, gstride, offset(layout.specularOffset));
    }
    for (UINT i = 0; i < layout.texCount; ++i) {
        const GLuint location = 4 + i;
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, layout.texComponents[i], GL_FLOAT, GL_FALSE, gstride,
                              offset(layout.texOffset[i]));
    }
}

HRESULT ReturnDevice(Device* device, IDirect3DDevice8** out)
{
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    device->AddRef();
    *out = device;
    return D3D_OK;
}

// ---- Surface -------------------------------------------------------------------

Surface::Surface(Device* device, Kind kind, D3DFORMAT format, UINT width, UINT height)
    : DeviceChild(device), m_kind(kind), m_format(format), m_width(width), m_height(height), m_serial(g_nextSerial++)
{
    m_device->AddPrivateRef();
    if (kind == Kind::DepthStencil) {
        m_depthInfo = FindDepthFormat(format);
    } else {
        m_colorInfo = FindColorFormat(format);
    }
}

Surface::Surface(Texture* container, UINT level)
    : DeviceChild(container->device()),
      m_container(container),
      m_level(level),
      m_kind(Kind::TextureLevel),
      m_format(container->info()->format),
      m_width(container->LevelWidth(level)),
      m_height(container->LevelHeight(level)),
      m_colorInfo(container->info()),
      m_serial(g_nextSerial++)
{
}

Surface::~Surface()
{
    DestroyGl();
    if (m_container == nullptr) {
        m_device->ReleasePrivateRef();
    }
}

void Surface::DestroyGl()
{
    if (!m_device->MakeCurrent()) {
        return;
    }
    if (m_fbo != 0) {
        m_device->gl().ForgetFramebuffer(m_fbo);
        glDeleteFramebuffers(1, &m_fbo);
        m_fbo = 0;
    }
    if (m_texture != 0) {
        m_device->gl().ForgetTexture(m_texture);
        glDeleteTextures(1, &m_texture);
        m_texture = 0;
    }
    if (m_renderbuffer != 0) {
        glDeleteRenderbuffers(1, &m_renderbuffer);
        m_renderbuffer = 0;
    }
}

bool Surface::IsRenderTarget() const
{
    if (m_kind == Kind::BackBuffer || m_kind == Kind::RenderTarget) {
        return true;
    }
    return m_kind == Kind::TextureLevel && (m_container->usage() & D3DUSAGE_RENDERTARGET) != 0;
}

GLuint Surface::colorTexture() const
{
    return m_container != nullptr ? m_container->glTexture() : m_texture;
}

ULONG Surface::AddRef()
{
    if (m_container != nullptr) {
        return m_container->AddRef();
    }
    return DeviceChild::AddRef();
}

ULONG Surface::Release()
{
    if (m_container != nullptr) {
        return m_container->Release();
    }
    return DeviceChild::Release();
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = m_width;
    desc->Height = m_height;
    if (m_container != nullptr) {
        desc->Usage = m_container->usage();
        desc->Pool = m_container->pool();
    } else {
        desc->Usage = m_kind == Kind::DepthStencil ? D3DUSAGE_DEPTHSTENCIL : D3DUSAGE_RENDERTARGET;
        desc->Pool = D3DPOOL_DEFAULT;
    }
    const UINT bytes = m_colorInfo != nullptr ? m_colorInfo->bytesPerPixel : (m_format == D3DFMT_D16 ? 2u : 4u);
    desc->Size = m_width * m_height * bytes;
    return D3D_OK;
}

bool Surface::AllocateStorage(D3DFORMAT format, UINT width, UINT height)
{
    if (!m_device->MakeCurrent()) {
        return false;
    }
    m_format = format;
    m_width = width;
    m_height = height;
    GlErrorPending();
    if (m_kind == Kind::DepthStencil) {
        m_depthInfo = FindDepthFormat(format);
        if (m_depthInfo == nullptr) {
            return false;
        }
        if (m_renderbuffer == 0) {
            glGenRenderbuffers(1, &m_renderbuffer);
        }
        glBindRenderbuffer(GL_RENDERBUFFER, m_renderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, m_depthInfo->internalFormat, static_cast<GLsizei>(width),
                              static_cast<GLsizei>(height));
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        return !GlErrorPending();
    }
    m_colorInfo = FindColorFormat(format);
    if (m_colorInfo == nullptr) {
        return false;
    }
    if (m_texture == 0) {
        glGenTextures(1, &m_texture);
    }
    m_device->gl().BindTextureForUpload(m_texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(m_colorInfo->internalFormat), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, m_colorInfo->uploadFormat, m_colorInfo->uploadType, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    ApplySwizzle(m_colorInfo);
    if (GlErrorPending()) {
        return false;
    }
    ClearColorFramebuffer(m_device, Framebuffer(nullptr));
    return true;
}

GLuint Surface::Framebuffer(Surface* depth)
{
    GlStateCache& gl = m_device->gl();
    bool changed = false;
    if (m_fbo == 0) {
        glGenFramebuffers(1, &m_fbo);
        gl.BindDrawFramebuffer(m_fbo);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture(),
                               static_cast<GLint>(m_level));
        changed = true;
    }
    const uint64_t wanted = depth != nullptr ? depth->serial() : 0;
    if (wanted != m_attachedDepth) {
        gl.BindDrawFramebuffer(m_fbo);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
        if (depth != nullptr) {
            glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER,
                                      depth->StoresStencil() ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                      GL_RENDERBUFFER, depth->renderbuffer());
        }
        m_attachedDepth = wanted;
        changed = true;
    }
    if (changed) {
        const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE) {
            std::fprintf(stderr, "Direct3D stand-in: incomplete framebuffer (0x%x)\n", status);
        }
    }
    return m_fbo;
}

GLuint Surface::ColorFramebuffer()
{
    if (m_fbo == 0) {
        return Framebuffer(nullptr);
    }
    return m_fbo;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (m_container != nullptr) {
        return m_container->LockRect(m_level, lockedRect, rect, flags);
    }
    RECT area;
    if (lockedRect == nullptr || m_kind == Kind::DepthStencil || m_locked ||
        !ValidLockRect(rect, m_width, m_height, &area)) {
        return D3DERR_INVALIDCALL;
    }
    if (!m_device->MakeCurrent()) {
        return D3DERR_INVALIDCALL;
    }
    m_device->FlushBatch();
    const UINT pitch = m_width * m_colorInfo->bytesPerPixel;
    m_lockData.assign(static_cast<size_t>(pitch) * m_height, 0);
    m_device->gl().BindTextureForUpload(m_texture);
    glGetTexImage(GL_TEXTURE_2D, 0, m_colorInfo->uploadFormat, m_colorInfo->uploadType, m_lockData.data());
    lockedRect->Pitch = static_cast<INT>(pitch);
    lockedRect->pBits = m_lockData.data() + static_cast<size_t>(area.top) * pitch +
                        static_cast<size_t>(area.left) * m_colorInfo->bytesPerPixel;
    m_locked = true;
    return D3D_OK;
}

HRESULT Surface::UnlockRect()
{
    if (m_container != nullptr) {
        return m_container->UnlockRect(m_level);
    }
    if (!m_locked) {
        return D3DERR_INVALIDCALL;
    }
    m_locked = false;
    if (m_device->MakeCurrent()) {
        m_device->gl().BindTextureForUpload(m_texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(m_width), static_cast<GLsizei>(m_height),
                        m_colorInfo->uploadFormat, m_colorInfo->uploadType, m_lockData.data());
    }
    std::vector<uint8_t>().swap(m_lockData);
    return D3D_OK;
}

// ---- Texture -------------------------------------------------------------------

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const FormatInfo* info,
                 D3DPOOL pool)
    : DeviceChild(device),
      m_width(width),
      m_height(height),
      m_levels(levels),
      m_usage(usage),
      m_info(info),
      m_pool(pool)
{
    m_device->AddPrivateRef();
    m_levelData.resize(levels);
}

bool Texture::Allocate()
{
    if (!m_device->MakeCurrent()) {
        return false;
    }
    GlErrorPending();
    glGenTextures(1, &m_texture);
    m_device->gl().BindTextureForUpload(m_texture);
    for (UINT level = 0; level < m_levels; ++level) {
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(m_info->internalFormat),
                     static_cast<GLsizei>(LevelWidth(level)), static_cast<GLsizei>(LevelHeight(level)), 0,
                     m_info->uploadFormat, m_info->uploadType, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(m_levels - 1));
    ApplySwizzle(m_info);
    if (GlErrorPending()) {
        return false;
    }
    if ((m_usage & D3DUSAGE_RENDERTARGET) != 0) {
        for (UINT level = 0; level < m_levels; ++level) {
            IDirect3DSurface8* surface = nullptr;
            GetSurfaceLevel(level, &surface);
            ClearColorFramebuffer(m_device, m_levelData[level].surface->Framebuffer(nullptr));
            m_levelData[level].hasContents = true;
            surface->Release();
        }
    }
    return true;
}

Texture::~Texture()
{
    for (Level& level : m_levelData) {
        delete level.surface;
        level.surface = nullptr;
    }
    if (m_texture != 0 && m_device->MakeCurrent()) {
        m_device->gl().ForgetTexture(m_texture);
        glDeleteTextures(1, &m_texture);
    }
    m_device->ReleasePrivateRef();
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (desc == nullptr || level >= m_levels) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = m_info->format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = LevelWidth(level);
    desc->Height = LevelHeight(level);
    desc->Size = desc->Width * desc->Height * m_info->bytesPerPixel;
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel)
{
    if (surfaceLevel == nullptr || level >= m_levels) {
        return D3DERR_INVALIDCALL;
    }
    Level& data = m_levelData[level];
    if (data.surface == nullptr) {
        data.surface = new Surface(this, level);
    }
    AddRef();
    *surfaceLevel = data.surface;
    return D3D_OK;
}

void Texture::MarkRendered(UINT level)
{
    if (level < m_levels) {
        m_levelData[level].hasContents = true;
    }
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags)
{
    if (lockedRect == nullptr || level >= m_levels) {
        return D3DERR_INVALIDCALL;
    }
    Level& data = m_levelData[level];
    const UINT width = LevelWidth(level);
    const UINT height = LevelHeight(level);
    RECT area;
    if (data.locked || !ValidLockRect(rect, width, height, &area)) {
        return D3DERR_INVALIDCALL;
    }
    const UINT pitch = width * m_info->bytesPerPixel;
    data.lockData.assign(static_cast<size_t>(pitch) * height, 0);
    if (data.hasContents && (flags & D3DLOCK_DISCARD) == 0 && m_device->MakeCurrent()) {
        m_device->FlushBatch();
        m_device->gl().BindTextureForUpload(m_texture);
        glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), m_info->uploadFormat, m_info->uploadType,
                      data.lockData.data());
    }
    data.locked = true;
    data.readOnly = (flags & D3DLOCK_READONLY) != 0;
    data.rect = area;
    lockedRect->Pitch = static_cast<INT>(pitch);
    lockedRect->pBits = data.lockData.data() + static_cast<size_t>(area.top) * pitch +
                        static_cast<size_t>(area.left) * m_info->bytesPerPixel;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level >= m_levels || !m_levelData[level].locked) {
        return D3DERR_INVALIDCALL;
    }
    Level& data = m_levelData[level];
    data.locked = false;
    if (!data.readOnly && m_device->MakeCurrent()) {
        // Draws already merged still see the old texels.
        m_device->FlushBatch();
        const UINT width = LevelWidth(level);
        const RECT& r = data.rect;
        m_device->gl().BindTextureForUpload(m_texture);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(width));
        const uint8_t* start = data.lockData.data() + static_cast<size_t>(r.top) * width * m_info->bytesPerPixel +
                               static_cast<size_t>(r.left) * m_info->bytesPerPixel;
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), r.left, r.top, r.right - r.left, r.bottom - r.top,
                        m_info->uploadFormat, m_info->uploadType, start);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        data.hasContents = true;
    }
    std::vector<uint8_t>().swap(data.lockData);
    return D3D_OK;
}

// ---- Buffer storage ------------------------------------------------------------

bool ShadowedGlBuffer::Allocate()
{
    m_data.assign(m_length, 0);
    return MakeGlBuffer(&m_buffer, m_data.data(), m_length);
}

void ShadowedGlBuffer::DeleteGl()
{
    if (m_buffer != 0) {
        glDeleteBuffers(1, &m_buffer);
    }
}

HRESULT ShadowedGlBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags)
{
    UINT size = 0;
    if (data == nullptr || !LockedSize(m_length, offsetToLock, sizeToLock, &size)) {
        return D3DERR_INVALIDCALL;
    }
    *data = m_data.data() + offsetToLock;
    if ((flags & D3DLOCK_READONLY) == 0 && size > 0) {
        if (m_dirtyEnd <= m_dirtyBegin) {
            m_dirtyBegin = offsetToLock;
            m_dirtyEnd = offsetToLock + size;
        } else {
            m_dirtyBegin = std::min(m_dirtyBegin, offsetToLock);
            m_dirtyEnd = std::max(m_dirtyEnd, offsetToLock + size);
        }
    }
    ++m_lockCount;
    return D3D_OK;
}

HRESULT ShadowedGlBuffer::Unlock(Device* device, bool* contentsChanged)
{
    *contentsChanged = false;
    if (m_lockCount == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (--m_lockCount > 0 || m_dirtyEnd <= m_dirtyBegin) {
        return D3D_OK;
    }
    *contentsChanged = true;
    if (device->MakeCurrent()) {
        glBindBuffer(GL_COPY_WRITE_BUFFER, m_buffer);
        if (m_dirtyBegin == 0 && m_dirtyEnd == m_length) {
            // A whole rewrite gets fresh storage, so draws still reading the
            // old contents never hold the upload up.
            glBufferData(GL_COPY_WRITE_BUFFER, m_length, m_data.data(), GL_DYNAMIC_DRAW);
        } else {
            glBufferSubData(GL_COPY_WRITE_BUFFER, m_dirtyBegin, m_dirtyEnd - m_dirtyBegin,
                            m_data.data() + m_dirtyBegin);
        }
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    }
    m_dirtyBegin = m_dirtyEnd = 0;
    return D3D_OK;
}

// ---- Mapped buffer storage ----------------------------------------------------

bool MappedGlBuffer::Allocate()
{
    const std::vector<uint8_t> zeros(m_length, 0);
    return MakeGlBuffer(&m_buffer, zeros.data(), m_length);
}

void MappedGlBuffer::DeleteGl()
{
    if (m_buffer != 0) {
        // Deleting a mapped buffer unmaps it.
        glDeleteBuffers(1, &m_buffer);
        m_buffer = 0;
        m_mapped = nullptr;
        m_lockCount = 0;
    }
}

HRESULT MappedGlBuffer::Lock(Device* device, UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags)
{
    UINT size = 0;
    if (data == nullptr || !LockedSize(m_length, offsetToLock, sizeToLock, &size)) {
        return D3DERR_INVALIDCALL;
    }
    if (m_lockCount == 0) {
        if (m_buffer == 0 || !device->MakeCurrent()) {
            return D3DERR_INVALIDCALL;
        }
        // A whole rewrite that keeps nothing may get fresh storage, so a draw
        // still reading the old contents never holds it up; any other lock
        // sees the contents, and a read-only one leaves them as they are.
        GLbitfield access = GL_MAP_READ_BIT | GL_MAP_WRITE_BIT;
        if ((flags & D3DLOCK_DISCARD) != 0 && offsetToLock == 0 && size == m_length) {
            access = GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT;
        } else if ((flags & D3DLOCK_READONLY) != 0) {
            access = GL_MAP_READ_BIT;
        }
        glBindBuffer(GL_COPY_WRITE_BUFFER, m_buffer);
        m_mapped = static_cast<uint8_t*>(glMapBufferRange(GL_COPY_WRITE_BUFFER, 0, m_length, access));
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
        if (m_mapped == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    *data = m_mapped + offsetToLock;
    ++m_lockCount;
    return D3D_OK;
}

HRESULT MappedGlBuffer::Unlock(Device* device)
{
    if (m_lockCount == 0) {
        return D3DERR_INVALIDCALL;
    }
    if (--m_lockCount > 0) {
        return D3D_OK;
    }
    m_mapped = nullptr;
    if (device->MakeCurrent()) {
        glBindBuffer(GL_COPY_WRITE_BUFFER, m_buffer);
        glUnmapBuffer(GL_COPY_WRITE_BUFFER);
        glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    }
    return D3D_OK;
}

// ---- Vertex buffer -------------------------------------------------------------

namespace {
#ifdef __EMSCRIPTEN__
// WebGL 2 maps no buffer storage: a rewrite goes through the kept copy.
bool g_vertexBuffersKeepCopies = true;
#else
bool g_vertexBuffersKeepCopies = false;
#endif
} // namespace

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : DeviceChild(device), m_storage(length), m_keepsCopy(g_vertexBuffersKeepCopies), m_copied(length),
      m_usage(usage), m_fvf(fvf), m_pool(pool)
{
    m_device->AddPrivateRef();
}

bool VertexBuffer::Allocate()
{
    return m_device->MakeCurrent() && (m_keepsCopy ? m_copied.Allocate() : m_storage.Allocate());
}

VertexBuffer::~VertexBuffer()
{
    if (m_device->MakeCurrent()) {
        for (const Vao& entry : m_vaos) {
            m_device->gl().ForgetVertexArray(entry.vao);
            glDeleteVertexArrays(1, &entry.vao);
        }
        m_storage.DeleteGl();
        m_copied.DeleteGl();
    }
    m_device->ReleasePrivateRef();
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags)
{
    if (m_keepsCopy) {
        return m_copied.Lock(offsetToLock, sizeToLock, data, flags);
    }
    return m_storage.Lock(m_device, offsetToLock, sizeToLock, data, flags);
}

HRESULT VertexBuffer::Unlock()
{
    if (m_keepsCopy) {
        bool contentsChanged = false;
        return m_copied.Unlock(m_device, &contentsChanged);
    }
    return m_storage.Unlock(m_device);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = length();
    desc->FVF = m_fvf;
    return D3D_OK;
}

GLuint VertexBuffer::VertexArray(const VertexLayout& layout, UINT stride)
{
    for (const Vao& entry : m_vaos) {
        if (entry.fvf == layout.fvf && entry.stride == stride) {
            return entry.vao;
        }
    }
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    m_device->gl().BindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, glBuffer());
    SetupVertexAttributes(layout, stride);
    m_vaos.push_back(Vao{layout.fvf, stride, vao});
    return vao;
}

// ---- Index buffer --------------------------------------------------------------

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : DeviceChild(device), m_storage(length), m_usage(usage), m_format(format), m_pool(pool)
{
    m_device->AddPrivateRef();
}

bool IndexBuffer::Allocate()
{
    return m_device->MakeCurrent() && m_storage.Allocate();
}

IndexBuffer::~IndexBuffer()
{
    if (m_storage.glBuffer() != 0 && m_device->MakeCurrent()) {
        m_storage.DeleteGl();
    }
    m_device->ReleasePrivateRef();
}

HRESULT IndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags)
{
    return m_storage.Lock(offsetToLock, sizeToLock, data, flags);
}

HRESULT IndexBuffer::Unlock()
{
    bool contentsChanged = false;
    const HRESULT result = m_storage.Unlock(m_device, &contentsChanged);
    if (contentsChanged) {
        m_rangeCount = 0;
        m_rangeNext = 0;
        m_maxAllKnown = false;
    }
    return result;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = m_format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_storage.length();
    return D3D_OK;
}

uint32_t IndexBuffer::MaxIndex()
{
    if (!m_maxAllKnown) {
        m_maxAll = MaxIndex(0, IndexCount());
        m_maxAllKnown = true;
    }
    return m_maxAll;
}

uint32_t IndexBuffer::MaxIndex(UINT start, UINT count)
{
    for (int i = 0; i < m_rangeCount; ++i) {
        if (m_ranges[i].start == start && m_ranges[i].count == count) {
            return m_ranges[i].max;
        }
    }
    uint32_t max = 0;
    if (m_format == D3DFMT_INDEX32) {
        for (UINT i = 0; i < count; ++i) {
            uint32_t value;
            std::memcpy(&value, m_storage.data() + (static_cast<size_t>(start) + i) * 4, 4);
            max = std::max(max, value);
        }
    } else {
        for (UINT i = 0; i < count; ++i) {
            uint16_t value;
            std::memcpy(&value, m_storage.data() + (static_cast<size_t>(start) + i) * 2, 2);
            max = std::max<uint32_t>(max, value);
        }
    }
    m_ranges[m_rangeNext] = RangeMax{start, count, max};
    m_rangeNext = (m_rangeNext + 1) % 16;
    m_rangeCount = std::min(m_rangeCount + 1, 16);
    return max;
}

} // namespace zolt_d3d

void ZoltVertexBuffersKeepCopies(bool keep)
{
    zolt_d3d::g_vertexBuffersKeepCopies = keep;
}
