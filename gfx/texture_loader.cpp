#include "gfx/texture_loader.h"

#include "pack/pack_file.h"
#include "platform/d3dx/d3dx_texture.h"
#include "platform/report/report.h"

#include <string>

namespace {

std::string& TexturePack()
{
    static std::string pack = kResourcePackName;
    return pack;
}

enum class Filtering { Default, None };

int LoadFromPack(IDirect3DDevice8* device, const char* memberName, IDirect3DTexture8** texture, Filtering filtering)
{
    *texture = nullptr;
    const char* name = memberName ? memberName : "";
    CPackFile* stream = new CPackFile();
    if (!memberName || stream->Open(memberName, TexturePack().c_str()) != 0) {
        ShowError("LibDX\t:\tCannot open Texture : %s", name);
        delete stream;
        return 1;
    }

    const PackBlock* block = stream->block;
    const void* data = block ? block->data : nullptr;
    const UINT size = (block && block->data && block->size > 0) ? static_cast<UINT>(block->size) : 0;
    HRESULT result;
    if (filtering == Filtering::Default) {
        result = D3DXCreateTextureFromFileInMemory(device, data, size, texture);
    } else {
        result = D3DXCreateTextureFromFileInMemoryEx(device, data, size, 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                     D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                                     nullptr, nullptr, texture);
    }
    if (result != D3D_OK || !*texture) {
        *texture = nullptr;
        if (filtering == Filtering::Default)
            ShowError("LibDX\t:\tCannot create Texture : %s", name);
        else
            ShowError("LibDX\t:\tCannot create TextureNoFilter : %s", name);
    }

    stream->Close();
    delete stream;
    return *texture ? 0 : 1;
}

} // namespace

void SetTexturePack(const char* archivePath)
{
    TexturePack() = archivePath != nullptr ? archivePath : kResourcePackName;
}

const char* GetTexturePack()
{
    return TexturePack().c_str();
}

int LoadTexture(IDirect3DDevice8* device, const char* memberName, IDirect3DTexture8** texture)
{
    return LoadFromPack(device, memberName, texture, Filtering::Default);
}

int LoadTextureNoFilter(IDirect3DDevice8* device, const char* memberName, IDirect3DTexture8** texture)
{
    return LoadFromPack(device, memberName, texture, Filtering::None);
}
