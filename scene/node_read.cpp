// Node records: kind, name (and owner name for target nodes), pivot for
// meshes, shapes and helpers, then the position, rotation and scale
// controllers.
#include <new>

#include "math/d3dx_math.h"
#include "pack/pack_file.h"
#include "platform/report/report.h"
#include "scene/camera.h"
#include "scene/controller.h"
#include "scene/helper_object.h"
#include "scene/kvf_read.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/name_index.h"
#include "scene/node.h"
#include "scene/scene.h"
#include "scene/shape.h"

namespace {

// The target a camera or light looks at, made on first use.
CTargetObject* TargetOf(CTargetObject** target)
{
    if (*target == nullptr) {
        *target = new (std::nothrow) CTargetObject();
    }
    return *target;
}

} // namespace

struct CScene::NodeBindingIndex {
    NameIndex<CMesh> meshes;
    NameIndex<CCamera> cameras;
    NameIndex<CLight> lights;
    NameIndex<CShape> shapes;
    NameIndex<CHelper> helpers;
};

int CScene::ReadNodeStream(CPackFile* file)
{
    // Every object exists before the first node: index them once.
    NodeBindingIndex* index = new (std::nothrow) NodeBindingIndex();
    if (index == nullptr || index->meshes.Build(meshes) != 0 || index->cameras.Build(cameras) != 0 ||
        index->lights.Build(lights) != 0 || index->shapes.Build(shapes) != 0 || index->helpers.Build(helpers) != 0) {
        delete index;
        ShowError("LibKVF : Not enough memory to read the nodes");
        return 1;
    }
    m_bindingIndex = index;

    int result = 0;
    NodeTreeBuilder tree(&roots, &leftOutNodes);
    int32_t depth = 0;
    while (result == 0 && TryReadInt32(file, &depth) > 0) {
        CNode* node = new (std::nothrow) CNode();
        if (node == nullptr) {
            ShowError("LibKVF : Not enough memory to read the nodes");
            result = 1;
            break;
        }
        node->depth = depth;
        if (ReadNode(file, node) != 0) {
            delete node;
            result = 1;
            break;
        }
        NodeTreeBuilder::Placement placement;
        if (tree.Link(node, &placement) != 0) {
            delete node;
            ShowError("LibKVF : Not enough memory to read the nodes");
            result = 1;
            break;
        }
        if (placement == NodeTreeBuilder::kLeftOut) {
            ShowWarning("LibKVF : Unknown Object, trying to continue");
        }
    }
    m_bindingIndex = nullptr;
    delete index;
    return result;
}

int CScene::BindNodeObject(CPackFile* file, CNode* node)
{
    // The index gives the answers of the Retrieve lookups, only faster.
    const NodeBindingIndex* index = m_bindingIndex;
    switch (node->kind) {
    case CNode::kMesh:
        node->object = index != nullptr ? index->meshes.Find(node->name) : RetrieveMesh(node->name);
        break;
    case CNode::kCamera:
        node->object = index != nullptr ? index->cameras.Find(node->name) : RetrieveCamera(node->name);
        break;
    case CNode::kLight:
        node->object = index != nullptr ? index->lights.Find(node->name) : RetrieveLight(node->name);
        break;
    case CNode::kShape:
        node->object = index != nullptr ? index->shapes.Find(node->name) : RetrieveShape(node->name);
        break;
    case CNode::kHelper:
        node->object = index != nullptr ? index->helpers.Find(node->name) : RetrieveHelper(node->name);
        break;
    case CNode::kCameraTarget:
    case CNode::kLightTarget: {
        char owner[kMaxStringLength + 1];
        ReadString(owner, file);
        CTargetObject** slot = nullptr;
        if (node->kind == CNode::kCameraTarget) {
            CCamera* camera = index != nullptr ? index->cameras.Find(owner) : RetrieveCamera(owner);
            slot = camera != nullptr ? &camera->target : nullptr;
        } else {
            CLight* light = index != nullptr ? index->lights.Find(owner) : RetrieveLight(owner);
            slot = light != nullptr ? &light->target : nullptr;
        }
        if (slot != nullptr) {
            node->object = TargetOf(slot);
            if (node->object == nullptr) {
                ShowError("LibKVF : Not enough memory to read the nodes");
                return 1;
            }
        }
        break;
    }
    default:
        break; // binds nothing
    }
    return 0;
}

int CScene::ReadNode(CPackFile* file, CNode* node)
{
    node->kind = ReadInt32(file);
    node->name = ReadName(file);
    if (node->name == nullptr) {
        ShowError("LibKVF : Not enough memory to read the nodes");
        return 1;
    }
    if (BindNodeObject(file, node) != 0) {
        return 1;
    }

    if (node->kind == CNode::kMesh || node->kind == CNode::kShape || node->kind == CNode::kHelper) {
        const D3DVECTOR p = ReadRawVector(file);
        node->pivot = ToEngineAxes(p.x, p.y, p.z);
        if (node->object != nullptr) {
            if (node->kind == CNode::kMesh) {
                // Move the geometry so that the pivot is the mesh's origin.
                D3DXMATRIX move;
                D3DXMatrixTranslation(&move, p.x, -p.z, p.y);
                static_cast<CMesh*>(node->object)->TransformVertices(move);
            }
            node->object->pivot = node->pivot;
        }
    }

    if (ReadPositionController(file, &node->positionController) != 0) {
        return 1;
    }
    const uint8_t selector = ReadByte(file);
    if (ReadRotationController(file, selector, &node->rotationController) != 0) {
        return 1;
    }
    if (ReadScaleController(file, &node->scaleController) != 0) {
        return 1;
    }

    if (node->object == nullptr) {
        Report(ReportSeverity::Plain, "NULL Pointer", node->name);
    }
    return 0;
}
