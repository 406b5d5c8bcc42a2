#include "scene/helper_object.h"

#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "scene/kvf_read.h"
#include "scene/scene.h"

CHelper::CHelper() : subtype(0), vector1{0.0f, 0.0f, 0.0f}, vector2{0.0f, 0.0f, 0.0f}
{
}

int CHelper::Prepare(IDirect3DDevice8* /*device*/)
{
    return 0;
}

void CHelper::Draw(IDirect3DDevice8* /*device*/)
{
    // Helpers are invisible: the scene never draws them.
}

int CScene::ReadHelper(CPackFile* file, CHelper* helper)
{
    helper->name = ReadName(file);
    if (helper->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read a helper");
        return 1;
    }
    helper->subtype = ReadInt32(file);
    ReadMatrix(file, &helper->transform);
    helper->pivot = ReadVector(file);
    helper->vector1 = ReadRawVector(file);
    helper->vector2 = ReadRawVector(file);
    return 0;
}
