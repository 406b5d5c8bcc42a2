#include "scene/scene.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "scene/camera.h"
#include "scene/helper_object.h"
#include "scene/kvf_format.h"
#include "scene/kvf_read.h"
#include "scene/light.h"
#include "scene/material.h"
#include "scene/mesh.h"
#include "scene/node.h"
#include "scene/shape.h"
#include "scene/transparent_face_list.h"

namespace {

// The smallest material record: id, empty name, twelve floats, two flag
// bytes, the blend kind and the map count.
constexpr int kMinMaterialBytes = 71;

// A plain report: no icon.
void PlainBox(const char* text, const char* title)
{
    Report(ReportSeverity::Plain, title, text);
}

template <typename T>
T* FindByName(const CObjectList<T>& list, const char* name)
{
    if (name == nullptr) {
        return nullptr;
    }
    for (T* item : list) {
        if (item != nullptr && item->name != nullptr && std::strcmp(item->name, name) == 0) {
            return item;
        }
    }
    return nullptr;
}

// Reads one object record with `read` into a new T and appends it to `list`.
template <typename T>
int ReadObject(CScene* scene, CPackFile* file, CObjectList<T>* list, int (CScene::*read)(CPackFile*, T*))
{
    T* object = new (std::nothrow) T();
    if (object == nullptr) {
        ShowError("LibKVF : Not enough memory to read the scene objects");
        return 1;
    }
    if ((scene->*read)(file, object) != 0) {
        delete object;
        return 1;
    }
    if (list->Append(object) != 0) {
        delete object;
        ShowError("LibKVF : Not enough memory to read the scene objects");
        return 1;
    }
    return 0;
}

} // namespace

CScene::CScene()
    : materialCount(0),
      materials(nullptr),
      startFrame(0),
      endFrame(0),
      frameRate(0),
      ambientColour(0),
      transparentFaces(nullptr),
      m_bindingIndex(nullptr)
{
}

CScene::~CScene()
{
    delete transparentFaces;
    transparentFaces = nullptr;
    delete[] materials;
    materials = nullptr;
    materialCount = 0;
    meshes.DeleteAll();
    cameras.DeleteAll();
    shapes.DeleteAll();
    lights.DeleteAll();
    helpers.DeleteAll();
    roots.DeleteAll();
    leftOutNodes.DeleteAll();
}

int CScene::LoadScene(const char* fileName, const char* archiveName)
{
    CPackFile file;
    if (file.Open(fileName, archiveName) != 0) {
        char text[512];
        std::snprintf(text, sizeof text, "Error while loading: %s", fileName != nullptr ? fileName : "");
        PlainBox(text, "error");
        return 1;
    }

    const int result = ReadScene(&file, fileName);
    file.Close();
    return result;
}

int CScene::ReadScene(CPackFile* file, const char* fileName)
{
    if (fileName == nullptr) {
        fileName = "";
    }
    char magic[3] = {0, 0, 0};
    file->Read(magic, 1, 3, file);
    if (magic[0] != 'K' || magic[1] != 'V' || magic[2] != 'F') {
        PlainBox("Bad file : not a KVF", "Error");
        return 1;
    }
    if (ReadInt32(file) != 1) {
        PlainBox("Bad file : not the good version", "Error");
        return 1;
    }
    const float red = ReadFloat(file);
    const float green = ReadFloat(file);
    const float blue = ReadFloat(file);
    ambientColour = PackColour(red, green, blue);

    const int32_t count = ReadInt32(file);
    if (!CountFits(file, count, kMinMaterialBytes)) {
        ShowError("LibKVF : Corrupted scene file : %s (%d materials)", fileName, count);
        return 1;
    }
    if (count > 0) {
        materials = new (std::nothrow) CMaterial[count];
        if (materials == nullptr) {
            ShowError("LibKVF : Not enough memory to read the materials of %s", fileName);
            return 1;
        }
        materialCount = count;
        for (int32_t i = 0; i < count; ++i) {
            if (ReadMaterial(file, &materials[i]) != 0) {
                return 1;
            }
        }
    }

    if (ReadObjectStream(file) != 0) {
        return 1;
    }
    // After a stream that ended without its end code these read zeros.
    startFrame = ReadInt32(file);
    endFrame = ReadInt32(file);
    frameRate = ReadInt32(file);
    return ReadNodeStream(file);
}

int CScene::ReadObjectStream(CPackFile* file)
{
    int32_t code = 0;
    while (TryReadInt32(file, &code) > 0) {
        int result = 0;
        switch (code) {
        case kvf::kEndOfObjects:
            return 0;
        case kvf::kObjectMesh:
            result = ReadObject(this, file, &meshes, &CScene::ReadMesh);
            break;
        case kvf::kObjectCamera:
            result = ReadObject(this, file, &cameras, &CScene::ReadCamera);
            break;
        case kvf::kObjectLight:
            result = ReadObject(this, file, &lights, &CScene::ReadLight);
            break;
        case kvf::kObjectShape:
            result = ReadObject(this, file, &shapes, &CScene::ReadShape);
            break;
        case kvf::kObjectHelper:
            result = ReadObject(this, file, &helpers, &CScene::ReadHelper);
            break;
        default:
            break; // unknown codes are skipped: only their four bytes
        }
        if (result != 0) {
            return 1;
        }
    }
    return 0;
}

CMesh* CScene::RetrieveMesh(const char* name) const
{
    return FindByName(meshes, name);
}

CCamera* CScene::RetrieveCamera(const char* name) const
{
    return FindByName(cameras, name);
}

CLight* CScene::RetrieveLight(const char* name) const
{
    return FindByName(lights, name);
}

CShape* CScene::RetrieveShape(const char* name) const
{
    return FindByName(shapes, name);
}

CHelper* CScene::RetrieveHelper(const char* name) const
{
    return FindByName(helpers, name);
}
