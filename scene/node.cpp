#include "scene/node.h"

#include "math/d3dx_math.h"
#include "scene/controller.h"
#include "scene/scene_object.h"

namespace {

// The next node of a preorder walk of the subtree under `top` (parents before
// children, children in list order), or null at the end. Uses the parent and
// sibling links, so deep trees need no stack.
CNode* NextInPreorder(CNode* node, const CNode* top)
{
    if (node->children.First() != nullptr) {
        return node->children.First();
    }
    while (node != top) {
        if (node->nextSibling != nullptr) {
            return node->nextSibling;
        }
        node = node->parent;
    }
    return nullptr;
}

} // namespace

CNode::CNode()
    : depth(0),
      kind(0),
      name(nullptr),
      object(nullptr),
      pivot{0.0f, 0.0f, 0.0f},
      positionController(nullptr),
      rotationController(nullptr),
      scaleController(nullptr),
      parent(nullptr),
      nextSibling(nullptr),
      position{0.0f, 0.0f, 0.0f},
      rotation{0.0f, 0.0f, 0.0f, 1.0f},
      scale{0.0f, 0.0f, 0.0f}
{
    SetIdentity(&world);
}

CNode::~CNode()
{
    // Destroy the subtree bottom-up without recursion: descend to the first
    // leaf, unlink it from its parent and delete it (it has no children left,
    // so its own destructor stops here), then continue from the parent.
    CNode* node = this;
    while (true) {
        CNode* child = node->children.First();
        if (child != nullptr) {
            node = child;
            continue;
        }
        if (node == this) {
            break;
        }
        CNode* up = node->parent;
        up->children.PopFront();
        delete node;
        node = up;
    }
    delete[] name;
    delete positionController;
    delete rotationController;
    delete scaleController;
}

int CNode::AddChild(CNode* child)
{
    CNode* previous = children.Last();
    if (children.Append(child) != 0) {
        return 1;
    }
    if (previous != nullptr) {
        previous->nextSibling = child;
    }
    child->parent = this;
    child->nextSibling = nullptr;
    return 0;
}

void PrepareNode(CNode* node)
{
    for (CNode* n = node; n != nullptr; n = NextInPreorder(n, node)) {
        if (n->positionController != nullptr) {
            n->positionController->Prepare();
        }
        if (n->rotationController != nullptr) {
            n->rotationController->Prepare();
        }
        if (n->scaleController != nullptr) {
            n->scaleController->Prepare();
        }
    }
}

void ComposeLocalMatrix(const D3DVECTOR& position, const Quaternion& rotation, const D3DVECTOR& scale,
                        D3DMATRIX* out)
{
    D3DXMATRIX rotationMatrix;
    D3DXMATRIX scaling;
    toMatrix(rotation, &rotationMatrix);
    D3DXMatrixScaling(&scaling, scale.x, scale.y, scale.z);
    D3DXMatrixMultiply(out, &scaling, &rotationMatrix);
    out->_41 = position.x;
    out->_42 = position.y;
    out->_43 = position.z;
}

void UpdateNode(CNode* node, float t)
{
    // Preorder: every parent's world matrix is ready before its children's.
    for (CNode* n = node; n != nullptr; n = NextInPreorder(n, node)) {
        SampleOrZero(n->positionController, t, &n->position);
        SampleOrIdentity(n->rotationController, t, &n->rotation);
        SampleOrZero(n->scaleController, t, &n->scale);
        D3DXMATRIX local;
        ComposeLocalMatrix(n->position, n->rotation, n->scale, &local);
        if (n->parent != nullptr) {
            D3DXMatrixMultiply(&n->world, &local, &n->parent->world);
        } else {
            n->world = local;
        }
        if (n->object != nullptr) {
            n->object->world = n->world;
            n->object->SetTransformParts(n->position, n->rotation, n->scale);
        }
    }
}

NodeTreeBuilder::NodeTreeBuilder(CObjectList<CNode>* roots, CObjectList<CNode>* leftOut)
    : m_roots(roots), m_leftOut(leftOut), m_previous(nullptr), m_previousDepth(0), m_rememberedParent(nullptr)
{
}

int NodeTreeBuilder::AppendRoot(CNode* node)
{
    CNode* previousRoot = m_roots->Last();
    if (m_roots->Append(node) != 0) {
        return 1;
    }
    if (previousRoot != nullptr) {
        previousRoot->nextSibling = node;
    }
    node->parent = nullptr;
    return 0;
}

int NodeTreeBuilder::Link(CNode* node, Placement* placement)
{
    // Each walk up from the previous node costs at most its height, and the
    // height only grows by one per node, so linking stays linear overall.
    // Depths come from the file: compare them wide so no value overflows.
    const int64_t d = node->depth;
    const int64_t dp = m_previousDepth;
    CNode* parent = nullptr;
    bool leftOut = false;

    if (d == 0) {
        m_rememberedParent = nullptr;
    } else if (d == dp + 1) {
        // The first record has no previous node: it becomes a root.
        parent = m_previous;
        m_rememberedParent = m_previous;
    } else if (d == dp) {
        // Without a remembered parent the node becomes a root.
        parent = m_rememberedParent;
    } else if (d < dp) {
        CNode* walk = m_previous;
        while (walk != nullptr && walk->depth != d - 1) {
            walk = walk->parent;
        }
        parent = walk;
        m_rememberedParent = walk;
    } else {
        leftOut = true;
    }

    int result;
    if (leftOut) {
        result = m_leftOut->Append(node);
        *placement = kLeftOut;
    } else if (parent != nullptr) {
        result = parent->AddChild(node);
        *placement = kChild;
    } else {
        result = AppendRoot(node);
        *placement = kRoot;
    }
    if (result != 0) {
        return 1;
    }
    m_previous = node;
    m_previousDepth = node->depth;
    return 0;
}
