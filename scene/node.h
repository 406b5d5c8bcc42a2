// A node of the scene's transform hierarchy: it names the object it moves
// and samples its position, rotation and scale controllers every frame into
// a local matrix and a world matrix (local times the parent's world).
// Trees may be arbitrarily deep: every walk over them is iterative.
#pragma once

#include <cstdint>

#include "math/engine_math.h"
#include "platform/d3d8/d3d8_types.h"
#include "scene/kvf_format.h"
#include "scene/object_list.h"

class CControllerRotation;
class CControllerVector;
class CSceneObject;

class CNode {
public:
    enum Kind {
        kMesh = kvf::kNodeMesh,
        kCamera = kvf::kNodeCamera,
        kLight = kvf::kNodeLight,
        kShape = kvf::kNodeShape,
        kHelper = kvf::kNodeHelper,
        kCameraTarget = kvf::kNodeCameraTarget,
        kLightTarget = kvf::kNodeLightTarget,
    };

    CNode();
    // Destroys the whole subtree (children first, in list order), then the
    // name and the controllers. The bound object is not destroyed.
    ~CNode();
    CNode(const CNode&) = delete;
    CNode& operator=(const CNode&) = delete;

    // Appends `child` to the children and links it to this node. 0, or 1 when
    // memory is short (the child is then not taken).
    int AddChild(CNode* child);

    int32_t depth;
    int32_t kind;
    char* name;                              // owned
    CSceneObject* object;                    // not owned; null when unbound
    D3DVECTOR pivot;                         // kinds 0, 3, 4
    CControllerVector* positionController;   // owned
    CControllerRotation* rotationController; // owned; may be null
    CControllerVector* scaleController;      // owned
    CNode* parent;                           // null for roots
    CObjectList<CNode> children;             // owned, file order
    CNode* nextSibling;                      // the next child of the parent
    D3DVECTOR position;                      // sampled for the current frame
    Quaternion rotation;
    D3DVECTOR scale;
    D3DMATRIX world;
};

// Prepares the controllers of `node` and of its whole subtree, parents first,
// children in list order.
void PrepareNode(CNode* node);
// Samples the subtree at frame time t and writes the world matrices, and
// the bound objects' world matrices and transform parts.
void UpdateNode(CNode* node, float t);
// The local matrix of sampled parts: scaling times rotation, the position in
// the fourth row.
void ComposeLocalMatrix(const D3DVECTOR& position, const Quaternion& rotation, const D3DVECTOR& scale,
                        D3DMATRIX* out);

// Links nodes into a tree by their depths as the node stream gives them.
class NodeTreeBuilder {
public:
    // Where a node went.
    enum Placement { kRoot, kChild, kLeftOut };

    NodeTreeBuilder(CObjectList<CNode>* roots, CObjectList<CNode>* leftOut);
    // Links `node` (its depth set) after the previous one. Placement in
    // *placement; returns 1 when memory is short (the node is not taken).
    int Link(CNode* node, Placement* placement);

private:
    int AppendRoot(CNode* node);

    CObjectList<CNode>* m_roots;
    CObjectList<CNode>* m_leftOut;
    CNode* m_previous;
    int32_t m_previousDepth;
    CNode* m_rememberedParent;
};
