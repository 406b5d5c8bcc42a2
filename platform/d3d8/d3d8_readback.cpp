// Read-back: the pixels of a surface or of the back buffer, and waiting for
// the rasteriser to finish what was drawn.
#include "platform/d3d8/back_buffer_readback.h"
#include "platform/d3d8/d3d8_impl.h"

namespace zolt_d3d {

// ---- Read-back ---------------------------------------------------------------

bool Device::ReadSurface(Surface* surface, std::vector<uint32_t>* pixels, UINT* width, UINT* height)
{
    if (surface == nullptr || pixels == nullptr || !surface->IsColor() || !MakeCurrent()) {
        return false;
    }
    DrawPending();
    const UINT w = surface->width();
    const UINT h = surface->height();
    // Every pixel is overwritten: a buffer of the right size is reused as it
    // is, without clearing it first.
    pixels->resize(static_cast<size_t>(w) * h);
    m_gl.BindReadFramebuffer(surface->ColorFramebuffer());
    // Wait for every drawing command first: llvmpipe's rasterising threads
    // otherwise may still be behind, and a frame read right after another's
    // presentation can come back as an earlier picture.
    glFinish();
    // Stored rows run top-down already.
    glReadPixels(0, 0, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 pixels->data());
    m_dirty |= kDirtyTarget;
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return true;
}

} // namespace zolt_d3d

bool ZoltReadBackBuffer(IDirect3DDevice8* device, std::vector<uint32_t>* pixels, UINT* width, UINT* height)
{
    auto* impl = dynamic_cast<zolt_d3d::Device*>(device);
    if (impl == nullptr || impl->backBuffer() == nullptr) {
        return false;
    }
    return impl->ReadSurface(impl->backBuffer(), pixels, width, height);
}

bool ZoltReadSurface(IDirect3DSurface8* surface, std::vector<uint32_t>* pixels, UINT* width, UINT* height)
{
    auto* impl = dynamic_cast<zolt_d3d::Surface*>(surface);
    if (impl == nullptr) {
        return false;
    }
    return impl->device()->ReadSurface(impl, pixels, width, height);
}

bool ZoltFinishDrawing(IDirect3DDevice8* device)
{
    auto* impl = dynamic_cast<zolt_d3d::Device*>(device);
    if (impl == nullptr || !impl->MakeCurrent()) {
        return false;
    }
    impl->DrawPending();
    glFinish();
    return true;
}
