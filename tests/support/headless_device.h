// A Direct3D device drawing into an offscreen back buffer, for image tests
// and benchmarks. Each device is new, with Direct3D's default state; the
// hidden window behind it is made once and shared.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8.h"

struct HeadlessDeviceOptions {
    UINT width = 64;
    UINT height = 64;
    D3DFORMAT backBufferFormat = D3DFMT_X8R8G8B8;
    bool autoDepthStencil = true;
    D3DFORMAT depthFormat = D3DFMT_D24S8;
};

// A windowed device with the given back buffer (64 x 64, X8R8G8B8, D24S8 by
// default), or null when none can be made (the reason goes to standard
// error). Release it with ReleaseHeadlessDevice.
IDirect3DDevice8* AcquireHeadlessDevice();
IDirect3DDevice8* AcquireHeadlessDevice(const HeadlessDeviceOptions& options);
// Unbinds textures, stream and indices, then releases the device; null is
// ignored.
void ReleaseHeadlessDevice(IDirect3DDevice8* device);

// The hidden window the devices draw for.
HWND HeadlessWindow();

// The back buffer as 0xAARRGGBB, top row first (empty on failure).
std::vector<uint32_t> ReadHeadlessBackBuffer(IDirect3DDevice8* device, UINT* width = nullptr, UINT* height = nullptr);

// Owns one headless device for a scope.
class HeadlessDevice {
public:
    explicit HeadlessDevice(const HeadlessDeviceOptions& options = HeadlessDeviceOptions())
        : m_device(AcquireHeadlessDevice(options))
    {
    }
    ~HeadlessDevice() { ReleaseHeadlessDevice(m_device); }
    HeadlessDevice(const HeadlessDevice&) = delete;
    HeadlessDevice& operator=(const HeadlessDevice&) = delete;

    IDirect3DDevice8* get() const { return m_device; }
    IDirect3DDevice8* operator->() const { return m_device; }
    explicit operator bool() const { return m_device != nullptr; }

private:
    IDirect3DDevice8* m_device;
};
